// error.h -- the reason the last load failed, kept for the caller to print.
//
// Loaders return null on failure, as the rest of the program expects; before they do, they
// record here what went wrong, naming the file ("data\bardown.tga: pixel data ends early").
// Whoever gives up (the preload, a tool) prints it.
#pragma once

// Records the reason of a failure (printf-style), control characters shown as '?'. The last one
// wins.
void data_error(const char *fmt, ...) __attribute__((format(printf, 1, 2)));

// The last recorded reason, or "" when none was recorded since data_clear_error. Valid until the
// next data_error or data_clear_error.
const char *data_last_error();

// Forgets the last reason.
void data_clear_error();
