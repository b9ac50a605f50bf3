// stage.h -- the pictures every part draws with: the frame buffer, the shared work images, the
// bars framing the picture and the caption strips. The preload makes and loads them (and the
// tests and benchmarks make plain ones) through the builders below; the parts draw into and with
// them.
#pragma once

#include "data/image.h"

#include <cstdint>

// The 512 x 256 picture every part draws into (with a depth buffer). Its rows 1..253 and
// columns 0..510 are shown, at screen rows 64..316. Valid from the preload until shut-down.
// Not the screen's memory: an ordinary picture that present converts onto the screen.
extern Image *FrameBuffer;

// Work images shared by the parts as render targets and scratch: 512 x 256, 512 x 256 and
// 512 x 512, zero-filled at the start. Valid as FrameBuffer.
extern Image *WorkImageA;
extern Image *WorkImageB;
extern Image *WorkImageLarge;

// The four bars framing the picture. Each mask byte holds the bar's alpha (its grey level in
// the matching alpha picture), ready for blit_alpha. Valid as FrameBuffer.
extern Image *BarDown;
extern Image *BarUp;
extern Image *BarLeft;
extern Image *BarRight;

// The bars' alpha pictures, mask bytes 0.
extern Image *BarDownAlpha;
extern Image *BarUpAlpha;
extern Image *BarLeftAlpha;
extern Image *BarRightAlpha;

// The caption strips "data\tx1.tga" .. "data\tx12.tga" as TextStrip[1] .. TextStrip[12]
// (TextStrip[0] is unused). Key-coloured pixels have mask byte 255, the others 0, ready for
// blit_masked. Valid as FrameBuffer.
extern Image *TextStrip[13];

// The key colour of the horizontal strips (1, 2, 5, 6, 7, 8, 11, 12) and of the upright ones
// (3, 4, 9, 10).
constexpr uint32_t TEXT_KEY_ACROSS = pixel_rgb(255, 173, 1);
constexpr uint32_t TEXT_KEY_UPRIGHT = pixel_rgb(1, 114, 255);

// Sets every text strip pixel of exactly the key colour to mask 255 and every other to 0.
void preload_key_text(Image *strip, uint32_t key);

// Sets each mask byte of picture to one colour byte (1 red, 2 green, 3 blue) of the same pixel
// of alpha. Returns 0, with a reason naming the file, when alpha is smaller than picture.
int preload_bar_alpha(Image *picture, const Image *alpha, int32_t byte, const char *name);

// 1 when caption strip n (1..12) stands upright (24 x 256, keyed with TEXT_KEY_UPRIGHT), 0 when
// it lies across (256 x 24, TEXT_KEY_ACROSS).
int stage_text_upright(int32_t n);

// Makes FrameBuffer, WorkImageA, WorkImageB and WorkImageLarge, zero-filled, in that order.
// Returns 0, with a reason (data_error), when memory runs out.
int stage_create_images();

// Loads the bars, their alpha pictures and the caption strips and makes their masks. Returns 0,
// with a reason naming the file, when one cannot be loaded or does not fit.
int stage_load_pictures();

// Bars and caption strips of one flat colour each (up red, down green, left blue, right yellow,
// captions olive), the sizes of the show's own, masks 0: for tests and benchmarks that run parts
// without the show's pictures. Returns 0 when memory runs out.
int stage_plain_pictures();
