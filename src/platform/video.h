// video.h -- the show's screen, keyboard and mouse, behind a table of routines.
//
// The shell opens a 512 x 384 screen in a 16-, 24- or 32-bit format, locks it to get a pointer to
// a memory copy of the screen, writes pixels in the format the surface description gives, and
// unlocks it to show it. Input arrives as events, keys named by Windows virtual-key codes.
// Two drivers: a window (SDL) and a headless one that keeps the memory screen only.
#pragma once

#include <cstdint>

// Virtual-key codes the program tests (letters are 'A'..'Z', digits '0'..'9').
constexpr int32_t VK_BACK = 0x08;
constexpr int32_t VK_TAB = 0x09;
constexpr int32_t VK_RETURN = 0x0D;
constexpr int32_t VK_SHIFT = 0x10;
constexpr int32_t VK_CONTROL = 0x11;
constexpr int32_t VK_MENU = 0x12; // Alt
constexpr int32_t VK_PAUSE = 0x13;
constexpr int32_t VK_CAPITAL = 0x14; // Caps Lock
constexpr int32_t VK_ESCAPE = 0x1B;
constexpr int32_t VK_SPACE = 0x20;
constexpr int32_t VK_PRIOR = 0x21; // Page Up
constexpr int32_t VK_NEXT = 0x22;  // Page Down
constexpr int32_t VK_END = 0x23;
constexpr int32_t VK_HOME = 0x24;
constexpr int32_t VK_LEFT = 0x25;
constexpr int32_t VK_UP = 0x26;
constexpr int32_t VK_RIGHT = 0x27;
constexpr int32_t VK_DOWN = 0x28;
constexpr int32_t VK_INSERT = 0x2D;
constexpr int32_t VK_DELETE = 0x2E;
constexpr int32_t VK_NUMPAD0 = 0x60; // ..VK_NUMPAD0 + 9
constexpr int32_t VK_MULTIPLY = 0x6A;
constexpr int32_t VK_ADD = 0x6B;
constexpr int32_t VK_SUBTRACT = 0x6D;
constexpr int32_t VK_DECIMAL = 0x6E;
constexpr int32_t VK_DIVIDE = 0x6F;
constexpr int32_t VK_F1 = 0x70; // ..VK_F1 + 11 for F12
constexpr int32_t VK_NUMLOCK = 0x90;
constexpr int32_t VK_SCROLL = 0x91;
// The punctuation keys of a US layout.
constexpr int32_t VK_OEM_1 = 0xBA;      // ;
constexpr int32_t VK_OEM_PLUS = 0xBB;   // =
constexpr int32_t VK_OEM_COMMA = 0xBC;  // ,
constexpr int32_t VK_OEM_MINUS = 0xBD;  // -
constexpr int32_t VK_OEM_PERIOD = 0xBE; // .
constexpr int32_t VK_OEM_2 = 0xBF;      // /
constexpr int32_t VK_OEM_3 = 0xC0;      // `
constexpr int32_t VK_OEM_4 = 0xDB;      // [
constexpr int32_t VK_OEM_5 = 0xDC;      // backslash
constexpr int32_t VK_OEM_6 = 0xDD;      // ]
constexpr int32_t VK_OEM_7 = 0xDE;      // '

// What open made: the screen's size and pixel format. Pixels are little-endian words of
// bytes_per_pixel bytes; a channel's value sits under its mask.
struct VideoSurface {
    int32_t width;
    int32_t height;
    int32_t bits_per_pixel;  // 16, 24 or 32
    int32_t bytes_per_pixel; // 2, 3 or 4
    uint32_t red_mask;       // 16: 0xF800, 24 and 32: 0xFF0000
    uint32_t green_mask;     // 16: 0x07E0, 24 and 32: 0x00FF00
    uint32_t blue_mask;      // 16: 0x001F, 24 and 32: 0x0000FF
};

// A locked screen: row y starts at pixels + y * pitch.
struct VideoLock {
    uint8_t *pixels;
    int32_t pitch; // bytes per row
};

enum VideoEventKind : int32_t {
    VIDEO_EVENT_KEY_DOWN = 1, // key = virtual-key code (auto-repeat sends more of these)
    VIDEO_EVENT_KEY_UP,       // key = virtual-key code
    VIDEO_EVENT_MOUSE_DOWN,   // left button pressed
    VIDEO_EVENT_MOUSE_UP,     // left button released
    VIDEO_EVENT_ACTIVE,       // the show can be seen (also sent once right after open)
    VIDEO_EVENT_INACTIVE,     // minimised, or switched away from in full screen
    VIDEO_EVENT_CLOSE,        // the window was closed: treat it as Escape
};

struct VideoEvent {
    int32_t kind; // VideoEventKind
    int32_t key;  // virtual-key code for key events, else 0
};

// open flags
constexpr int32_t VIDEO_WINDOWED = 1; // a resizable window instead of desktop full screen
constexpr int32_t VIDEO_VSYNC = 2;    // unlock shows the screen at the next vertical blank

struct VideoDriver {
    const char *name; // "sdl" or "headless"

    // 1 when a display can be opened: the window driver needs DISPLAY or WAYLAND_DISPLAY (or
    // SDL_VIDEODRIVER naming a back-end) and a display server that answers. Always 1 headless.
    int (*available)();

    // Opens the screen: width x height pixels at 16, 24 or 32 bits per pixel, flags VIDEO_*.
    // Fills *surface and returns 1, or returns 0 (nothing stays open). One screen at a time. The
    // memory screen starts black.
    int (*open)(int32_t width, int32_t height, int32_t bits_per_pixel, int32_t flags,
                VideoSurface *surface);

    // Gives the memory screen to write. Returns 1, or 0 when no screen is open. Rows keep what
    // was written until written again. The pointer is valid until close.
    int (*lock)(VideoLock *lock);

    // Shows the memory screen (the window driver scales it to fit, 4:3 with black borders).
    // Returns 1, or 0 when it could not be shown.
    int (*unlock)();

    // Blocks until the next vertical blank begins (with VIDEO_VSYNC the wait happens inside
    // unlock and this returns at once). Returns 1, or 0 when no screen is open.
    int (*wait_vblank)();

    // Takes the next pending input or window event. Returns 1 with *event filled, 0 when none
    // is pending. Call it until it returns 0, once per frame.
    int (*poll_event)(VideoEvent *event);

    // Shows an error message box and waits for OK; does nothing in the headless driver. Works
    // with or without an open screen.
    void (*message_box)(const char *title, const char *text);

    // Closes the screen and gives back the memory screen. Safe to call when nothing is open.
    void (*close)();
};

// The window driver (SDL). When the program is built without SDL, available() answers 0.
extern const VideoDriver video_window;

// The headless driver: a memory screen, no window, no vertical blank to wait for.
extern const VideoDriver video_headless;

// Queues an event for the headless driver's poll_event (for replayed runs and tests). Returns
// 0 when its 256-entry queue is full.
int video_headless_push(const VideoEvent *event);

// The virtual-key code of an SDL key code, or 0 for keys the program has no code for.
int32_t video_key_from_sdl(int32_t sdl_keycode);
