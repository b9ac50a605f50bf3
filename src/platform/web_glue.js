// web_glue.js -- the program's side of its page: the canvas, the keys and clicks, the clock that
// stops while the page is hidden, and the sound output, as the page drivers (video_web.cpp,
// ticker_web.cpp, audio_web.cpp) ask for them. The page hands in, as Module.qmPage:
//   screen: the element that goes full screen; canvas: the canvas inside it;
//   audio: null, or {rate, queued(), push(Float32Array of interleaved stereo), run(bool)};
//   message(title, text): shows a message box's text.

// Virtual-key codes of the page's key names (KeyboardEvent.code), as the window driver has them.
const qmKeyCodes = (function () {
  const k = {
    Backspace: 0x08, Tab: 0x09, Enter: 0x0D, NumpadEnter: 0x0D, ShiftLeft: 0x10, ShiftRight: 0x10,
    ControlLeft: 0x11, ControlRight: 0x11, AltLeft: 0x12, AltRight: 0x12, Pause: 0x13,
    CapsLock: 0x14, Escape: 0x1B, Space: 0x20, PageUp: 0x21, PageDown: 0x22, End: 0x23,
    Home: 0x24, ArrowLeft: 0x25, ArrowUp: 0x26, ArrowRight: 0x27, ArrowDown: 0x28, Insert: 0x2D,
    Delete: 0x2E, NumpadMultiply: 0x6A, NumpadAdd: 0x6B, NumpadSubtract: 0x6D,
    NumpadDecimal: 0x6E, NumpadDivide: 0x6F, NumLock: 0x90, ScrollLock: 0x91, Semicolon: 0xBA,
    Equal: 0xBB, Comma: 0xBC, Minus: 0xBD, Period: 0xBE, Slash: 0xBF, Backquote: 0xC0,
    BracketLeft: 0xDB, Backslash: 0xDC, BracketRight: 0xDD, Quote: 0xDE,
  };
  for (let i = 0; i < 26; i++) k['Key' + String.fromCharCode(65 + i)] = 65 + i;
  for (let i = 0; i < 10; i++) {
    k['Digit' + i] = 0x30 + i;
    k['Numpad' + i] = 0x60 + i;
  }
  for (let i = 1; i <= 12; i++) k['F' + i] = 0x70 + i - 1;
  return k;
})();

// The event kinds of video.h.
const QM_KEY_DOWN = 1, QM_KEY_UP = 2, QM_MOUSE_DOWN = 3, QM_MOUSE_UP = 4, QM_ACTIVE = 5,
      QM_INACTIVE = 6;
// A click is held back this long: the first click of a double-click (full screen) is not one
// the show should take as a key.
const QM_CLICK_HOLD_MS = 300;

(function () {
  const page = Module.qmPage || {};
  const events = [];
  const listeners = [];
  let context = null;
  let image = null;
  let heldClick = 0;
  // The show's clock leaves out the time the page was hidden.
  let hiddenAt = typeof document !== 'undefined' && document.hidden ? performance.now() : -1;
  let hiddenTotal = 0;

  function listen(target, type, handler) {
    target.addEventListener(type, handler);
    listeners.push([target, type, handler]);
  }

  function toggleFullScreen() {
    if (document.fullscreenElement) document.exitFullscreen().catch(() => {});
    else if (page.screen && page.screen.requestFullscreen)
      page.screen.requestFullscreen().catch(() => {});
  }

  function onKey(e) {
    const down = e.type === 'keydown';
    // The page keeps these for itself, as the window does.
    if (down && (e.code === 'F11' || (e.altKey && (e.code === 'Enter' || e.code === 'NumpadEnter')))) {
      e.preventDefault();
      if (!e.repeat) toggleFullScreen();
      return;
    }
    const vk = qmKeyCodes[e.code];
    if (!vk) return;
    // The browser keeps its own shortcuts (Ctrl+R, Ctrl+L, ...); the show still sees the keys.
    if (!e.ctrlKey && !e.metaKey) e.preventDefault();
    events.push([down ? QM_KEY_DOWN : QM_KEY_UP, vk]);
  }

  function onMouseDown(e) {
    if (e.button !== 0) return;
    if (e.detail >= 2) { // the second click of a double-click: full screen, not a key
      clearTimeout(heldClick);
      heldClick = 0;
      return;
    }
    heldClick = setTimeout(() => {
      heldClick = 0;
      events.push([QM_MOUSE_DOWN, 0], [QM_MOUSE_UP, 0]);
    }, QM_CLICK_HOLD_MS);
  }

  function onVisibility() {
    if (document.hidden) {
      if (hiddenAt < 0) hiddenAt = performance.now();
      events.push([QM_INACTIVE, 0]);
    } else {
      if (hiddenAt >= 0) hiddenTotal += performance.now() - hiddenAt;
      hiddenAt = -1;
      events.push([QM_ACTIVE, 0]);
    }
  }

  Module.qmCanvasReady = () => !!(page.canvas && page.canvas.getContext);
  Module.qmCanvasOpen = (width, height) => {
    const canvas = page.canvas;
    canvas.width = width;
    canvas.height = height;
    context = canvas.getContext('2d', {alpha: false});
    image = context.createImageData(width, height);
    events.length = 0;
    events.push([document.hidden ? QM_INACTIVE : QM_ACTIVE, 0]);
    listen(window, 'keydown', onKey);
    listen(window, 'keyup', onKey);
    listen(canvas, 'mousedown', onMouseDown);
    listen(canvas, 'dblclick', toggleFullScreen);
    listen(document, 'visibilitychange', onVisibility);
  };
  Module.qmCanvasDraw = (rgba, width, height) => {
    image.data.set(HEAPU8.subarray(rgba, rgba + width * height * 4));
    context.putImageData(image, 0, 0);
  };
  // The last picture stays on the canvas; only the page's listeners go.
  Module.qmCanvasClose = () => {
    // (No destructuring here: the linker's script minifier mangles it in a for-of.)
    for (const l of listeners) l[0].removeEventListener(l[1], l[2]);
    listeners.length = 0;
    clearTimeout(heldClick);
  };
  Module.qmPageHidden = () => document.hidden;
  Module.qmNextEvent = () => events.shift();
  Module.qmMessage = (title, text) => (page.message ? page.message(title, text) : err(text));
  Module.qmTurn = () => new Promise((resume) => {
    if (document.hidden) setTimeout(resume, 100);
    else requestAnimationFrame(() => resume());
  });
  Module.qmShowTime = () => {
    const now = performance.now();
    return now - hiddenTotal - (hiddenAt >= 0 ? now - hiddenAt : 0);
  };

  Module.qmAudioRate = () => (page.audio ? page.audio.rate : 0);
  Module.qmAudioQueued = () => (page.audio ? page.audio.queued() : 0);
  Module.qmAudioPush = (samples, frames) => {
    const from = HEAP16.subarray(samples >> 1, (samples >> 1) + 2 * frames);
    const out = new Float32Array(2 * frames);
    for (let i = 0; i < out.length; i++) out[i] = from[i] / 32768;
    page.audio.push(out);
  };
  Module.qmAudioRun = (running) => page.audio && page.audio.run(!!running);
})();
