// digests.h -- a digest of every frame the show draws, written to a file, so that two builds
// (or a build and the committed record of the show) can be compared frame by frame.
#pragma once

#include <cstdint>

// Starts writing to path, one line per frame: "TICK PART DIGEST" (DIGEST in 16 hex digits; PART
// 0 for the loading screen). Returns 1, or 0 with a message on stderr.
int digests_start(const char *path);

// After a present: notes the frame buffer's digest at the current tick.
void digests_capture();

// Closes the file. Returns 1, or 0 when a write failed (reported as a fault).
int digests_finish();
