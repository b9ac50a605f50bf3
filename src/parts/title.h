// title.h -- the title part's drawing helper (its routines are in parts/parts.h).
#pragma once

#include "data/image.h"

// Back to the state at program start: the next load flashes from 511 again (for a new run of
// the show in the same process, as the tests make).
void title_reset();
