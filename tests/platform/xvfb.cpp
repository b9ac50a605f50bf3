// xvfb.cpp -- a private X server for the tests that need a display.

#include "xvfb.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

static pid_t server;

// Reads the display number Xvfb writes to its -displayfd pipe when it is ready.
static int read_display(int fd) {
    std::string text;
    char c;
    for (;;) {
        pollfd p = {fd, POLLIN, 0};
        if (poll(&p, 1, 5000) <= 0 || read(fd, &c, 1) != 1) return -1;
        if (c == '\n') break;
        text += c;
    }
    return text.empty() ? -1 : std::atoi(text.c_str());
}

static void xvfb_stop() {
    if (server <= 0) return;
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
    server = 0;
}

bool xvfb_start() {
    // One server for the whole test program: GTK keeps its first display until the end.
    if (server > 0) return true;
    if (system("command -v Xvfb >/dev/null 2>&1") != 0) return false;
    int fds[2];
    if (pipe(fds) != 0) return false;
    server = fork();
    if (server == 0) {
        // The server goes with the test program, also when a test crashes.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        close(fds[0]);
        int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, 1);
        dup2(devnull, 2);
        std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x800x24", "-nolisten",
               "tcp", static_cast<char *>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    int display = server > 0 ? read_display(fds[0]) : -1;
    close(fds[0]);
    if (display < 0) {
        xvfb_stop();
        return false;
    }
    std::atexit(xvfb_stop);
    setenv("DISPLAY", (":" + std::to_string(display)).c_str(), 1);
    unsetenv("WAYLAND_DISPLAY");
    return true;
}

int xvfb_run(const std::string &command) {
    int status = system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool xvfb_grab(RootPicture *picture) {
    FILE *f = popen("import -window root -depth 8 ppm:- 2>/dev/null", "r");
    if (!f) return false;
    int maxval = 0;
    bool ok = fscanf(f, "P6 %d %d %d", &picture->width, &picture->height, &maxval) == 3 &&
              maxval == 255 && fgetc(f) != EOF;
    if (ok) {
        picture->rgb.resize(size_t(picture->width) * size_t(picture->height) * 3);
        ok = fread(picture->rgb.data(), 1, picture->rgb.size(), f) == picture->rgb.size();
    }
    pclose(f);
    return ok;
}
