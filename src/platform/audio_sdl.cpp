// audio_sdl.cpp -- sound output through SDL 2: the mixer renders in SDL's audio callback.

#include "platform/audio.h"

#include <SDL.h>
#include <cstdio>

#include "platform/mixer.h"

// Main thread only; the callback reaches the mixer, which the lock pair below guards.
static bool subsystem_ready;
static SDL_AudioDeviceID device_id;
// One buffer per listed device: the dialog shows them all at once.
static char name_buffers[AUDIO_MAX_DEVICES][256];

static const char default_device[] = "Default device";
static constexpr int32_t buffer_frames = 1024;

static bool ensure_subsystem() {
    if (!subsystem_ready) subsystem_ready = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    return subsystem_ready;
}

// Device 0 is whatever the system's default output is; 1.. are SDL's devices 0... With no
// output device at all there is no default either. (A count SDL cannot tell, -1, leaves the
// default to try.)
static const char *sdl_device_name(int32_t index) {
    if (index < 0 || index >= AUDIO_MAX_DEVICES || !ensure_subsystem()) return nullptr;
    int count = SDL_GetNumAudioDevices(0);
    if (count == 0) return nullptr;
    if (index == 0) return default_device;
    if (index - 1 >= count) return nullptr;
    const char *name = SDL_GetAudioDeviceName(index - 1, 0);
    if (!name) return nullptr;
    std::snprintf(name_buffers[index], sizeof name_buffers[index], "%s", name);
    return name_buffers[index];
}

static void lock_device() {
    SDL_LockAudioDevice(device_id);
}

static void unlock_device() {
    SDL_UnlockAudioDevice(device_id);
}

static void render(void *, Uint8 *stream, int length) {
    mixer_render(reinterpret_cast<int16_t *>(stream), length / int(2 * sizeof(int16_t)));
}

// Device -1 (as 0) opens the default output.
static int sdl_init(int32_t device, int32_t rate) {
    if (device_id || device < -1 || rate < 8000 || rate > 192000 || !ensure_subsystem()) return 0;
    const char *name = nullptr;
    if (device > 0) {
        if (device - 1 >= SDL_GetNumAudioDevices(0)) return 0;
        name = SDL_GetAudioDeviceName(device - 1, 0);
        if (!name) return 0;
    }
    SDL_AudioSpec want = {};
    want.freq = rate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = buffer_frames;
    want.callback = render;
    // No changes allowed: SDL converts to whatever the device really takes.
    device_id = SDL_OpenAudioDevice(name, 0, &want, nullptr, 0);
    if (!device_id) return 0;
    mixer_open(rate, lock_device, unlock_device);
    return 1; // devices open paused
}

static int sdl_start() {
    if (!device_id) return 0;
    SDL_PauseAudioDevice(device_id, 0);
    return 1;
}

static int sdl_stop() {
    if (!device_id) return 0;
    SDL_PauseAudioDevice(device_id, 1);
    return 1;
}

static void sdl_free() {
    if (device_id) {
        SDL_CloseAudioDevice(device_id); // the callback has returned for good
        device_id = 0;
        mixer_close(); // no callback left to lock out
    }
    if (subsystem_ready) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    subsystem_ready = false;
}

const AudioDriver audio_device = {
    "sdl",
    sdl_device_name,
    sdl_init,
    sdl_start,
    sdl_stop,
    sdl_free,
    mixer_music_load,
    mixer_music_play,
    mixer_music_free,
    mixer_stream_load,
    mixer_stream_play,
    mixer_stream_free,
    mixer_set_volumes,
};
