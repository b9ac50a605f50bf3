// quantize.h -- the octree colour quantiser: a true-colour picture reduced to a small palette
// and one palette index per pixel.
#pragma once

#include <cstdint>

// Largest palette the quantiser makes: indices are bytes.
constexpr int QUANTIZE_MAX_PALETTE = 256;

// Palette entries are kept this many below max_colors.
constexpr int QUANTIZE_RESERVED = 2;

// Live tree nodes above which the deepest level is folded into its parents.
constexpr int QUANTIZE_NODE_BUDGET = 0x40000;

// Reduces count pixel words (bytes 1, 2, 3 red, green, blue) to at most max_colors - 2 colours
// (kept within 1 .. QUANTIZE_MAX_PALETTE): palette[k] bytes 1..3 receive colour k (byte 0 is
// not written) and indices[i] the palette index of pixels[i]. palette_size, when given,
// receives the number of entries written. Returns 1, or 0 when memory runs out. The tree is
// freed before returning; nothing stays allocated.
int quantize_colors(uint32_t *palette, const uint32_t *pixels, uint8_t *indices, int count,
                    int max_colors, int *palette_size = nullptr);
