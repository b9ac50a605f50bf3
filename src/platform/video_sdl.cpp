// video_sdl.cpp -- the show's window through SDL 2: the memory screen uploaded to a streaming
// texture and scaled to fit, keys translated to virtual-key codes.

#include "platform/video.h"

#include <SDL.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/icon.h"
#include "platform/screen.h"
#include "platform/signals.h"

// Everything here belongs to the main thread.
static Screen screen;
static SDL_Window *window;
static SDL_Renderer *renderer;
static SDL_Texture *texture;
static bool full_screen;
static bool vsync;
static bool announce_active; // the first poll reports the window as active
static std::chrono::steady_clock::time_point vblank_epoch;
// The keyboard focus as the events so far tell it (a new window counts as focused), and when it
// last came, in SDL ticks.
static bool focused;
static uint32_t focused_at;

// A click this soon after the focus came is the one that brought the window to the front: the
// window manager hands the focus over first, then passes the click on.
constexpr uint32_t FOCUS_CLICK_MS = 100;

static bool env_set(const char *name) {
    const char *v = std::getenv(name);
    return v && *v;
}

// Without a display server SDL falls back to drawing off screen, where nobody sees the show;
// a display is wanted unless SDL was pointed at a back-end on purpose.
static bool display_configured() {
    return env_set("DISPLAY") || env_set("WAYLAND_DISPLAY") || env_set("SDL_VIDEODRIVER");
}

// SDL falls back to its off-screen back-end when the display server does not answer.
static bool display_reached() {
    if (env_set("SDL_VIDEODRIVER")) return true;
    const char *driver = SDL_GetCurrentVideoDriver();
    return driver && std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0;
}

static int sdl_available() {
    if (!display_configured()) return 0;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return 0;
    bool reached = display_reached();
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return reached ? 1 : 0;
}

// A window the largest whole multiple of the screen that leaves a margin of the desktop; on a
// desktop smaller than the screen, smaller than the screen, so that its title bar stays on it.
static void windowed_size(int32_t *w, int32_t *h) {
    SDL_DisplayMode desktop;
    *w = screen.surface.width;
    *h = screen.surface.height;
    if (SDL_GetDesktopDisplayMode(0, &desktop) != 0) return;
    ScreenRect fit = screen_fit(desktop.w * 9 / 10, desktop.h * 9 / 10, *w, *h);
    if (fit.width > 0 && fit.height > 0) {
        *w = fit.width;
        *h = fit.height;
    }
}

// The icon beside the window's title and in the task list; without one the window has none.
static void set_window_icon() {
    IconPixels icon;
    if (!icon_read(&icon)) return;
    SDL_Surface *surface = SDL_CreateRGBSurfaceWithFormatFrom(
        icon.rgba, icon.width, icon.height, 32, icon.width * 4, SDL_PIXELFORMAT_RGBA32);
    if (surface) {
        SDL_SetWindowIcon(window, surface);
        SDL_FreeSurface(surface);
    }
    icon_free(&icon);
}

static void destroy_window() {
    if (texture) SDL_DestroyTexture(texture);
    if (renderer) SDL_DestroyRenderer(renderer);
    if (window) SDL_DestroyWindow(window);
    texture = nullptr;
    renderer = nullptr;
    window = nullptr;
}

// Full screen starts as a borderless window over the whole display, then asks for the
// window manager's full screen: with no window manager (a bare X server) SDL would otherwise
// draw for the whole display into a window that keeps its first size.
static int create_window(int32_t flags) {
    full_screen = !(flags & VIDEO_WINDOWED);
    vsync = (flags & VIDEO_VSYNC) != 0;
    SDL_Rect area = {SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 0, 0};
    uint32_t window_flags = SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI;
    if (!full_screen || SDL_GetDisplayBounds(0, &area) != 0) {
        windowed_size(&area.w, &area.h);
    } else {
        window_flags |= SDL_WINDOW_BORDERLESS;
    }
    window = SDL_CreateWindow("Vandrel", area.x, area.y, area.w, area.h, window_flags);
    if (!window) return 0;
    set_window_icon();
    if (full_screen) SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP);
    uint32_t renderer_flags = vsync ? SDL_RENDERER_PRESENTVSYNC : 0;
    renderer = SDL_CreateRenderer(window, -1, renderer_flags);
    if (!renderer)
        renderer = SDL_CreateRenderer(window, -1, renderer_flags | SDL_RENDERER_SOFTWARE);
    if (!renderer) return 0;
    const VideoSurface &s = screen.surface;
    uint32_t format =
        SDL_MasksToPixelFormatEnum(s.bits_per_pixel, s.red_mask, s.green_mask, s.blue_mask, 0);
    texture = SDL_CreateTexture(renderer, format, SDL_TEXTUREACCESS_STREAMING, s.width, s.height);
    return texture ? 1 : 0;
}

static int sdl_open(int32_t width, int32_t height, int32_t bits_per_pixel, int32_t flags,
                    VideoSurface *surface) {
    if (window || !display_configured()) return 0;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return 0;
    if (!display_reached()) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return 0;
    }
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    if (!screen_create(&screen, width, height, bits_per_pixel)) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return 0;
    }
    if (!create_window(flags)) {
        destroy_window();
        screen_destroy(&screen);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return 0;
    }
    SDL_ShowCursor(SDL_DISABLE);
    announce_active = true;
    focused = true;
    focused_at = SDL_GetTicks() - FOCUS_CLICK_MS;
    vblank_epoch = std::chrono::steady_clock::now();
    *surface = screen.surface;
    return 1;
}

static int sdl_lock(VideoLock *lock) {
    if (!window) return 0;
    lock->pixels = screen.pixels;
    lock->pitch = screen.pitch;
    return 1;
}

static int sdl_unlock() {
    if (!window) return 0;
    if (SDL_UpdateTexture(texture, nullptr, screen.pixels, screen.pitch) != 0) return 0;
    int out_w = 0, out_h = 0;
    SDL_GetRendererOutputSize(renderer, &out_w, &out_h);
    ScreenRect fit = screen_fit(out_w, out_h, screen.surface.width, screen.surface.height);
    SDL_Rect dst = {fit.x, fit.y, fit.width, fit.height};
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    SDL_RenderCopy(renderer, texture, nullptr, &dst);
    SDL_RenderPresent(renderer);
    return 1;
}

// Without a synchronised present, sleeps to the next whole refresh period since open.
static int sdl_wait_vblank() {
    if (!window) return 0;
    if (vsync) return 1;
    SDL_DisplayMode mode;
    int hz = 60;
    if (SDL_GetWindowDisplayMode(window, &mode) == 0 && mode.refresh_rate > 0)
        hz = mode.refresh_rate;
    auto period = std::chrono::nanoseconds(1000000000 / hz);
    auto since = std::chrono::steady_clock::now() - vblank_epoch;
    std::this_thread::sleep_until(vblank_epoch + (since / period + 1) * period);
    return 1;
}

static void toggle_full_screen() {
    full_screen = !full_screen;
    if (full_screen) {
        SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP);
        return;
    }
    int32_t w, h;
    windowed_size(&w, &h);
    SDL_SetWindowFullscreen(window, 0);
    SDL_SetWindowBordered(window, SDL_TRUE);
    SDL_SetWindowSize(window, w, h);
    SDL_SetWindowPosition(window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
}

// True for the keys the driver keeps for itself: F11 and Alt+Enter switch full screen.
static bool is_toggle_key(const SDL_KeyboardEvent &key) {
    SDL_Keycode k = key.keysym.sym;
    return k == SDLK_F11 ||
           ((k == SDLK_RETURN || k == SDLK_KP_ENTER) && (key.keysym.mod & KMOD_ALT));
}

// Translates one SDL event; returns 0 for events the show does not see.
static int translate(const SDL_Event &e, VideoEvent *event) {
    *event = {0, 0};
    switch (e.type) {
    case SDL_QUIT:
        event->kind = VIDEO_EVENT_CLOSE;
        break;
    case SDL_WINDOWEVENT:
        switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
            event->kind = VIDEO_EVENT_CLOSE;
            break;
        case SDL_WINDOWEVENT_MINIMIZED:
        case SDL_WINDOWEVENT_HIDDEN:
            event->kind = VIDEO_EVENT_INACTIVE;
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            focused = false;
            // A window that lost the focus is still seen; a full screen one is not.
            if (full_screen) event->kind = VIDEO_EVENT_INACTIVE;
            break;
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            focused = true;
            focused_at = e.window.timestamp;
            event->kind = VIDEO_EVENT_ACTIVE;
            break;
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_SHOWN:
            event->kind = VIDEO_EVENT_ACTIVE;
            break;
        }
        break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        if (e.type == SDL_KEYDOWN && is_toggle_key(e.key)) {
            if (!e.key.repeat) toggle_full_screen();
            break;
        }
        event->key = video_key_from_sdl(e.key.keysym.sym);
        if (event->key)
            event->kind = e.type == SDL_KEYDOWN ? VIDEO_EVENT_KEY_DOWN : VIDEO_EVENT_KEY_UP;
        break;
    case SDL_MOUSEBUTTONDOWN:
        // The click that only gives the window the focus is not the user's input to the show.
        if (e.button.button == SDL_BUTTON_LEFT && focused &&
            e.button.timestamp - focused_at >= FOCUS_CLICK_MS)
            event->kind = VIDEO_EVENT_MOUSE_DOWN;
        break;
    case SDL_MOUSEBUTTONUP:
        if (e.button.button == SDL_BUTTON_LEFT) event->kind = VIDEO_EVENT_MOUSE_UP;
        break;
    }
    return event->kind != 0;
}

static int sdl_poll_event(VideoEvent *event) {
    if (!window) return 0;
    if (announce_active) {
        announce_active = false;
        *event = {VIDEO_EVENT_ACTIVE, 0};
        return 1;
    }
    SDL_Event e;
    while (SDL_PollEvent(&e))
        if (translate(e, event)) return 1;
    return 0;
}

// How often the wait for the message box looks for Ctrl-C and kill.
constexpr useconds_t BOX_LOOK_US = 20000;

// Shows the box in a child process of a process group of its own: SDL may leave the box to a
// helper of its own (a forked child, or zenity) and wait for it with no regard for signals. The
// wait here ends on Ctrl-C or kill like every other, and takes the whole group with it; the
// child also goes when this process dies first.
static void sdl_message_box(const char *title, const char *text) {
    std::fflush(stdout);
    std::fflush(stderr);
    pid_t parent = getpid();
    pid_t child = fork();
    if (child < 0) return; // no box, the message is on stderr already
    if (child == 0) {
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(0);
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, title, text, nullptr);
        _exit(0);
    }
    setpgid(child, child); // as the child does, whichever comes first
    for (;;) {
        pid_t ended = waitpid(child, nullptr, WNOHANG);
        if (ended == child || (ended < 0 && errno != EINTR)) return;
        if (signals_caught()) {
            kill(-child, SIGKILL);
            while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
            }
            return;
        }
        usleep(BOX_LOOK_US);
    }
}

static void sdl_close() {
    if (!window) return;
    SDL_ShowCursor(SDL_ENABLE);
    destroy_window();
    screen_destroy(&screen);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

const VideoDriver video_window = {
    "sdl",           sdl_available,  sdl_open,        sdl_lock,  sdl_unlock,
    sdl_wait_vblank, sdl_poll_event, sdl_message_box, sdl_close,
};

// Keys whose virtual-key code is not a simple offset from their SDL key code.
struct KeyPair {
    SDL_Keycode sdl;
    int32_t vk;
};

static const KeyPair key_pairs[] = {
    {SDLK_BACKSPACE, VK_BACK},
    {SDLK_TAB, VK_TAB},
    {SDLK_RETURN, VK_RETURN},
    {SDLK_KP_ENTER, VK_RETURN},
    {SDLK_LSHIFT, VK_SHIFT},
    {SDLK_RSHIFT, VK_SHIFT},
    {SDLK_LCTRL, VK_CONTROL},
    {SDLK_RCTRL, VK_CONTROL},
    {SDLK_LALT, VK_MENU},
    {SDLK_RALT, VK_MENU},
    {SDLK_PAUSE, VK_PAUSE},
    {SDLK_CAPSLOCK, VK_CAPITAL},
    {SDLK_ESCAPE, VK_ESCAPE},
    {SDLK_SPACE, VK_SPACE},
    {SDLK_PAGEUP, VK_PRIOR},
    {SDLK_PAGEDOWN, VK_NEXT},
    {SDLK_END, VK_END},
    {SDLK_HOME, VK_HOME},
    {SDLK_LEFT, VK_LEFT},
    {SDLK_UP, VK_UP},
    {SDLK_RIGHT, VK_RIGHT},
    {SDLK_DOWN, VK_DOWN},
    {SDLK_INSERT, VK_INSERT},
    {SDLK_DELETE, VK_DELETE},
    {SDLK_KP_MULTIPLY, VK_MULTIPLY},
    {SDLK_KP_PLUS, VK_ADD},
    {SDLK_KP_MINUS, VK_SUBTRACT},
    {SDLK_KP_PERIOD, VK_DECIMAL},
    {SDLK_KP_DIVIDE, VK_DIVIDE},
    {SDLK_NUMLOCKCLEAR, VK_NUMLOCK},
    {SDLK_SCROLLLOCK, VK_SCROLL},
    {SDLK_SEMICOLON, VK_OEM_1},
    {SDLK_EQUALS, VK_OEM_PLUS},
    {SDLK_COMMA, VK_OEM_COMMA},
    {SDLK_MINUS, VK_OEM_MINUS},
    {SDLK_PERIOD, VK_OEM_PERIOD},
    {SDLK_SLASH, VK_OEM_2},
    {SDLK_BACKQUOTE, VK_OEM_3},
    {SDLK_LEFTBRACKET, VK_OEM_4},
    {SDLK_BACKSLASH, VK_OEM_5},
    {SDLK_RIGHTBRACKET, VK_OEM_6},
    {SDLK_QUOTE, VK_OEM_7},
};

int32_t video_key_from_sdl(int32_t sdl_keycode) {
    // Letters and digits: SDL uses the lower-case character, Windows the upper-case one.
    if (sdl_keycode >= SDLK_a && sdl_keycode <= SDLK_z) return 'A' + (sdl_keycode - SDLK_a);
    if (sdl_keycode >= SDLK_0 && sdl_keycode <= SDLK_9) return '0' + (sdl_keycode - SDLK_0);
    if (sdl_keycode >= SDLK_F1 && sdl_keycode <= SDLK_F12) return VK_F1 + (sdl_keycode - SDLK_F1);
    if (sdl_keycode >= SDLK_KP_1 && sdl_keycode <= SDLK_KP_9)
        return VK_NUMPAD0 + 1 + (sdl_keycode - SDLK_KP_1);
    if (sdl_keycode == SDLK_KP_0) return VK_NUMPAD0;
    for (const KeyPair &p : key_pairs)
        if (p.sdl == sdl_keycode) return p.vk;
    return 0;
}
