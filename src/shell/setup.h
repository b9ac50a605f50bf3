// setup.h -- the program's entry, start-up and shut-down.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int32_t SOUND_NONE = -2; // sound_device when the show plays silent

// What the user chose (in the setup dialog or on the command line), read by the shell.
struct ShowSettings {
    int32_t color_depth;      // 16 or 24 bits per pixel
    int32_t vertical_retrace; // 1: wait for the vertical blank before each present
    int32_t windowed;         // 1: a window instead of the full screen
    int32_t sound_device;     // index into the device list, or SOUND_NONE
    int32_t device_count;     // sound devices listed
    int32_t run;              // 1 when the show is to run
    int32_t archive_open;     // 1 when quellmor.dat was opened; else plain files are read
    int32_t headless;         // 1: no window, no sound, stepped clock
};

extern ShowSettings show_settings;

// Exit statuses.
constexpr int EXIT_SHOW_OK = 0;
constexpr int EXIT_SHOW_FAILED = 1; // data or a device failed (a message says which)
constexpr int EXIT_SHOW_USAGE = 2;  // a bad command line, or no display to show the show on

// The whole program: options, setup, start-up, preload, main loop, shut-down. Returns the exit
// status.
int show_main(int argc, char **argv);
