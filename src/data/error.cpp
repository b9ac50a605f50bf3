// error.cpp -- the reason the last load failed

#include "data/error.h"

#include <cstdarg>
#include <cstdio>

static char last_error[512];

void data_error(const char *fmt, ...) {
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(last_error, sizeof last_error, fmt, args);
    va_end(args);
    // Names come from damaged files too: a newline or an escape sequence in one must not reach
    // the user's terminal as such.
    for (char *c = last_error; *c; c++)
        if (static_cast<unsigned char>(*c) < 0x20 || *c == 0x7F) *c = '?';
}

const char *data_last_error() {
    return last_error;
}

void data_clear_error() {
    last_error[0] = '\0';
}
