// preload.h -- everything loaded before the show: the frame buffer, the shared work images,
// the bars and captions several parts draw (declared in stage/stage.h), and every part's data,
// behind a loading screen.
#pragma once

#include "stage/stage.h"

#include <cstdint>

// What preload did.
enum PreloadResult {
    PRELOAD_FAILED = 0,  // something failed (the reason, naming the file, is in data_last_error())
    PRELOAD_DONE = 1,    // everything loaded and the music started: the show can start
    PRELOAD_ESCAPED = 2, // Escape was pressed while loading: it stopped and the show is not to run
};

// Loads everything and plays the loading screen and its dissolve; then starts the music. A
// tune that cannot be loaded fails it. Escape ends it at the next step or dissolve frame.
int preload();
