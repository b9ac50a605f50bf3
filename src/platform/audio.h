// audio.h -- the sound output: a device, modules and streams playing from files, volumes.
//
// The calls follow the sound library the show was written for: list the devices, init one,
// start, load a module (it loops forever), play it, set the global volumes (0..100), stop,
// free. Two drivers share one mixer, so volumes and looping sound the same in both: the device
// driver plays through SDL, the offline driver renders on request (for recording the show in
// step with its ticks).
#pragma once

#include <cstdint>

// The offline driver renders at this rate, two interleaved channels.
constexpr int32_t AUDIO_OFFLINE_RATE = 48000;

// Devices listed at most.
constexpr int32_t AUDIO_MAX_DEVICES = 64;

// A loaded module or stream; 0 means none.
using AudioHandle = uint32_t;

struct AudioDriver {
    const char *name; // "sdl" or "offline"

    // Name of output device index (0, 1, 2, ...), or null past the last one (at most
    // AUDIO_MAX_DEVICES). The offline driver has one device, "Offline". Each index has a name
    // of its own, valid until that index is asked again or free.
    const char *(*device_name)(int32_t index);

    // Opens output device index at rate samples per second (the offline driver always renders
    // at AUDIO_OFFLINE_RATE). Returns 1, or 0 (nothing is open). Output starts stopped; global
    // volumes start at 100.
    int (*init)(int32_t device, int32_t rate);

    // Starts (or resumes) the output. Returns 1, or 0 when not initialised.
    int (*start)();

    // Pauses the output; loaded music keeps its position. Returns 1, or 0 when not initialised.
    int (*stop)();

    // Frees every module and stream and closes the device. Safe to call when not initialised.
    void (*free)();

    // Loads a module file (XM, MOD, S3M, IT ...) set to loop forever. Returns its handle, or 0
    // (the reason, naming the file, is left in data_last_error()). Valid until music_free/free.
    AudioHandle (*music_load)(const char *path);

    // Plays a loaded module from where it stands. Returns 1, or 0 for an unknown handle.
    int (*music_play)(AudioHandle music);

    // Stops and unloads a module; unknown handles are ignored.
    void (*music_free)(AudioHandle music);

    // Loads a sampled sound file (a stream). Returns its handle, or 0 with the reason in
    // data_last_error(). Valid until stream_free/free.
    AudioHandle (*stream_load)(const char *path);

    // Plays a loaded stream from where it stands. Returns 1, or 0 for an unknown handle.
    int (*stream_play)(AudioHandle stream);

    // Stops and unloads a stream; unknown handles are ignored.
    void (*stream_free)(AudioHandle stream);

    // Global volumes 0..100 (values outside are clamped): modules are mixed at music / 100,
    // streams at stream / 100; sample is kept for completeness and has nothing to scale.
    void (*set_volumes)(int32_t music, int32_t sample, int32_t stream);
};

// SDL output with modules rendered by libopenmpt. With no audio system (or when built without
// SDL) it lists no devices and init fails.
extern const AudioDriver audio_device;

// No device: the mix is rendered by audio_offline_render.
extern const AudioDriver audio_offline;

// Renders the next frames of the offline mix (interleaved stereo, 2 * frames values) at
// AUDIO_OFFLINE_RATE. Silence while stopped, not initialised or with nothing playing. Returns
// frames, or 0 when frames < 0 or out is null.
int32_t audio_offline_render(int16_t *out, int32_t frames);
