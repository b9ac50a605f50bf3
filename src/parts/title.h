// title.h -- the title part's drawing helper (its routines are in parts/parts.h).
#pragma once

#include "data/image.h"

// Draws picture (512 x 256) into target (512 x 256) as blocks of block_size pixels: the
// picture itself when block_size < 2.
void title_pixelate(const Image *picture, Image *target, float block_size);

// Back to the state at program start: the next load flashes from 511 again (for a new run of
// the show in the same process, as the tests make).
void title_reset();
