// audio_none.cpp -- the device driver of a build without SDL: no devices, nothing opens.

#include "platform/audio.h"

static const char *none_device_name(int32_t) {
    return nullptr;
}

static int none_init(int32_t, int32_t) {
    return 0;
}

static int none_fail() {
    return 0;
}

static void none_free() {}

static AudioHandle none_load(const char *) {
    return 0;
}

static int none_play(AudioHandle) {
    return 0;
}

static void none_release(AudioHandle) {}

static void none_set_volumes(int32_t, int32_t, int32_t) {}

const AudioDriver audio_device = {
    "none",    none_device_name, none_init, none_fail, none_fail,    none_free,        none_load,
    none_play, none_release,     none_load, none_play, none_release, none_set_volumes,
};
