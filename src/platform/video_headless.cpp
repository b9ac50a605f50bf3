// video_headless.cpp -- a screen in memory only, for runs without a display.

#include "platform/video.h"

#include "data/memory.h"
#include "platform/screen.h"

static Screen headless_screen;
static bool headless_open;

static constexpr int queue_size = 256;
static VideoEvent queue[queue_size];
static int queue_head;  // next event to hand out
static int queue_count; // events waiting

int video_headless_push(const VideoEvent *event) {
    if (queue_count == queue_size) return 0;
    queue[(queue_head + queue_count) % queue_size] = *event;
    queue_count++;
    return 1;
}

static int headless_available() {
    return 1;
}

static int headless_open_screen(int32_t width, int32_t height, int32_t bits_per_pixel, int32_t,
                                VideoSurface *surface) {
    if (headless_open || !screen_create(&headless_screen, width, height, bits_per_pixel)) return 0;
    *surface = headless_screen.surface;
    headless_open = true;
    queue_head = 0;
    queue_count = 0;
    VideoEvent shown = {VIDEO_EVENT_ACTIVE, 0};
    video_headless_push(&shown);
    return 1;
}

static int headless_lock(VideoLock *lock) {
    if (!headless_open) return 0;
    lock->pixels = headless_screen.pixels;
    lock->pitch = headless_screen.pitch;
    return 1;
}

static int headless_unlock() {
    return headless_open ? 1 : 0;
}

static int headless_wait_vblank() {
    return headless_open ? 1 : 0;
}

static int headless_poll_event(VideoEvent *event) {
    if (queue_count == 0) return 0;
    *event = queue[queue_head];
    queue_head = (queue_head + 1) % queue_size;
    queue_count--;
    return 1;
}

static void headless_message_box(const char *, const char *) {}

static void headless_close() {
    if (!headless_open) return;
    screen_destroy(&headless_screen);
    headless_open = false;
    queue_count = 0;
}

const VideoDriver video_headless = {
    "headless",          headless_available,   headless_open_screen,
    headless_lock,       headless_unlock,      headless_wait_vblank,
    headless_poll_event, headless_message_box, headless_close,
};
