// preload.h -- everything loaded before the show: the frame buffer, the shared work images,
// the bars and captions several parts draw (declared in stage/stage.h), and every part's data,
// behind a loading screen.
#pragma once

#include "stage/stage.h"

#include <cstdint>

// Loads everything and plays the loading screen and its dissolve; then starts the music.
// Returns 1 to start the show, 0 when something failed (the reason, naming the file, is in
// data_last_error()).
int preload();
