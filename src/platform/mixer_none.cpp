// mixer_none.cpp -- the mix of a build without libopenmpt: nothing loads, silence plays.

#include "platform/mixer.h"

#include "data/error.h"

void mixer_open(int32_t, MixerLockRoutine, MixerLockRoutine) {}

void mixer_close() {}

AudioHandle mixer_music_load(const char *path) {
    data_error("%s: this build cannot play modules", path);
    return 0;
}

AudioHandle mixer_stream_load(const char *path) {
    data_error("%s: this build cannot play streams", path);
    return 0;
}

int mixer_music_play(AudioHandle) {
    return 0;
}

int mixer_stream_play(AudioHandle) {
    return 0;
}

void mixer_music_free(AudioHandle) {}

void mixer_stream_free(AudioHandle) {}

void mixer_set_volumes(int32_t, int32_t, int32_t) {}

void mixer_render(int16_t *out, int32_t frames) {
    for (int32_t i = 0; i < 2 * frames; i++) out[i] = 0;
}
