// mixer.h -- the mix both audio drivers play: loaded modules and streams, volumes, rendering.
//
// One mixer per process. The device driver renders from its audio thread and passes a lock
// pair that keeps the main thread's changes out of a render in progress; volumes are atomic.
#pragma once

#include <cstdint>

#include "platform/audio.h"

using MixerLockRoutine = void (*)();

// Opens the mix: empty, at rate samples per second, volumes 100, with the lock pair the
// renderer's thread needs (null routines: no locking).
void mixer_open(int32_t rate, MixerLockRoutine lock, MixerLockRoutine unlock);

// Unloads everything and closes the mix; later loads fail until mixer_open. Call it only when
// no render can be running (the device is closed).
void mixer_close();

// The module and stream calls of AudioDriver, the same in every driver (see audio.h). Loads
// fail with a reason in data_last_error() while the mix is closed.
AudioHandle mixer_music_load(const char *path);
int mixer_music_play(AudioHandle music);
void mixer_music_free(AudioHandle music);
AudioHandle mixer_stream_load(const char *path);
int mixer_stream_play(AudioHandle stream);
void mixer_stream_free(AudioHandle stream);
void mixer_set_volumes(int32_t music, int32_t sample, int32_t stream);

// Renders frames of interleaved stereo at the mix rate into out (2 * frames values), silence
// where nothing plays. Called by whoever renders, with the lock held.
void mixer_render(int16_t *out, int32_t frames);
