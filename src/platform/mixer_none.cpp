// mixer_none.cpp -- the mix of a build without libopenmpt: nothing loads, silence plays.

#include "platform/mixer.h"

#include "data/error.h"

void mixer_init(int32_t, MixerLockRoutine, MixerLockRoutine) {}

AudioHandle mixer_load_module(const char *path) {
    data_error("%s: this build cannot play modules", path);
    return 0;
}

AudioHandle mixer_load_stream(const char *path) {
    data_error("%s: this build cannot play streams", path);
    return 0;
}

int mixer_play(AudioHandle, int) {
    return 0;
}

void mixer_free(AudioHandle, int) {}

void mixer_free_all() {}

void mixer_set_volumes(int32_t, int32_t, int32_t) {}

void mixer_render(int16_t *out, int32_t frames) {
    for (int32_t i = 0; i < 2 * frames; i++) out[i] = 0;
}
