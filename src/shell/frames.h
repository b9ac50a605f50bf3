// frames.h -- writes presented screens to PNG files, named by the tick they were shown at.
#pragma once

#include <cstdint>

// Which ticks to write: every `every` ticks (every > 0), or the listed ticks (ascending).
struct FrameSchedule {
    const char *dir;   // the folder to write into (made if missing)
    int32_t every;     // 0, or a tick interval
    const int32_t *at; // listed ticks, ascending, or null
    int32_t at_count;
};

// Starts writing frames as scheduled. Returns 1, or 0 with a message on stderr when the folder
// cannot be made.
int frames_start(const FrameSchedule *schedule);

// After a present: writes the screen as DIR/frame-NNNNNN.png (NNNNNN = tick_count) when a
// scheduled tick has come (with a real clock, the first frame at or after it). A failed write
// is reported as a fault and stops the writing.
void frames_capture();

// After the show: how many of the listed ticks it never reached (0 with --every, or after a
// failed write), and the first of them in *first.
int32_t frames_unreached(int32_t *first);
