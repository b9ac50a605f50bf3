// xvfb.cpp -- a private X server for the tests that need a display.

#include "xvfb.h"

#include "helpers.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

static pid_t server;

// True when any X server, or anything else, holds display n: its lock file, or its socket in the
// file system or in the abstract namespace. Lock files cannot be trusted alone: a server whose
// lock file was cleaned away would lose its file-system socket to a newcomer, and clients
// would reach the two servers by different roads.
static bool display_taken(int n) {
    std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
    if (access(lock.c_str(), F_OK) == 0) return true;
    std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
    std::ifstream table("/proc/net/unix");
    std::string line;
    while (std::getline(table, line)) {
        size_t at = line.rfind(' ');
        std::string path = at == std::string::npos ? line : line.substr(at + 1);
        if (path == socket || path == "@" + socket) return true;
    }
    return false;
}

// Servers of other screens, started on request, stopped with the main one.
static pid_t others[8];
static int other_count;

static void stop_main_server() {
    if (server <= 0) return;
    kill(server, SIGTERM);
    waitpid(server, nullptr, 0);
    server = 0;
}

static void stop_server() {
    stop_main_server();
    for (int i = 0; i < other_count; i++) {
        kill(others[i], SIGTERM);
        waitpid(others[i], nullptr, 0);
    }
    other_count = 0;
}

enum StartResult { STARTED, DISPLAY_TAKEN, NO_SERVER };

// Starts Xvfb with the given screen on display n and waits up to five seconds for it to answer.
static StartResult start_server(int n, bool can_ask, const char *screen = "1280x800x24") {
    server = fork();
    if (server < 0) return NO_SERVER;
    if (server == 0) {
        // The server goes with the test program, also when a test crashes.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, 1);
        dup2(devnull, 2);
        std::string display = ":" + std::to_string(n);
        // -noreset: an X server resets when its last client leaves and turns clients away
        // meanwhile, and the tests connect and leave again and again.
        execlp("Xvfb", "Xvfb", display.c_str(), "-screen", "0", screen, "-nolisten", "tcp",
               "-noreset", static_cast<char *>(nullptr));
        _exit(127);
    }
    // The socket comes before the server takes clients: with xdotool at hand, wait until a
    // client gets an answer.
    std::string ask =
        "DISPLAY=:" + std::to_string(n) + " xdotool getdisplaygeometry >/dev/null 2>&1";
    for (int wait = 0; wait < 500; wait++) {
        if (waitpid(server, nullptr, WNOHANG) == server) {
            server = 0; // it gave up: the display was taken after all
            return DISPLAY_TAKEN;
        }
        if (display_taken(n) && (!can_ask || run_command(ask).status == 0)) return STARTED;
        usleep(10000);
    }
    stop_main_server();
    return NO_SERVER;
}

bool xvfb_start() {
    // One server for the whole test program: GTK keeps its first display until the end.
    if (server > 0) return true;
    if (!have_program("Xvfb")) return false;
    bool can_ask = have_program("xdotool");
    // Test programs run side by side: each starts its search at a place of its own.
    int first = int(getpid() % 500);
    for (int i = 0; i < 40; i++) {
        int n = 300 + (first + i) % 500;
        if (display_taken(n)) continue;
        StartResult result = start_server(n, can_ask);
        if (result == NO_SERVER) return false;
        if (result == DISPLAY_TAKEN) continue;
        std::atexit(stop_server);
        setenv("DISPLAY", (":" + std::to_string(n)).c_str(), 1);
        unsetenv("WAYLAND_DISPLAY");
        return true;
    }
    return false;
}

std::string xvfb_start_other(const std::string &screen) {
    if (other_count == int(sizeof others / sizeof others[0])) return "";
    if (!have_program("Xvfb")) return "";
    bool can_ask = have_program("xdotool");
    pid_t main_server = server;
    int first = int((getpid() + 250) % 500);
    for (int i = 0; i < 40; i++) {
        int n = 300 + (first + i) % 500;
        if (display_taken(n)) continue;
        StartResult result = start_server(n, can_ask, screen.c_str());
        pid_t started = server;
        server = main_server;
        if (result == NO_SERVER) return "";
        if (result == DISPLAY_TAKEN) continue;
        if (other_count == 0 && main_server <= 0) std::atexit(stop_server);
        others[other_count++] = started;
        return ":" + std::to_string(n);
    }
    return "";
}

int xvfb_run(const std::string &command) {
    return run_command(command).status;
}

bool xvfb_grab(RootPicture *picture) {
    const std::string ppm = run_command("import -window root -depth 8 ppm:-").out;
    int maxval = 0, header = 0;
    if (std::sscanf(ppm.c_str(), "P6 %d %d %d%n", &picture->width, &picture->height, &maxval,
                    &header) != 3 ||
        maxval != 255 || picture->width <= 0 || picture->height <= 0)
        return false;
    const size_t bytes = size_t(picture->width) * size_t(picture->height) * 3;
    const size_t start = size_t(header) + 1; // one white-space byte ends the header
    if (ppm.size() < start + bytes) return false;
    picture->rgb.assign(ppm.begin() + long(start), ppm.begin() + long(start + bytes));
    return true;
}
