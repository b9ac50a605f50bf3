// answer.h -- what --help and --version print, and the write error when it cannot be printed.
#pragma once

// Writes text to stdout and flushes it. Returns 1 when it was written; else reports
// "PROGRAM: write error: REASON" on stderr (a closed pipe, a full disk) and returns 0, for the
// caller to exit with status 1 as GNU tools do.
int answer_print(const char *program, const char *text);
