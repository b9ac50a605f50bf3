// signals.cpp -- notes SIGINT and SIGTERM for the main thread to act on

#include "platform/signals.h"

#include <atomic>
#include <csignal>

// Any thread may take the signal; lock-free atomics are safe to touch in a handler.
static std::atomic<int> caught;
static_assert(std::atomic<int>::is_always_lock_free);

static void note_signal(int signal) {
    int none = 0;
    caught.compare_exchange_strong(none, signal);
}

void signals_install() {
    struct sigaction action = {};
    action.sa_handler = note_signal;
    sigemptyset(&action.sa_mask);
    // Calls under way go on (SA_RESTART); the stop is noticed at the next look. SA_RESETHAND
    // lets a second Ctrl-C end a program that does not stop.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int signals_caught() {
    return caught.load();
}
