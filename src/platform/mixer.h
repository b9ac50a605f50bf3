// mixer.h -- the mix both audio drivers play: loaded modules and streams, volumes, rendering.
//
// One mixer per process. The device driver renders from its audio thread and passes a lock
// pair that keeps the main thread's changes out of a render in progress; volumes are atomic.
#pragma once

#include <cstdint>

#include "platform/audio.h"

using MixerLockRoutine = void (*)();

// Empties the mix and sets the output rate and the lock pair (null routines: no locking).
// Volumes go back to 100.
void mixer_init(int32_t rate, MixerLockRoutine lock, MixerLockRoutine unlock);

// Loads a module file set to loop forever; 0 on failure (reason in data_last_error()).
AudioHandle mixer_load_module(const char *path);

// Loads a sampled sound file; 0 on failure (reason in data_last_error()).
AudioHandle mixer_load_stream(const char *path);

// Starts a loaded module (is_stream 0) or stream (1) playing. 1, or 0 for an unknown handle.
int mixer_play(AudioHandle handle, int is_stream);

// Unloads one module or stream; unknown handles are ignored.
void mixer_free(AudioHandle handle, int is_stream);

// Unloads everything.
void mixer_free_all();

// Global volumes 0..100, clamped.
void mixer_set_volumes(int32_t music, int32_t sample, int32_t stream);

// Renders frames of interleaved stereo at the mixer's rate into out (2 * frames values),
// silence where nothing plays. Called with the lock held by whoever renders.
void mixer_render(int16_t *out, int32_t frames);
