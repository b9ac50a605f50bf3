// music.h -- the show's music: one module from the end of the loading screen, another for the
// closing part, and a volume the parts turn down and up.
//
// Music plays through an audio driver chosen at start-up; with no sound every call does nothing
// and the show runs at the same pace.
#pragma once

#include <cstdint>

struct AudioDriver;

constexpr int32_t MUSIC_NONE = 0;
constexpr int32_t MUSIC_MODULE = 2;
constexpr int32_t MUSIC_STREAM = 4;

constexpr int32_t MUSIC_RATE = 44100; // samples per second asked of the sound device

// What plays: MUSIC_NONE, MUSIC_MODULE or MUSIC_STREAM.
extern int32_t music_kind;

// Opens sound device index through driver and starts the output. Returns 1, or 0 (then nothing
// is open and every music call does nothing).
int music_init(const AudioDriver *driver, int32_t device);

// Music files are read from this folder ("" or null: the current folder). The text is copied.
void music_set_dir(const char *dir);

// Loads a module file; on failure the show stays silent and the reason (naming the file) is in
// data_last_error(). Returns 1 when loaded.
int music_load(const char *name);

// Plays the loaded module.
void music_play();

// Loads and plays a module (MUSIC_MODULE) or a stream (MUSIC_STREAM). Returns 1 when it plays.
int music_open(const char *name, int32_t kind);

// Stops and frees what plays, then restarts the output for the next music.
void music_release_and_restart();

// Stops and frees the music and closes the sound device.
void music_shutdown();

// Sets the playing music's volume, v from 0 to 255 (255 gives 98 of the driver's 100).
void music_set_volume(float v);
