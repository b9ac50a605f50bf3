// audio_offline.cpp -- the sound calls with no device: the mix is rendered when asked for.

#include "platform/audio.h"

#include "platform/mixer.h"

static bool offline_ready;
static bool offline_started;

static const char *offline_device_name(int32_t index) {
    return index == 0 ? "Offline" : nullptr;
}

static int offline_init(int32_t device, int32_t) {
    if (offline_ready || device != 0) return 0;
    mixer_open(AUDIO_OFFLINE_RATE, nullptr, nullptr);
    offline_ready = true;
    offline_started = false;
    return 1;
}

static int offline_start() {
    if (!offline_ready) return 0;
    offline_started = true;
    return 1;
}

static int offline_stop() {
    if (!offline_ready) return 0;
    offline_started = false;
    return 1;
}

static void offline_free() {
    if (!offline_ready) return;
    mixer_close();
    offline_ready = false;
    offline_started = false;
}

const AudioDriver audio_offline = {
    "offline",         offline_device_name, offline_init,      offline_start,    offline_stop,
    offline_free,      mixer_music_load,    mixer_music_play,  mixer_music_free, mixer_stream_load,
    mixer_stream_play, mixer_stream_free,   mixer_set_volumes,
};

int32_t audio_offline_render(int16_t *out, int32_t frames) {
    if (!out || frames < 0) return 0;
    if (offline_ready && offline_started) {
        mixer_render(out, frames);
    } else {
        for (int32_t i = 0; i < 2 * frames; i++) out[i] = 0;
    }
    return frames;
}
