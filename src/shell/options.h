// options.h -- the command line: what the user asked for before the show starts.
//
// With no options the program asks its questions in the setup dialog. Any setting given on the
// command line skips the dialog and takes the defaults for the rest.
#pragma once

#include <cstdint>

constexpr int32_t OPT_SOUND_DEFAULT = -1; // the first device of the list, as the dialog preselects
constexpr int32_t OPT_SOUND_NONE = -2;    // "No sound"

// What the command line asked for.
struct Options {
    int32_t show_dialog;      // 1: ask in the setup dialog
    int32_t color_depth;      // 16 or 24
    int32_t vertical_retrace; // 1: wait for the vertical blank before each present
    int32_t windowed;         // 1: a window instead of the full screen
    int32_t sound_device;     // device index, OPT_SOUND_DEFAULT or OPT_SOUND_NONE
    const char *data_dir;     // --data DIR, or nullptr
    int32_t start_part;       // 1..12: the part the show starts at
    int32_t stop_after;       // --ticks N: ticks of playing before the show ends; 0: no limit
    int32_t headless;         // 1: no window, no sound, stepped clock, as fast as possible
    const char *frames_dir;   // --frames DIR, or nullptr
    int32_t frames_every;     // --every N (ticks), or 0
    int32_t *frames_at;       // --at ticks, ascending and unique (a mem_alloc block), or nullptr
    int32_t frames_at_count;
    const char *record_path;  // --record FILE.mp4, or nullptr
    int32_t record_scale;     // --scale N: the recorded screen enlarged N times (1..8)
    int32_t benchmark;        // 1: time every frame and print a table at the end
    const char *digests_path; // --digests FILE: a digest of every frame, or nullptr
};

// What the caller does after options_parse.
enum OptionsResult {
    OPTIONS_RUN,    // play the show
    OPTIONS_DONE,   // --help or --version was answered on stdout: exit with status 0
    OPTIONS_BAD,    // a usage error was reported on stderr: exit with status 2
    OPTIONS_FAILED, // --help or --version could not be written (reported on stderr): status 1
};

// Fills opts from argv (argv[0] is the program), GNU style: "--depth 16" or "--depth=16", "--"
// ends the options; getopt_long may reorder argv. Messages go to stdout (help, version) or stderr
// (errors). Strings in opts point into argv; frames_at lives until mem_free_all.
OptionsResult options_parse(int argc, char **argv, Options *opts);
