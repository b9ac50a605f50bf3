// blit.h -- rectangle blits between pictures, and the grid warp of an indexed texture.
//
// Every blit takes a source rectangle x0, y0 (inclusive) .. x1, y1 (exclusive) and a destination
// position dx, dy, clips them with blit_clip and draws nothing when that rejects them. Where
// has_mmx is set, the blits take their packed-arithmetic paths; both paths give the same pixels.
// No blit allocates memory.
#pragma once

#include "data/image.h"

#include <cstdint>

// A source rectangle and where it goes.
struct BlitRect {
    int32_t x0, y0; // first source column and row
    int32_t x1, y1; // one past the last source column and row
    int32_t dx, dy; // destination of (x0, y0)
};

// Clips the rectangle to a sw x sh source and a dw x dh destination, in place. Returns 1 when
// some pixels remain to be drawn, 0 when none do.
int blit_clip(BlitRect *rect, int32_t sw, int32_t sh, int32_t dw, int32_t dh);

// dst = src.
void blit_copy(const Image *src, Image *dst, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
               int32_t dx, int32_t dy);

// dst = src, whole word, unless any of src's red, green, blue bytes equals the key's byte in the
// same place.
void blit_key(const Image *src, Image *dst, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
              int32_t dx, int32_t dy, uint32_t key);

// dst = src where src's mask byte is 0.
void blit_masked(const Image *src, Image *dst, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                 int32_t dx, int32_t dy);

// Each colour byte = (src * alpha + dst * (255 - alpha)) >> 8, alpha 0..255; dst's mask byte
// stays.
void blit_blend(const Image *src, Image *dst, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                int32_t dx, int32_t dy, int32_t alpha);

// As blit_blend with alpha = src's mask byte.
void blit_alpha(const Image *src, Image *dst, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                int32_t dx, int32_t dy);

// Each colour byte = (src + dst) >> 1; dst's mask byte stays.
void blit_average(const Image *src, Image *dst, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                  int32_t dx, int32_t dy);

// blit_average of back's rectangle, then blit_key of over's: the pixels of the two one after
// the other. Where both land on the same columns, each destination row is read and written once
// for both.
void blit_average_key(const Image *back, BlitRect averaged, const Image *over, BlitRect keyed,
                      Image *dst, uint32_t key);

// n pixels of a picture seen through a table of 16-bit texel numbers, the offset added to each:
// out[i] = texels[(table[i] + offset) & 0xFFFF] (the tunnels). Eight texel numbers at a time with
// SSE2, where a 16-bit addition wraps at 65,536 as the mask does; blit_table_plain is the plain
// form it must equal.
void blit_table(const uint16_t *table, const uint32_t *texels, uint32_t offset, uint32_t *out,
                int32_t n);
void blit_table_plain(const uint16_t *table, const uint32_t *texels, uint32_t offset, uint32_t *out,
                      int32_t n);

constexpr int32_t GRID_COLUMNS = 65; // grid points across: one every 8 pixels of 512
constexpr int32_t GRID_ROWS = 33;    // grid points down: one every 8 pixels of 256

// One grid point: texture column, texture row and shade.
struct GridPoint {
    float u, v, s;
};

// Side of the indexed texture grid_warp maps, in texels.
constexpr int32_t WARP_TEXTURE_SIDE = 256;

// Maps an indexed texture (WARP_TEXTURE_SIDE x WARP_TEXTURE_SIDE colour indices, a byte each)
// through shades (65,536 pixel words, index colour * 256 + shade) onto a 512 x 256 picture.
// grid holds GRID_COLUMNS x GRID_ROWS points stored column by column: point (i, j) is
// grid[i * GRID_ROWS + j], at x = 8i, y = 8j. The indices are bytes rather than pixel words so
// that the texture keeps to a quarter of the cache.
void grid_warp(const GridPoint *grid, const uint8_t *indices, const uint32_t *shades, Image *dst);
