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
    mixer_init(AUDIO_OFFLINE_RATE, nullptr, nullptr);
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
    mixer_free_all();
    offline_ready = false;
    offline_started = false;
}

static AudioHandle offline_music_load(const char *path) {
    return offline_ready ? mixer_load_module(path) : 0;
}

static int offline_music_play(AudioHandle music) {
    return mixer_play(music, 0);
}

static void offline_music_free(AudioHandle music) {
    mixer_free(music, 0);
}

static AudioHandle offline_stream_load(const char *path) {
    return offline_ready ? mixer_load_stream(path) : 0;
}

static int offline_stream_play(AudioHandle stream) {
    return mixer_play(stream, 1);
}

static void offline_stream_free(AudioHandle stream) {
    mixer_free(stream, 1);
}

const AudioDriver audio_offline = {
    "offline",          offline_device_name, offline_init,        offline_start,
    offline_stop,       offline_free,        offline_music_load,  offline_music_play,
    offline_music_free, offline_stream_load, offline_stream_play, offline_stream_free,
    mixer_set_volumes,
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
