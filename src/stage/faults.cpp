// faults.cpp -- counts the data faults the show survives

#include "stage/faults.h"

#include <cstdio>

static int32_t faults;

void fault_report(const char *reason) {
    std::fprintf(stderr, "quellmoor: %s\n", reason);
    faults++;
}

int32_t fault_count() {
    return faults;
}

void fault_reset() {
    faults = 0;
}
