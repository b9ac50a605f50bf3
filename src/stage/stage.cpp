// stage.cpp -- the pictures the parts share, and the keying of the caption strips

#include "stage/stage.h"

Image *FrameBuffer;
Image *WorkImageA;
Image *WorkImageB;
Image *WorkImageLarge;
Image *BarDown;
Image *BarUp;
Image *BarLeft;
Image *BarRight;
Image *BarDownAlpha;
Image *BarUpAlpha;
Image *BarLeftAlpha;
Image *BarRightAlpha;
Image *TextStrip[13];

void preload_key_text(Image *strip, uint32_t key) {
    size_t count = size_t(strip->width) * size_t(strip->height);
    for (size_t i = 0; i < count; i++) {
        uint32_t colour = strip->pixels[i] & 0xFFFFFF00u;
        strip->pixels[i] = colour | (colour == key ? 0xFFu : 0u);
    }
}
