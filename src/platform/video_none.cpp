// video_none.cpp -- the window driver of a build without SDL: there is never a display.

#include "platform/video.h"

static int none_available() {
    return 0;
}

static int none_open(int32_t, int32_t, int32_t, int32_t, VideoSurface *) {
    return 0;
}

static int none_lock(VideoLock *) {
    return 0;
}

static int none_unlock() {
    return 0;
}

static int none_poll_event(VideoEvent *) {
    return 0;
}

static void none_message_box(const char *, const char *) {}

static void none_close() {}

const VideoDriver video_window = {
    "none",      none_available,  none_open,        none_lock,  none_unlock,
    none_unlock, none_poll_event, none_message_box, none_close,
};

int32_t video_key_from_sdl(int32_t) {
    return 0;
}
