// signals.h -- Ctrl-C and kill as a request to stop.
//
// The handler only notes the signal. The dialog, the loading, the main loop and the recorder
// look at the note and end the usual way, so the screen and the sound device are given back and
// a recording is closed cleanly; the program then exits with 128 + the signal's number.
#pragma once

// Catches SIGINT and SIGTERM from now on. Call it on the main thread before any other thread
// starts. A second signal of the same kind ends the program at once, as without the handler.
void signals_install();

// The first SIGINT or SIGTERM caught, or 0.
int signals_caught();
