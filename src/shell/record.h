// record.h -- records the show to an MP4 video with its music, through an ffmpeg child process.
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
    const char *path;   // the MP4 file to write (made or replaced)
    int32_t scale;      // 1..RECORD_MAX_SCALE: the screen enlarged with nearest-neighbour pixels
    int32_t rate;       // audio samples per second (44100 or 48000)
    int32_t start_part; // the part the show starts at (for the progress estimate)
};

// Audio frames (stereo samples) of a recording up to tick: tick x 14 ms x rate, rounded down.
// Computed from the tick so no rounding accumulates (672 per tick at 48 kHz).
int64_t record_samples_at(int64_t tick, int32_t rate);

// Starts ffmpeg writing settings->path. Returns 1, or 0 with a message on stderr (ffmpeg missing
// or not startable). SIGPIPE is ignored from here on: a write to a dead ffmpeg fails instead.
int record_start(const RecordSettings *settings);

// After a present: adds the screen for every tick since the last call, and the music up to
// tick_count. When ffmpeg stops reading, the recording fails and the show is asked to end.
void record_capture();

// Tells the progress line the parts have begun (after the loading screen).
void record_show_begins();

// Ends the recording: with complete 1, closes the streams and waits for ffmpeg to write the file;
// with complete 0 (the show failed), stops ffmpeg and removes the unfinished file. Always reaps
// the child. Returns 1 when the file was written, else 0 with a message on stderr.
int record_finish(int complete);
