// page.js -- the show's page: checks what the browser can do, downloads the program and the
// data with a progress bar, shows the setup form, and runs the show once per Run.
//
// Page parameters mirror the command line where it makes sense in a page:
//   ?part=N  start at part N      ?nosound  no sound      ?depth=16  the 16-bit screen
//   ?ticks=N end after N ticks    ?headless no screen, a stepped clock, as fast as possible
//   ?benchmark  the frame-time table (headless)      ?digests  a digest of every frame (headless)
//   ?plain   the build without SIMD     ?autorun  press Run as soon as the form is there
//   ?report=URL  POST what the run said (exit status, output, digests, the last picture) to URL
'use strict';

const params = new URLSearchParams(location.search);
const $ = (id) => document.getElementById(id);

// A module using one SIMD instruction: validates only where WebAssembly SIMD is there.
const SIMD_PROBE = new Uint8Array([0, 97, 115, 109, 1, 0, 0, 0, 1, 5, 1, 96, 0, 1, 123, 3, 2, 1,
                                   0, 10, 10, 1, 8, 0, 65, 0, 253, 15, 253, 98, 11]);

const page = {
  program: null,  // {name, module (compiled), factory}
  files: [],      // [{name, bytes}]
  audio: null,    // the sound output, made on the first Run click
  running: false,
};

function formatBytes(n) {
  return n >= 1048576 ? (n / 1048576).toFixed(1) + ' MB' : Math.ceil(n / 1024) + ' KB';
}

function fail(text) {
  $('loading').hidden = true;
  $('screen').classList.add('hidden');
  $('setup').hidden = false;
  $('run').disabled = !page.program;
  $('failure').textContent = text;
}

// Downloads every file of the list, the bar showing the bytes so far of all of them.
async function download(list) {
  const total = list.reduce((sum, f) => sum + f.size, 0);
  let done = 0;
  const show = () => {
    $('progress').value = total ? done / total : 0;
    $('progress-text').textContent = formatBytes(done) + ' of ' + formatBytes(total);
  };
  show();
  const out = [];
  for (const f of list) {
    let response;
    try {
      response = await fetch(f.name);
    } catch (e) {
      throw new Error('quellmoor: cannot download ' + f.name + ': ' + e.message);
    }
    if (!response.ok)
      throw new Error('quellmoor: cannot download ' + f.name + ' (HTTP ' + response.status + ')');
    const reader = response.body.getReader();
    const chunks = [];
    let length = 0;
    for (;;) {
      const {done: end, value} = await reader.read();
      if (end) break;
      chunks.push(value);
      length += value.length;
      done += value.length;
      show();
    }
    const bytes = new Uint8Array(length);
    let at = 0;
    for (const c of chunks) {
      bytes.set(c, at);
      at += c.length;
    }
    out.push({name: f.name, bytes});
  }
  return out;
}

function loadScript(src) {
  return new Promise((resolve, reject) => {
    const s = document.createElement('script');
    s.src = src;
    s.onload = resolve;
    s.onerror = () => reject(new Error('quellmoor: cannot download ' + src));
    document.head.appendChild(s);
  });
}

// The sound output: an audio worklet, or where the page may not have one (a page not served
// from a secure origin) a script processor. Made inside the Run click: browsers start sound
// only after a gesture.
async function makeAudio() {
  const Context = window.AudioContext || window.webkitAudioContext;
  if (!Context) return null;
  const context = new Context();
  const audio = {rate: context.sampleRate, sent: 0, played: 0, context};
  if (context.audioWorklet) {
    await context.audioWorklet.addModule('quellmoor-audio.js');
    const node = new AudioWorkletNode(context, 'quellmoor-mix', {outputChannelCount: [2]});
    node.port.onmessage = (e) => { audio.played = e.data; };
    node.connect(context.destination);
    audio.push = (block) => {
      audio.sent += block.length / 2;
      node.port.postMessage(block, [block.buffer]);
    };
    audio.flush = () => {
      node.port.postMessage('flush');
      audio.sent = audio.played;
    };
  } else {
    const blocks = [];
    let offset = 0;
    const node = context.createScriptProcessor(2048, 0, 2);
    node.onaudioprocess = (e) => {
      const left = e.outputBuffer.getChannelData(0), right = e.outputBuffer.getChannelData(1);
      for (let i = 0; i < left.length; i++) {
        const b = blocks[0];
        if (!b) {
          left[i] = right[i] = 0;
          continue;
        }
        left[i] = b[offset];
        right[i] = b[offset + 1];
        offset += 2;
        audio.played++;
        if (offset >= b.length) {
          blocks.shift();
          offset = 0;
        }
      }
    };
    node.connect(context.destination);
    audio.push = (block) => {
      audio.sent += block.length / 2;
      blocks.push(block);
    };
    audio.flush = () => {
      blocks.length = 0;
      offset = 0;
      audio.sent = audio.played;
    };
  }
  audio.queued = () => Math.max(0, audio.sent - audio.played);
  audio.run = (running) => (running ? context.resume() : context.suspend());
  return audio;
}

// The layout: the largest whole multiple of 512 x 384 that fits, else the largest 4:3 size that
// does; black all around.
function fitCanvas() {
  const canvas = $('canvas');
  const w = window.innerWidth, h = window.innerHeight;
  let scale = Math.floor(Math.min(w / 512, h / 384));
  if (scale < 1) scale = Math.min(w / 512, h / 384);
  canvas.style.width = Math.floor(512 * scale) + 'px';
  canvas.style.height = Math.floor(384 * scale) + 'px';
}

function settingsArguments() {
  const args = ['--data', '/data'];
  const depth = params.get('depth') || document.querySelector('input[name=depth]:checked').value;
  args.push('--depth', depth === '16' ? '16' : '24');
  if ($('retrace').checked) args.push('--vsync');
  const sound = params.has('nosound') || !page.audio ? 'none' : $('device').value;
  args.push('--sound-device', sound === 'none' ? 'none' : '0');
  if (params.has('part')) args.push('--part', params.get('part'));
  if (params.has('ticks')) args.push('--ticks', params.get('ticks'));
  if (params.has('benchmark')) args.push('--benchmark');
  else if (params.has('digests')) args.push('--digests', '/digests.txt');
  else if (params.has('headless')) args.push('--headless');
  return args;
}

// Sends what the run said to the ?report= address, one POST a field (URL/NAME), the exit status
// last: the last picture on the canvas (PNG), the standard output and error, the digests, the
// message the page shows.
async function report(result) {
  const url = params.get('report');
  if (!url) return;
  const send = (name, body) => fetch(url + '/' + name, {method: 'POST', body}).catch(() => {});
  const picture = await new Promise((done) => $('canvas').toBlob(done, 'image/png'));
  if (picture) await send('picture.png', picture);
  for (const name of ['stdout', 'stderr', 'digests', 'shown']) await send(name, result[name]);
  await send('status', String(result.status));
}

// One run of the show in a fresh instance of the program; the compiled code is reused.
async function run() {
  if (page.running) return;
  page.running = true;
  $('failure').textContent = '';
  const wantSound = !params.has('nosound') && $('device').value !== 'none' &&
                    !params.has('headless') && !params.has('benchmark') && !params.has('digests');
  if (wantSound && !page.audio) page.audio = await makeAudio().catch(() => null);
  if (page.audio) page.audio.flush();
  const args = settingsArguments();
  const headless = args.includes('--headless') || args.includes('--benchmark') ||
                   args.includes('--digests');
  $('setup').hidden = true;
  $('about-box').hidden = true;
  if (!headless) $('screen').classList.remove('hidden');
  const out = [], errors = [];
  let instance = null;
  const status = await new Promise((resolve) => {
    const settings = {
      qmPage: {screen: $('screen'), canvas: $('canvas'), audio: page.audio,
               message: (title, text) => errors.push('quellmoor: ' + text)},
      print: (line) => out.push(line),
      printErr: (line) => errors.push(line),
      instantiateWasm: (imports, done) => {
        WebAssembly.instantiate(page.program.module, imports).then((i) => done(i));
        return {};
      },
      // Called when the program has ended for good (not when main first gives the browser
      // its turn).
      onExit: (code) => resolve(code),
      onAbort: (what) => {
        errors.push('quellmoor: the program stopped: ' + what);
        resolve(134);
      },
    };
    window[page.program.factory](settings).then((m) => {
      instance = m;
      m.FS.mkdir('/data');
      for (const f of page.files) m.FS.writeFile('/data/' + f.name, f.bytes);
      try {
        m.callMain(args);
      } catch (e) {
        if (!(e && e.name === 'ExitStatus')) {
          errors.push('quellmoor: ' + e);
          resolve(134);
        }
      }
    });
  });
  let digests = '';
  if (instance && args.includes('--digests')) {
    try {
      digests = instance.FS.readFile('/digests.txt', {encoding: 'utf8'});
    } catch (e) {
      digests = '';
    }
  }
  if (page.audio) page.audio.run(false);
  page.running = false;
  $('screen').classList.add('hidden');
  $('setup').hidden = false;
  $('output').textContent = params.has('benchmark') ? out.join('\n') : '';
  if (status !== 0) {
    // The program's own one-line message, as on its standard error.
    const said = errors.filter((l) => l.startsWith('quellmoor: '));
    fail(said.length ? said[said.length - 1] : errors.join('\n') || 'quellmoor: exit status ' + status);
  }
  await report({status, stdout: out.join('\n'), stderr: errors.join('\n'), digests,
                shown: $('failure').textContent});
  $('run').focus();
}

async function start() {
  if (typeof WebAssembly !== 'object' || !WebAssembly.instantiate) {
    fail('This browser cannot run WebAssembly, which the show needs: try a current Firefox, ' +
         'Chrome, Edge or Safari.');
    return;
  }
  if (!(window.AudioContext || window.webkitAudioContext)) {
    $('missing').textContent = 'This browser has no Web Audio: the show plays without sound.';
    $('device').value = 'none';
    $('device').disabled = true;
  }
  const simd = !params.has('plain') && WebAssembly.validate(SIMD_PROBE);
  const name = simd ? 'quellmoor-simd' : 'quellmoor';
  try {
    const list = await fetch('files.json').then((r) => {
      if (!r.ok) throw new Error('quellmoor: cannot download files.json (HTTP ' + r.status + ')');
      return r.json();
    });
    const wanted = [{name: name + '.wasm', size: list.programs[name + '.wasm'] || 0}]
                     .concat(list.data);
    const [wasm, ...data] = await download(wanted);
    await loadScript(name + '.js');
    const module = await WebAssembly.compile(wasm.bytes);
    page.program = {name, module, factory: 'createQuellmoor'};
    page.files = data;
  } catch (e) {
    fail(e.message);
    await report({status: 1, stdout: '', stderr: e.message, digests: '', shown: e.message});
    return;
  }
  $('loading').hidden = true;
  $('setup').hidden = false;
  $('run').disabled = false;
  $('run').focus();
  if (params.has('autorun')) $('run').click();
}

$('setup').addEventListener('submit', (e) => {
  e.preventDefault();
  run();
});
$('about').addEventListener('click', () => { $('about-box').hidden = false; });
$('about-ok').addEventListener('click', () => { $('about-box').hidden = true; });
if (params.get('depth') === '16') document.querySelector('input[name=depth][value="16"]').checked = true;
if (params.has('nosound')) $('device').value = 'none';
window.addEventListener('resize', fitCanvas);
fitCanvas();
start();
