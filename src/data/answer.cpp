// answer.cpp -- prints an answer on stdout and makes sure it got there

#include "data/answer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

int answer_print(const char *program, const char *text) {
    // Output to a pipe or a file is buffered: a failed write shows only when it is flushed.
    errno = 0;
    if (std::fputs(text, stdout) >= 0 && std::fflush(stdout) == 0 && !std::ferror(stdout)) return 1;
    const int reason = errno;
    std::fprintf(stderr, "%s: write error%s%s\n", program, reason ? ": " : "",
                 reason ? std::strerror(reason) : "");
    return 0;
}
