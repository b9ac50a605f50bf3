// video_web.cpp -- the show's screen in a web page: the memory screen drawn to the page's canvas
// after every frame, keys and clicks taken from the page. The page scales the canvas by whole
// steps and letterboxes it, and switches full screen (F11, Alt+Enter, a double-click); this side
// only converts pixels and takes events.

#include "platform/video.h"

#include <cstdlib>
#include <emscripten.h>

#include "platform/screen.h"
#include "platform/web.h"

// The page's side (its script is linked in with the page's program, see cmake/web.cmake; the
// node program has none, and no screen).
EM_JS(int, web_canvas_ready, (),
      { return Module.qmCanvasReady && Module.qmCanvasReady() ? 1 : 0; });
EM_JS(void, web_canvas_open, (int width, int height), { Module.qmCanvasOpen(width, height); });
EM_JS(void, web_canvas_draw, (const uint8_t *rgba, int width, int height),
      { Module.qmCanvasDraw(rgba, width, height); });
EM_JS(void, web_canvas_close, (), { Module.qmCanvasClose(); });
EM_JS(int, web_page_hidden, (), { return Module.qmPageHidden() ? 1 : 0; });
// Fills kind and key with the next queued event; 0 when none is waiting.
EM_JS(int, web_next_event, (int32_t * kind, int32_t *key), {
    const e = Module.qmNextEvent();
    if (!e) return 0;
    HEAP32[kind >> 2] = e[0];
    HEAP32[key >> 2] = e[1];
    return 1;
});
EM_JS(void, web_message, (const char *title, const char *text),
      { Module.qmMessage(UTF8ToString(title), UTF8ToString(text)); });
EM_ASYNC_JS(void, web_page_turn, (), { await Module.qmTurn(); });

static Screen screen;
static uint8_t *rgba; // the canvas's copy of the screen, 4 bytes a pixel
static bool is_open;

// Feeds the sound, waits for the page's next animation frame (while the page is hidden, for a
// moment), then delivers the clock ticks that fell due meanwhile.
static void web_yield() {
    audio_web_feed();
    web_page_turn();
    ticker_web_catch_up();
}

static int web_available() {
    return web_canvas_ready();
}

static int web_open(int32_t width, int32_t height, int32_t bits_per_pixel, int32_t,
                    VideoSurface *surface) {
    if (is_open || !web_canvas_ready()) return 0;
    if (!screen_create(&screen, width, height, bits_per_pixel)) return 0;
    rgba = static_cast<uint8_t *>(std::calloc(size_t(width) * size_t(height), 4));
    if (!rgba) {
        screen_destroy(&screen);
        return 0;
    }
    *surface = screen.surface;
    web_canvas_open(width, height);
    is_open = true;
    return 1;
}

static int web_lock(VideoLock *lock) {
    if (!is_open) return 0;
    lock->pixels = screen.pixels;
    lock->pitch = screen.pitch;
    return 1;
}

static void convert_to_rgba() {
    const VideoSurface &s = screen.surface;
    uint8_t *out = rgba;
    for (int32_t y = 0; y < s.height; y++) {
        const uint8_t *p = screen.pixels + size_t(y) * size_t(screen.pitch);
        for (int32_t x = 0; x < s.width; x++, p += s.bytes_per_pixel, out += 4) {
            if (s.bytes_per_pixel == 2) {
                uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8;
                out[0] = screen_channel_to_8(v, s.red_mask);
                out[1] = screen_channel_to_8(v, s.green_mask);
                out[2] = screen_channel_to_8(v, s.blue_mask);
            } else { // little-endian 0xRRGGBB: blue first
                out[0] = p[2];
                out[1] = p[1];
                out[2] = p[0];
            }
            out[3] = 255;
        }
    }
}

// Shows the frame, then gives the browser its turn: the page shows it at its next refresh,
// which paces the show by the display whether or not the retrace wait was chosen.
static int web_unlock() {
    if (!is_open) return 0;
    convert_to_rgba();
    web_canvas_draw(rgba, screen.surface.width, screen.surface.height);
    web_yield();
    return 1;
}

static int web_wait_vblank() {
    return is_open ? 1 : 0;
}

// While the page is hidden nothing is presented, so the turn is given here instead: the show
// must not keep the page's only thread to itself.
static int web_poll_event(VideoEvent *event) {
    if (!is_open) return 0;
    if (web_next_event(&event->kind, &event->key)) return 1;
    if (web_page_hidden()) {
        web_yield();
        return web_next_event(&event->kind, &event->key);
    }
    return 0;
}

static void web_message_box(const char *title, const char *text) {
    web_message(title, text);
}

static void web_close() {
    if (!is_open) return;
    web_canvas_close();
    screen_destroy(&screen);
    std::free(rgba);
    rgba = nullptr;
    is_open = false;
}

const VideoDriver video_window = {
    "page",          web_available,  web_open,        web_lock,  web_unlock,
    web_wait_vblank, web_poll_event, web_message_box, web_close,
};

// The page maps its own keys (the page's script), so there are no SDL key codes to translate.
int32_t video_key_from_sdl(int32_t) {
    return 0;
}
