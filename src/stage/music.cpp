// music.cpp -- plays the show's modules through the audio driver

#include "stage/music.h"

#include "platform/audio.h"

#include <cstdio>

int32_t music_kind = MUSIC_NONE;

static const AudioDriver *audio; // null until the device is open
static AudioHandle music_handle;
static AudioHandle stream_handle;
static char music_dir[4096];

int music_init(const AudioDriver *driver, int32_t device) {
    if (audio || !driver->init(device, MUSIC_RATE)) return 0;
    if (!driver->start()) {
        driver->free();
        return 0;
    }
    audio = driver;
    music_kind = MUSIC_NONE;
    music_handle = stream_handle = 0;
    return 1;
}

void music_set_dir(const char *dir) {
    std::snprintf(music_dir, sizeof music_dir, "%s", dir ? dir : "");
}

static const char *music_path(const char *name, char *path, size_t size) {
    if (!music_dir[0]) return name;
    std::snprintf(path, size, "%s/%s", music_dir, name);
    return path;
}

int music_load(const char *name) {
    if (!audio) return 0;
    char path[sizeof music_dir + 256];
    music_handle = audio->music_load(music_path(name, path, sizeof path));
    return music_handle != 0;
}

void music_play() {
    if (audio && music_handle && audio->music_play(music_handle)) music_kind = MUSIC_MODULE;
}

int music_open(const char *name, int32_t kind) {
    if (!audio) return 0;
    char path[sizeof music_dir + 256];
    const char *file = music_path(name, path, sizeof path);
    if (kind == MUSIC_MODULE) {
        music_handle = audio->music_load(file);
        if (!music_handle) return 0;
        audio->music_play(music_handle);
    } else if (kind == MUSIC_STREAM) {
        stream_handle = audio->stream_load(file);
        if (!stream_handle) return 0;
        audio->stream_play(stream_handle);
    } else {
        return 0;
    }
    music_kind = kind;
    return 1;
}

// Stops the output and frees what plays; music_kind stays as it was.
static void music_release() {
    audio->stop();
    if (music_kind == MUSIC_MODULE) audio->music_free(music_handle);
    if (music_kind == MUSIC_STREAM) audio->stream_free(stream_handle);
}

void music_release_and_restart() {
    if (!audio || music_kind == MUSIC_NONE) return;
    music_release();
    audio->start();
}

void music_shutdown() {
    if (!audio) return;
    // The device is closed even when nothing played (a music file that failed to load).
    if (music_kind != MUSIC_NONE) music_release();
    audio->free();
    audio = nullptr;
    music_kind = MUSIC_NONE;
    music_handle = stream_handle = 0;
}

void music_set_volume(float v) {
    // v * 100 / 260, truncated: 255 gives 98.
    int32_t vol = int32_t(double(v) * 0.3846153846153846);
    if (!audio) return;
    if (music_kind == MUSIC_MODULE) audio->set_volumes(vol, 0, 0);
    if (music_kind == MUSIC_STREAM) audio->set_volumes(0, 0, vol);
}
