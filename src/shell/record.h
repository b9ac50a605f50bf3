// record.h -- records the show to an MP4 or Matroska video with its music, through an ffmpeg
// child process.
//
// The show runs headless on the stepped clock, so one presented frame is one tick. Each tick
// adds one frame of the 512 x 384 screen (H.264, 1000 / 14 frames per second) and the music
// rendered offline up to that tick (AAC), so sound and picture stay in step and end together.
#pragma once

#include <cstdint>

constexpr int32_t RECORD_TICK_MS = 14;        // one tick of the show's clock
constexpr int32_t RECORD_MAX_SCALE = 8;       // --scale limit
constexpr int32_t RECORD_LOADING_TICKS = 160; // the loading screen's dissolve, before the parts

// What to record.
struct RecordSettings {
    const char *path;   // the .mp4 or .mkv file to write (made or replaced)
    int32_t scale;      // 1..RECORD_MAX_SCALE: the screen enlarged with nearest-neighbour pixels
    int32_t rate;       // audio samples per second (44100 or 48000)
    int32_t start_part; // the part the show starts at (for the progress estimate)
};

// Audio frames (stereo samples) of a recording up to tick: tick x 14 ms x rate, rounded down.
// Computed from the tick so no rounding accumulates (672 per tick at 48 kHz).
int64_t record_samples_at(int64_t tick, int32_t rate);

// 1 when path ends in a file type --record writes (.mp4, .mkv, in any case); else 0 with a
// message on stderr listing them.
int record_check_name(const char *path);

// Starts ffmpeg writing a temporary file beside settings->path (so the folder is known to take
// files before the show starts). Returns 1, or 0 with a message on stderr (a name that is not
// .mp4 or .mkv, a folder that is missing or not writable, a target that is not a regular file,
// ffmpeg missing or not startable). SIGPIPE is ignored from here on: a write to a dead ffmpeg
// fails instead.
int record_start(const RecordSettings *settings);

// After a present: adds the screen for every tick since the last call, and the music up to
// tick_count. When ffmpeg stops reading, the recording fails and the show is asked to end.
void record_capture();

// Tells the progress line the parts have begun (after the loading screen).
void record_show_begins();

// How a recording ends.
enum RecordOutcome {
    RECORD_DISCARD = 0,  // the show failed before it began: stop ffmpeg, remove what it wrote
    RECORD_COMPLETE = 1, // the show ended, or Ctrl-C stopped it: the file takes the target's
                         // place, replacing what was there (which is said)
    RECORD_CUT = 2,      // a failure cut the show short: the file is kept (without a word,
                         // the failure has its line) only when no file of that name was there
};

// Ends the recording: closes the streams (or stops ffmpeg) and always reaps the child. The
// file the user named is changed only when a whole recording (or one kept after Ctrl-C) is
// finished; every other end removes the temporary file. Returns 1 when the file was written,
// else 0 (with ffmpeg's own reason on stderr when it failed).
int record_finish(int outcome);
