// title.cpp -- the title picture, coarse blocks refining out of a white flash

#include "parts/title.h"

#include "data/blit.h"
#include "data/error.h"
#include "parts/parts.h"
#include "stage/clock.h"
#include "stage/display.h"
#include "stage/stage.h"

constexpr float TITLE_LENGTH = 200.0f; // ticks
constexpr float TITLE_REFINE = 1.2f;   // block size lost per tick
constexpr float TITLE_FADE = 1.5f;     // brightness lost per tick
constexpr int32_t TITLE_WIDTH = 512;
constexpr int32_t TITLE_HEIGHT = 256;

enum TitlePhase { TITLE_START, TITLE_REFINING, TITLE_DONE };

static Image *title_picture;
static int32_t title_phase;
static float title_elapsed;
static float title_block;
// Not reset by the load: the flash starts from 511 once per program run.
static float title_flash = 511.0f;

void title_reset() {
    title_flash = 511.0f;
}

int title_load() {
    title_picture = load_jpeg("data\\quellmor.jpg", 0);
    if (!title_picture) return 0;
    // The block walk reads whole 512 x 256 rows; another size would read outside the picture.
    if (title_picture->width != TITLE_WIDTH || title_picture->height != TITLE_HEIGHT) {
        data_error("data\\quellmor.jpg: the title picture is %d x %d, not 512 x 256",
                   title_picture->width, title_picture->height);
        return 0;
    }
    title_phase = TITLE_START;
    title_elapsed = 0.0f;
    title_block = 128.0f;
    return 1;
}

// Blocks are B pixels wide and B / 2 rows tall. Each run of B pixels shows the picture pixel
// where the run began; the first B + 1 pixels of a row carry the last sample of the row above.
static void title_pixelate(const Image *picture, Image *target, float block_size) {
    if (block_size < 2.0f) {
        blit_copy(picture, target, 0, 0, TITLE_WIDTH, TITLE_HEIGHT, 0, 0);
        return;
    }
    int32_t block = int32_t(block_size);
    int32_t half = block / 2;
    uint32_t current = picture->pixels[0];
    int32_t base_row = 0, r = 0;
    for (int32_t y = 0; y < TITLE_HEIGHT; y++) {
        uint32_t *out = target->pixels + y * TITLE_WIDTH;
        const uint32_t *sample = picture->pixels + base_row * TITLE_WIDTH;
        int32_t c = 0;
        for (int32_t x = 0; x < TITLE_WIDTH; x++) {
            out[x] = current;
            if (c == block) {
                current = sample[x];
                c = 0;
            }
            c++;
        }
        if (r == half) {
            base_row += half;
            r = 0;
        }
        r++;
    }
}

int title_run() {
    title_elapsed += frame_time;
    if (title_elapsed > TITLE_LENGTH) return 0;
    if (title_phase == TITLE_START) {
        image_fill_rect(FrameBuffer, pixel_rgb(255, 255, 255), 0, 0, TITLE_WIDTH, TITLE_HEIGHT);
        title_phase = TITLE_REFINING;
        return 1;
    }
    if (title_phase == TITLE_REFINING) {
        title_pixelate(title_picture, FrameBuffer, title_block);
        title_block -= frame_time * TITLE_REFINE;
        if (title_block < 1.0f) {
            blit_copy(title_picture, FrameBuffer, 0, 0, TITLE_WIDTH, TITLE_HEIGHT, 0, 0);
            title_phase = TITLE_DONE;
            return 1;
        }
    }
    if (title_flash > 256.0f)
        title_flash -= frame_time * TITLE_FADE;
    else
        title_flash = 256.0f;
    display_brightness = int32_t(title_flash);
    return 1;
}
