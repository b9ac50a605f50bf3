// video_test.cpp -- the memory screen, the fit of the screen in a window, the key codes, and
// the SDL window under a private X server.

#include <cstdlib>
#include <gtest/gtest.h>
#include <string>

#include "platform/screen.h"
#include "platform/video.h"
#include "xvfb.h"

#if QM_HAVE_SDL
#include <SDL.h>
#endif

TEST(HeadlessVideo, ImpossibleScreensAreRefused) {
    VideoSurface s = {};
    EXPECT_EQ(video_headless.open(512, 384, 8, 0, &s), 0);
    EXPECT_EQ(video_headless.open(0, 384, 16, 0, &s), 0);
    EXPECT_EQ(video_headless.open(512, 100000, 16, 0, &s), 0);
}

TEST(HeadlessVideo, TheScreenKeepsRowsBetweenFrames) {
    VideoSurface s = {};
    VideoLock lock = {};
    EXPECT_EQ(video_headless.lock(&lock), 0) << "nothing is open yet";
    ASSERT_EQ(video_headless.open(512, 384, 24, VIDEO_WINDOWED, &s), 1);
    EXPECT_EQ(video_headless.open(512, 384, 24, 0, &s), 0) << "one screen at a time";
    ASSERT_EQ(video_headless.lock(&lock), 1);
    for (int y = 0; y < 384; y++)
        for (int x = 0; x < 512 * 3; x++) ASSERT_EQ(lock.pixels[y * lock.pitch + x], 0);
    lock.pixels[318 * lock.pitch + 5] = 0xAB; // a row the next frames do not write
    EXPECT_EQ(video_headless.unlock(), 1);
    for (int frame = 0; frame < 3; frame++) {
        ASSERT_EQ(video_headless.lock(&lock), 1);
        lock.pixels[100 * lock.pitch] = uint8_t(frame);
        EXPECT_EQ(video_headless.unlock(), 1);
        EXPECT_EQ(video_headless.wait_vblank(), 1);
    }
    EXPECT_EQ(lock.pixels[318 * lock.pitch + 5], 0xAB);
    video_headless.message_box("Vandrel", "nothing is shown");
    video_headless.close();
    video_headless.close();
    EXPECT_EQ(video_headless.unlock(), 0);
}

TEST(HeadlessVideo, EventsComeBackInOrderAfterTheFirstActivation) {
    VideoSurface s = {};
    ASSERT_EQ(video_headless.open(512, 384, 16, 0, &s), 1);
    VideoEvent in[] = {{VIDEO_EVENT_KEY_DOWN, 'N'},
                       {VIDEO_EVENT_MOUSE_DOWN, 0},
                       {VIDEO_EVENT_KEY_UP, 'N'},
                       {VIDEO_EVENT_CLOSE, 0}};
    for (const VideoEvent &e : in) ASSERT_EQ(video_headless_push(&e), 1);
    VideoEvent e = {};
    ASSERT_EQ(video_headless.poll_event(&e), 1);
    EXPECT_EQ(e.kind, VIDEO_EVENT_ACTIVE);
    for (const VideoEvent &want : in) {
        ASSERT_EQ(video_headless.poll_event(&e), 1);
        EXPECT_EQ(e.kind, want.kind);
        EXPECT_EQ(e.key, want.key);
    }
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
        {1600, 1200, {32, 24, 1536, 1152}},
        {800, 384, {144, 0, 512, 384}},
        {400, 300, {0, 0, 400, 300}},
        {300, 600, {0, 187, 300, 225}},
        {640, 200, {187, 0, 266, 200}},
        {1, 1, {0, 0, 1, 1}},
        {0, 480, {0, 0, 0, 0}},
    };
    for (const Case &c : cases) {
        ScreenRect r = screen_fit(c.out_w, c.out_h, 512, 384);
        EXPECT_EQ(r.x, c.want.x) << c.out_w << "x" << c.out_h;
        EXPECT_EQ(r.y, c.want.y) << c.out_w << "x" << c.out_h;
        EXPECT_EQ(r.width, c.want.width) << c.out_w << "x" << c.out_h;
        EXPECT_EQ(r.height, c.want.height) << c.out_w << "x" << c.out_h;
    }
}

#if QM_HAVE_SDL
TEST(WindowDeathTest, WithoutADisplayThereIsNoWindow) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            unsetenv("SDL_VIDEODRIVER");
            VideoSurface s = {};
            std::exit(video_window.available() == 0 && video_window.open(512, 384, 24, 0, &s) == 0
                          ? 0
                          : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

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

// Red, green and blue bands in the show's rows 64..316, in the surface's own format.
static void paint_bands(const VideoSurface &s, const VideoLock &lock) {
    const uint32_t colours[3] = {s.red_mask, s.green_mask, s.blue_mask};
    for (int y = 64; y < 317; y++) {
        for (int x = 0; x < 512; x++) {
            uint32_t v = colours[x * 3 / 512];
            uint8_t *p = lock.pixels + y * lock.pitch + x * s.bytes_per_pixel;
            for (int b = 0; b < s.bytes_per_pixel; b++) p[b] = uint8_t(v >> (8 * b));
        }
    }
}

static const uint8_t *pixel(const RootPicture &picture, int x, int y) {
    return reinterpret_cast<const uint8_t *>(picture.rgb.data()) + (y * picture.width + x) * 3;
}

TEST_F(WindowTest, ShowsTheLetterboxedPictureScaledToTheScreen) {
    for (int32_t bits : {16, 24, 32}) {
        VideoSurface s = {};
        ASSERT_EQ(video_window.open(512, 384, bits, 0, &s), 1) << bits;
        EXPECT_EQ(s.bits_per_pixel, bits);
        EXPECT_EQ(drain(VIDEO_EVENT_ACTIVE) >= 1, true) << "a new window counts as active";
        VideoLock lock = {};
        ASSERT_EQ(video_window.lock(&lock), 1);
        paint_bands(s, lock);
        // Full screen 1280 x 800 holds the screen twice over at (128, 16): screen row 200 is
        // root row 416, and the bands are 341 of 1024 pixels wide. A busy machine may take a
        // while to map and resize the window: look again until the red band shows.
        const int row = 16 + 2 * 200;
        RootPicture picture;
        for (int attempt = 0; attempt < 50; attempt++) {
            ASSERT_EQ(video_window.unlock(), 1);
            drain(0);
            SDL_Delay(100);
            ASSERT_TRUE(xvfb_grab(&picture));
            ASSERT_EQ(picture.width, 1280);
            ASSERT_EQ(picture.height, 800);
            if (pixel(picture, 128 + 100, row)[0] >= 240 &&
                pixel(picture, 128 + 900, row)[2] >= 240 && pixel(picture, 60, row)[0] == 0)
                break;
        }
        const uint8_t *red = pixel(picture, 128 + 100, row);
        const uint8_t *green = pixel(picture, 128 + 512, row);
        const uint8_t *blue = pixel(picture, 128 + 900, row);
        EXPECT_GE(red[0], 240);
        EXPECT_EQ(red[1] + red[2], 0) << bits << " bits: red band shows " << int(red[0]) << ","
                                      << int(red[1]) << "," << int(red[2]);
        EXPECT_GE(green[1], 240);
        EXPECT_EQ(green[0] + green[2], 0) << bits << " bits: green band";
        EXPECT_GE(blue[2], 240);
        EXPECT_EQ(blue[0] + blue[1], 0) << bits << " bits: blue band";
        // The side border, and the screen's own rows above the show, stay black.
        const uint8_t *border = pixel(picture, 60, row);
        const uint8_t *above = pixel(picture, 128 + 512, 16 + 2 * 30);
        EXPECT_EQ(border[0] + border[1] + border[2], 0);
        EXPECT_EQ(above[0] + above[1] + above[2], 0);
        video_window.close();
    }
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
    VideoEvent e;
    int key_down = 0, key_up = 0, mouse_down = 0, mouse_up = 0;
    while (video_window.poll_event(&e)) {
        key_down += e.kind == VIDEO_EVENT_KEY_DOWN && e.key == 'N';
        key_up += e.kind == VIDEO_EVENT_KEY_UP && e.key == 'N';
        mouse_down += e.kind == VIDEO_EVENT_MOUSE_DOWN;
        mouse_up += e.kind == VIDEO_EVENT_MOUSE_UP;
    }
    EXPECT_EQ(key_down, 1);
    EXPECT_EQ(key_up, 1);
    EXPECT_EQ(mouse_down, 1);
    EXPECT_EQ(mouse_up, 1);
    // F11 switches full screen and is not passed on; the window manager's close is.
    SDL_Event f11 = {};
    f11.type = SDL_KEYDOWN;
    f11.key.keysym.sym = SDLK_F11;
    SDL_PushEvent(&f11);
    EXPECT_EQ(drain(VIDEO_EVENT_KEY_DOWN, 0x7A), 0);
    SDL_Event close = {};
    close.type = SDL_WINDOWEVENT;
    close.window.event = SDL_WINDOWEVENT_CLOSE;
    SDL_PushEvent(&close);
    EXPECT_EQ(drain(VIDEO_EVENT_CLOSE), 1);
}

// Pushes a left-button press, or a focus change of the window.
static void push_click() {
    SDL_Event e = {};
    e.type = SDL_MOUSEBUTTONDOWN;
    e.button.button = SDL_BUTTON_LEFT;
    SDL_PushEvent(&e);
}

static void push_focus(bool gained) {
    SDL_Event e = {};
    e.type = SDL_WINDOWEVENT;
    e.window.event = gained ? SDL_WINDOWEVENT_FOCUS_GAINED : SDL_WINDOWEVENT_FOCUS_LOST;
    SDL_PushEvent(&e);
}

// Clicking a window in the background brings it forward: the window manager passes that click on
// either before or just after the focus; neither is the user's input to the show.
TEST_F(WindowTest, TheClickThatFocusesTheWindowIsNoInput) {
    VideoSurface s = {};
    ASSERT_EQ(video_window.open(512, 384, 24, VIDEO_WINDOWED, &s), 1);
    SDL_Delay(200);
    drain(0);
    push_focus(false);
    push_click();
    push_focus(true);
    push_click();
    EXPECT_EQ(drain(VIDEO_EVENT_MOUSE_DOWN), 0);
    SDL_Delay(150);
    push_click();
    EXPECT_EQ(drain(VIDEO_EVENT_MOUSE_DOWN), 1);
}
#endif
