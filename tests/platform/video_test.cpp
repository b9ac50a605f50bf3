// video_test.cpp -- the memory screen, the fit of the screen in a window, the key codes, and
// the SDL window under a private X server.

#include <gtest/gtest.h>
#include <utility>
#include <vector>

#include "platform/screen.h"
#include "platform/video.h"
#include "xvfb.h"

#if QM_HAVE_SDL
#include <SDL.h>
#endif

// Impossible screens are refused; the one screen opens black. (That it keeps the rows the frames
// do not write between frames, the show's screen digests pin.)
TEST(HeadlessVideo, ImpossibleScreensAreRefusedAndTheOneOpensBlack) {
    VideoSurface s = {};
    VideoLock lock = {};
    EXPECT_EQ(video_headless.open(512, 384, 8, 0, &s), 0);
    EXPECT_EQ(video_headless.open(0, 384, 16, 0, &s), 0);
    EXPECT_EQ(video_headless.open(512, 100000, 16, 0, &s), 0);
    EXPECT_EQ(video_headless.lock(&lock), 0) << "nothing is open yet";
    ASSERT_EQ(video_headless.open(512, 384, 24, VIDEO_WINDOWED, &s), 1);
    EXPECT_EQ(video_headless.open(512, 384, 24, 0, &s), 0) << "one screen at a time";
    ASSERT_EQ(video_headless.lock(&lock), 1);
    EXPECT_EQ(lock.pixels[318 * lock.pitch + 4], 0) << "the screen opens black";
    EXPECT_EQ(video_headless.unlock(), 1);
    video_headless.close();
    video_headless.close();
    EXPECT_EQ(video_headless.unlock(), 0);
}

TEST(HeadlessVideo, EventsComeAfterTheFirstActivationAndHaveALimit) {
    VideoSurface s = {};
    ASSERT_EQ(video_headless.open(512, 384, 16, 0, &s), 1);
    VideoEvent in = {VIDEO_EVENT_CLOSE, 0}, e = {};
    ASSERT_EQ(video_headless_push(&in), 1);
    EXPECT_TRUE(video_headless.poll_event(&e) && e.kind == VIDEO_EVENT_ACTIVE);
    EXPECT_TRUE(video_headless.poll_event(&e) && e.kind == VIDEO_EVENT_CLOSE);
    EXPECT_EQ(video_headless.poll_event(&e), 0);
    // The queue has a limit and says so.
    VideoEvent key = {VIDEO_EVENT_KEY_DOWN, VK_SPACE};
    int pushed = 0;
    while (pushed < 1000 && video_headless_push(&key)) pushed++;
    EXPECT_EQ(pushed, 256);
    video_headless.close();
}

TEST(ScreenFit, WholeMultiplesCentredElseShrunkToFit) {
    struct Case {
        int32_t out_w, out_h;
        ScreenRect want;
    } cases[] = {
        {512, 384, {0, 0, 512, 384}},
        {1920, 1080, {448, 156, 1024, 768}},
        {1280, 800, {128, 16, 1024, 768}},
        {400, 300, {0, 0, 400, 300}},
        {300, 600, {0, 187, 300, 225}},
        {1, 1, {0, 0, 1, 1}},
        {0, 480, {0, 0, 0, 0}},
    };
    for (const Case &c : cases) {
        ScreenRect r = screen_fit(c.out_w, c.out_h, 512, 384);
        EXPECT_TRUE(r.x == c.want.x && r.y == c.want.y && r.width == c.want.width &&
                    r.height == c.want.height)
            << c.out_w << "x" << c.out_h << ": " << r.x << "," << r.y << " " << r.width << "x"
            << r.height;
    }
}

#if QM_HAVE_SDL
// The SDL window on a private X server.
class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!xvfb_start()) GTEST_SKIP() << "no Xvfb";
        ASSERT_EQ(video_window.available(), 1);
    }
    void TearDown() override { video_window.close(); }

    // Drains the pending events; returns how many of the given kind (and key) came.
    int drain(int32_t kind, int32_t key = 0) {
        int seen = 0;
        VideoEvent e;
        while (video_window.poll_event(&e))
            if (e.kind == kind && e.key == key) seen++;
        return seen;
    }
};

// Pushes an SDL event as the window system would: a left click, a key or a window event.
static void push(Uint32 type, Uint8 window_event = 0, SDL_Keycode key = 0) {
    SDL_Event e = {};
    e.type = type;
    if (type == SDL_WINDOWEVENT) e.window.event = window_event;
    if (type == SDL_KEYDOWN) e.key.keysym.sym = key;
    if (type == SDL_MOUSEBUTTONDOWN) e.button.button = SDL_BUTTON_LEFT;
    SDL_PushEvent(&e);
}

TEST_F(WindowTest, ReportsKeysClicksAndClosingButKeepsTheToggleKeys) {
    VideoSurface s = {};
    ASSERT_EQ(video_window.open(512, 384, 24, VIDEO_WINDOWED | VIDEO_VSYNC, &s), 1);
    ASSERT_EQ(video_window.unlock(), 1);
    EXPECT_EQ(video_window.wait_vblank(), 1);
    drain(0);
    // Real input through the X server: the pointer over the window gives it the keyboard.
    ASSERT_EQ(xvfb_run("xdotool mousemove 640 400 sleep 0.2 key n click 1 sleep 0.2"), 0);
    SDL_Delay(100);
    std::vector<std::pair<int32_t, int32_t>> input; // keys and clicks, in order
    for (VideoEvent e; video_window.poll_event(&e);)
        if (e.kind <= VIDEO_EVENT_MOUSE_UP) input.push_back({e.kind, e.key});
    EXPECT_EQ(input, (decltype(input){{VIDEO_EVENT_KEY_DOWN, 'N'},
                                      {VIDEO_EVENT_KEY_UP, 'N'},
                                      {VIDEO_EVENT_MOUSE_DOWN, 0},
                                      {VIDEO_EVENT_MOUSE_UP, 0}}));
    // F11 switches full screen and is not passed on; the window manager's close is.
    push(SDL_KEYDOWN, 0, SDLK_F11);
    EXPECT_EQ(drain(VIDEO_EVENT_KEY_DOWN, 0x7A), 0);
    push(SDL_WINDOWEVENT, SDL_WINDOWEVENT_CLOSE);
    EXPECT_EQ(drain(VIDEO_EVENT_CLOSE), 1);
}

// Clicking a window in the background brings it forward: the window manager passes that click on
// either before or just after the focus; neither is the user's input to the show.
TEST_F(WindowTest, TheClickThatFocusesTheWindowIsNoInput) {
    VideoSurface s = {};
    ASSERT_EQ(video_window.open(512, 384, 24, VIDEO_WINDOWED, &s), 1);
    SDL_Delay(200);
    drain(0);
    push(SDL_WINDOWEVENT, SDL_WINDOWEVENT_FOCUS_LOST);
    push(SDL_MOUSEBUTTONDOWN);
    push(SDL_WINDOWEVENT, SDL_WINDOWEVENT_FOCUS_GAINED);
    push(SDL_MOUSEBUTTONDOWN);
    EXPECT_EQ(drain(VIDEO_EVENT_MOUSE_DOWN), 0);
    SDL_Delay(150);
    push(SDL_MOUSEBUTTONDOWN);
    EXPECT_EQ(drain(VIDEO_EVENT_MOUSE_DOWN), 1);
}
#endif
