// faults.h -- data faults the show survives: reported on stderr at once, and in the exit status.
//
// A picture that only one effect needs, or the music, may fail to load without stopping the
// show; the user still hears of it, and the program does not end with status 0.
#pragma once

#include <cstdint>

// Prints "quellmoor: <reason>" on stderr and counts the fault.
void fault_report(const char *reason);

// Faults reported since the program started (or fault_reset).
int32_t fault_count();

// Forgets the count (tests).
void fault_reset();
