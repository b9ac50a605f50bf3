// intro.cpp -- the logo, the tunnel behind the wandering bobs, the flash, the bars and credits

#include "parts/intro.h"

#include "data/blit.h"
#include "data/error.h"
#include "data/memory.h"
#include "data/packed.h"
#include "engine/scalar.h"
#include "parts/parts.h"
#include "stage/clock.h"
#include "stage/display.h"
#include "stage/stage.h"

#include <algorithm>
#include <cmath>

constexpr float INTRO_END = 386.0f; // on the intro clock, which runs at 0.1 per tick
constexpr float INTRO_CLOSING = 380.0f;
constexpr float INTRO_PACE = 0.1f;
constexpr float LOGO_RISE = 0.9f;  // logo level per tick while fading in and in the first hold
constexpr float LOGO_FALL = 0.95f; // per tick in the second hold and while fading out
constexpr float FLASH_RISE = 8.5f; // brightness per tick towards white
constexpr float FLASH_FALL = 5.5f; // brightness per tick back to neutral
constexpr float BRIGHT_WHITE = 511.0f;
constexpr float BRIGHT_NEUTRAL = 256.0f;
constexpr float BAR_SPEED = 2.0f; // pixels per tick
constexpr float UPPER_BAR_STOP = -32.0f;
constexpr float LOWER_BAR_STOP = 240.0f;
constexpr int32_t BAR_WIDTH = 304, BAR_HEIGHT = 29, LOWER_BAR_Y = 227;
constexpr int32_t CAPTION_WIDTH = 256, CAPTION_HEIGHT = 24, LOWER_CAPTION_Y = 229;
constexpr int32_t LOGO_WIDTH = 512, LOGO_HEIGHT = 140, LOGO_Y = 58;
constexpr float CREDIT_HOLD = 180.0f;       // ticks each credit stays before the next dissolves in
constexpr float CREDIT_HOLD_START = 200.0f; // past the hold: the first credit dissolves in at once
constexpr float DISSOLVE_FULL = 255.0f;
constexpr float TUNNEL_SPEED = 0.01f;                    // tunnel phase per tick
constexpr float TEXTURE_SPEED = 0.01f;                   // texture angle per tick
constexpr float TEXTURE_MIX = 124.0f;                    // alpha of texture B = (sin t + 1) * 124
constexpr double TUNNEL_ANGLE_SCALE = 81.48733085241038; // 256 / pi: two turns of u per circle
constexpr double TUNNEL_DEPTH = 18000.0;
constexpr int32_t FRAME_PIXELS = INTRO_TUNNEL_WIDTH * INTRO_TUNNEL_HEIGHT;

static const IntroBob bob_start[INTRO_BOB_COUNT] = {
    {0.0f, 0.0f, 0.02f, 0.046f, 155.0f, 93.0f, 0.0f, 0.0f},
    {0.0f, 0.0f, 0.0106f, 0.016f, 190.0f, 123.0f, 0.0f, 0.0f},
    {0.0f, 0.0f, 0.016f, 0.0046f, 160.0f, 143.0f, 0.0f, 0.0f},
    {0.0f, 0.0f, 0.034f, 0.0126f, 182.0f, 83.0f, 0.0f, 0.0f},
};

static const char *const credit_names[INTRO_CREDIT_COUNT] = {
    "data\\c_rosqu.tga", "data\\c_pelan.tga", "data\\c_wimbe.tga",
    "data\\c_torku.tga", "data\\c_case.tga",
};

static IntroState intro;
static Image *dissolve_mask;
static Image *credit_slots[INTRO_SLOTS]; // nothing, credits 1 to 5, nothing
static Image *logo;
static Image *background;
static Image *bob;
static Image *base_alpha;
static Image *texture_a;
static Image *texture_b;
static Image *tunnel_texture;
static uint16_t *tunnel_table;

const IntroState *intro_state() {
    return &intro;
}

// The C library's double-precision sine, rounded to float, as the whole part uses it.
static float intro_sin(float x) {
    return float(scalar_sin(double(x)));
}

static uint32_t red_of(uint32_t pixel) {
    return pixel >> 8 & 0xFF;
}

// ---- load ----------------------------------------------------------------------------------

// The drawing steps index these pictures directly, so a picture of another size would be read
// or written outside its pixels: refuse it. With at_least, larger pictures are accepted.
static Image *check_size(Image *picture, const char *name, int32_t width, int32_t height,
                         int at_least) {
    if (!picture) return nullptr;
    int fits = at_least ? picture->width >= width && picture->height >= height
                        : picture->width == width && picture->height == height;
    if (fits) return picture;
    data_error("%s: the picture is %d x %d, not %s%d x %d", name, picture->width, picture->height,
               at_least ? "at least " : "", width, height);
    return nullptr;
}

static Image *load_jpeg_sized(const char *name, int32_t width, int32_t height, int at_least = 0) {
    return check_size(load_jpeg(name, 0), name, width, height, at_least);
}

// Marks the colour key of a credits picture: mask byte 1 where the pixel has the colours of the
// top-left pixel, 0 elsewhere.
static void intro_mark_key(Image *credit) {
    uint32_t *p = credit->pixels;
    const uint32_t key = p[0] & 0xFFFFFF00u;
    for (int32_t i = 0; i < credit->width * credit->height; i++)
        p[i] = (p[i] & 0xFFFFFF00u) | ((p[i] & 0xFFFFFF00u) == key ? 1u : 0u);
}

static int load_credits() {
    dissolve_mask = load_jpeg_sized("data\\c_alpha.jpg", INTRO_CREDIT_WIDTH, INTRO_CREDIT_HEIGHT);
    if (!dissolve_mask) return 0;
    credit_slots[0] = credit_slots[INTRO_SLOTS - 1] = nullptr;
    for (int32_t n = 0; n < INTRO_CREDIT_COUNT; n++) {
        const char *name = credit_names[n];
        Image *credit =
            check_size(load_tga(name, 0), name, INTRO_CREDIT_WIDTH, INTRO_CREDIT_HEIGHT, 0);
        if (!credit) return 0;
        intro_mark_key(credit);
        credit_slots[n + 1] = credit;
    }
    return 1;
}

uint32_t intro_tunnel_entry(int32_t column, int32_t row) {
    double x = double(column - 256);
    double up = double(256 - 2 * row); // the angle sees the rows twice as steep as the distance
    double across = double(128 - row);
    uint32_t u = uint32_t(int32_t(scalar_atan2(up, x) * TUNNEL_ANGLE_SCALE)) & 255u;
    double d = std::sqrt(across * across + x * x);
    if (d < 1.0) d = 1.0;
    uint32_t v = uint32_t(int32_t(TUNNEL_DEPTH / d)) & 255u;
    return v << 8 | u;
}

static void build_tunnel_table(uint16_t *table) {
    for (int32_t r = 0; r < INTRO_TUNNEL_HEIGHT; r++)
        for (int32_t c = 0; c < INTRO_TUNNEL_WIDTH; c++)
            table[r * INTRO_TUNNEL_WIDTH + c] = uint16_t(intro_tunnel_entry(c, r));
}

static int load_tunnel() {
    logo = load_jpeg_sized("data\\vandrel.jpg", LOGO_WIDTH, LOGO_HEIGHT, 1);
    if (!logo) return 0;
    tunnel_table = static_cast<uint16_t *>(mem_alloc(sizeof(uint16_t) * FRAME_PIXELS));
    if (!tunnel_table) {
        data_error("the intro's tunnel table: out of memory");
        return 0;
    }
    background = load_jpeg_sized("data\\iback.jpg", INTRO_TUNNEL_WIDTH, INTRO_TUNNEL_HEIGHT);
    bob = background ? load_jpeg_sized("data\\ibob.jpg", INTRO_BOB_SIDE, INTRO_BOB_SIDE) : nullptr;
    base_alpha = bob ? load_jpeg_sized("data\\ialpha.jpg", INTRO_TUNNEL_WIDTH, INTRO_TUNNEL_HEIGHT)
                     : nullptr;
    texture_a = base_alpha
                    ? load_jpeg_sized("data\\itexture.jpg", INTRO_TEXTURE_SIDE, INTRO_TEXTURE_SIDE)
                    : nullptr;
    texture_b = texture_a
                    ? load_jpeg_sized("data\\itextur2.jpg", INTRO_TEXTURE_SIDE, INTRO_TEXTURE_SIDE)
                    : nullptr;
    if (!texture_b) return 0;
    tunnel_texture = image_create(INTRO_TEXTURE_SIDE, INTRO_TEXTURE_SIDE, 0);
    if (!tunnel_texture) {
        data_error("the intro's tunnel texture: out of memory");
        return 0;
    }
    return 1;
}

// Everything starts over, not only the clock, phase, brightness and credits flag: the load runs
// once per show, and a second show in the same process starts from the beginning too.
static void reset_state() {
    intro = IntroState{};
    intro.upper_bar_x = -float(BAR_WIDTH);
    intro.lower_bar_x = float(INTRO_TUNNEL_WIDTH);
    intro.credit_hold = CREDIT_HOLD_START;
    for (int32_t n = 0; n < INTRO_BOB_COUNT; n++) intro.bobs[n] = bob_start[n];
}

int intro_load() {
    if (!load_credits() || !load_tunnel()) return 0;
    display_brightness = BRIGHTNESS_NEUTRAL;
    build_tunnel_table(tunnel_table);
    for (int32_t i = 0; i < FRAME_PIXELS; i++) background->pixels[i] &= 0xFFFFFF00u;
    reset_state();
    return 1;
}

// ---- the composite: tunnel behind the background, revealed through the bobs -------------

static uint32_t tunnel_offset(float phase) {
    int32_t su = int32_t(intro_sin(1.8f * phase) * 199.9f);
    int32_t sv = int32_t(intro_sin(1.5f * phase) * 128.0f);
    return uint32_t(sv & 255) << 8 | uint32_t(su & 255);
}

void intro_draw_tunnel_plain(const uint16_t *table, const Image *texture, float phase, Image *dst) {
    blit_table_plain(table, texture->pixels, tunnel_offset(phase), dst->pixels, FRAME_PIXELS);
}

void intro_draw_tunnel(const uint16_t *table, const Image *texture, float phase, Image *dst) {
    blit_table(table, texture->pixels, tunnel_offset(phase), dst->pixels, FRAME_PIXELS);
}

void intro_add_bob_plain(Image *background_picture, const Image *bob_picture, int32_t x,
                         int32_t y) {
    const int32_t width = background_picture->width, height = background_picture->height;
    for (int32_t j = 0; j < INTRO_BOB_SIDE; j++) {
        int32_t row = y + j;
        if (row < 0) continue;
        if (row >= height) break;
        uint32_t *out = background_picture->pixels + row * width;
        const uint32_t *in = bob_picture->pixels + j * INTRO_BOB_SIDE;
        for (int32_t k = 0; k < INTRO_BOB_SIDE; k++) {
            int32_t column = x + k;
            if (column < 0 || column >= width) continue;
            uint32_t sum = (out[column] & 0xFF) + red_of(in[k]);
            out[column] = (out[column] & 0xFFFFFF00u) | (sum > 255 ? 255 : sum);
        }
    }
}

#if QM_PACKED
// The bob's red byte moved to byte 0, the other bytes zero: a saturating byte add then changes
// only the mask byte.
void intro_add_bob(Image *background_picture, const Image *bob_picture, int32_t x, int32_t y) {
    const int32_t width = background_picture->width, height = background_picture->height;
    const int64_t first = std::max<int64_t>(0, -int64_t(x));
    const int64_t end = std::min<int64_t>(INTRO_BOB_SIDE, int64_t(width) - x);
    const __m128i low = _mm_set1_epi32(0xFF);
    for (int32_t j = 0; j < INTRO_BOB_SIDE && first < end; j++) {
        int32_t row = y + j;
        if (row < 0) continue;
        if (row >= height) break;
        uint32_t *out = background_picture->pixels + row * width + (x + first);
        const uint32_t *in = bob_picture->pixels + j * INTRO_BOB_SIDE + first;
        const int64_t n = end - first;
        int64_t k = 0;
        for (; k + 4 <= n; k += 4) {
            const __m128i red = _mm_and_si128(
                _mm_srli_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i *>(in + k)), 8), low);
            __m128i *at = reinterpret_cast<__m128i *>(out + k);
            _mm_storeu_si128(at, _mm_adds_epu8(_mm_loadu_si128(at), red));
        }
        for (; k < n; k++) {
            uint32_t sum = (out[k] & 0xFF) + red_of(in[k]);
            out[k] = (out[k] & 0xFFFFFF00u) | (sum > 255 ? 255 : sum);
        }
    }
}
#else
void intro_add_bob(Image *background_picture, const Image *bob_picture, int32_t x, int32_t y) {
    intro_add_bob_plain(background_picture, bob_picture, x, y);
}
#endif

// The background's mask bytes from base's red bytes. Separate pictures: said so, the compiler
// does four pixels at a time.
static void take_mask(uint32_t *__restrict back, const uint32_t *__restrict base) {
    for (int32_t i = 0; i < FRAME_PIXELS; i++) back[i] = (back[i] & 0xFFFFFF00u) | red_of(base[i]);
}

static void composite(float dt) {
    take_mask(background->pixels, base_alpha->pixels);
    for (IntroBob &b : intro.bobs) {
        b.x = (intro_sin(b.a) + 1.0f) * b.amp_x;
        b.y = (intro_sin(b.b) + 1.0f) * b.amp_y;
        b.a += dt * b.speed_a;
        b.b += dt * b.speed_b;
        intro_add_bob(background, bob, int32_t(b.x), int32_t(b.y));
    }
    intro_draw_tunnel(tunnel_table, tunnel_texture, intro.tunnel_phase, FrameBuffer);
    blit_alpha(background, FrameBuffer, 0, 0, INTRO_TUNNEL_WIDTH, INTRO_TUNNEL_HEIGHT, 0, 0);
    intro.tunnel_phase += dt * TUNNEL_SPEED;
}

// ---- the opening ---------------------------------------------------------------------------

static float rise(float level, float amount, float top) {
    level += amount;
    return level > top ? top : level;
}

static float fall(float level, float amount, float bottom) {
    level -= amount;
    return level < bottom ? bottom : level;
}

static void draw_logo() {
    image_fill_rect(FrameBuffer, 0, 0, 0, INTRO_TUNNEL_WIDTH, INTRO_TUNNEL_HEIGHT);
    blit_blend(logo, FrameBuffer, 0, 0, LOGO_WIDTH, LOGO_HEIGHT, 0, LOGO_Y,
               int32_t(intro.logo_level));
}

static void closing_fade(float dt) {
    composite(dt);
    intro.brightness = intro.brightness < BRIGHT_WHITE
                           ? rise(intro.brightness, FLASH_RISE * dt, BRIGHT_WHITE)
                           : BRIGHT_WHITE;
    display_brightness = int32_t(intro.brightness);
}

// The fall is not clamped: one frame may show a little below neutral before it is set.
static void flash_fade(float dt) {
    composite(dt);
    if (intro.brightness > BRIGHT_NEUTRAL) {
        intro.brightness -= FLASH_FALL * dt;
    } else {
        intro.credits_running = 1;
        intro.brightness = BRIGHT_NEUTRAL;
    }
    display_brightness = int32_t(intro.brightness);
}

static void flash(float dt) {
    composite(dt);
    if (intro.brightness >= BRIGHT_WHITE) {
        intro.phase = INTRO_FLASH_FADE;
        return;
    }
    intro.brightness = rise(intro.brightness, FLASH_RISE * dt, BRIGHT_WHITE);
    display_brightness = int32_t(intro.brightness);
}

static void logo_out(float dt) {
    if (intro.logo_level > 0.0f) {
        draw_logo();
        intro.logo_level = fall(intro.logo_level, LOGO_FALL * dt, 0.0f);
        return;
    }
    intro.phase = INTRO_FLASH;
    intro.brightness = 0.0f;
    display_brightness = BRIGHTNESS_BLACK;
}

static void draw_bars(float dt) {
    intro.upper_bar_x = rise(intro.upper_bar_x, BAR_SPEED * dt, UPPER_BAR_STOP);
    intro.lower_bar_x = fall(intro.lower_bar_x, BAR_SPEED * dt, LOWER_BAR_STOP);
    int32_t upper = int32_t(intro.upper_bar_x), lower = int32_t(intro.lower_bar_x);
    blit_masked(BarUp, FrameBuffer, 0, 0, BAR_WIDTH, BAR_HEIGHT, upper, 0);
    blit_masked(BarDown, FrameBuffer, 0, 0, BAR_WIDTH, BAR_HEIGHT, lower, LOWER_BAR_Y);
    blit_masked(TextStrip[1], FrameBuffer, 0, 0, CAPTION_WIDTH, CAPTION_HEIGHT,
                int32_t(intro.upper_bar_x + 32.0f), 0);
    blit_masked(TextStrip[2], FrameBuffer, 0, 0, CAPTION_WIDTH, CAPTION_HEIGHT,
                int32_t(intro.lower_bar_x + 14.0f), LOWER_CAPTION_Y);
}

// The logo's fade in and the two holds; the bars once the tunnel is up. The holds draw nothing,
// so the last faded-in logo stays on screen.
static void opening(float dt) {
    switch (intro.phase) {
    case INTRO_HOLD_SECOND:
        if (intro.logo_level < 255.0f)
            intro.logo_level = rise(intro.logo_level, LOGO_FALL * dt, 255.0f);
        else
            intro.phase = INTRO_LOGO_OUT;
        return;
    case INTRO_HOLD_FIRST:
        if (intro.logo_level > 0.0f)
            intro.logo_level = fall(intro.logo_level, LOGO_RISE * dt, 0.0f);
        else
            intro.phase = INTRO_HOLD_SECOND;
        return;
    case INTRO_LOGO_IN:
        if (intro.logo_level >= 255.0f) {
            intro.phase = INTRO_HOLD_FIRST;
            return;
        }
        draw_logo();
        intro.logo_level = rise(intro.logo_level, LOGO_RISE * dt, 255.0f);
        return;
    default:
        if (intro.phase > INTRO_LOGO_OUT) draw_bars(dt);
    }
}

// ---- credits -------------------------------------------------------------------------------

// The picture of a slot, or null for the empty slots and every slot number past the sequence.
static const Image *credit_slot(int32_t slot) {
    return slot >= 0 && slot < INTRO_SLOTS ? credit_slots[slot] : nullptr;
}

static void draw_credit(const Image *credit) {
    if (credit)
        blit_masked(credit, FrameBuffer, 0, 0, INTRO_CREDIT_WIDTH, INTRO_CREDIT_HEIGHT,
                    INTRO_CREDIT_X, INTRO_CREDIT_Y);
}

// One frame of a dissolve between two credits (320 x 64; null for no picture) placed at the
// credits' place in dst: where mask's red byte is below threshold the next picture shows, the
// old one elsewhere; only pixels of mask byte 0 are written.
static void intro_dissolve(const Image *old_credit, const Image *next_credit, const Image *mask,
                           int32_t threshold, Image *dst) {
    if (dst->width < INTRO_CREDIT_X + INTRO_CREDIT_WIDTH ||
        dst->height < INTRO_CREDIT_Y + INTRO_CREDIT_HEIGHT)
        return;
    for (int32_t i = 0; i < INTRO_CREDIT_HEIGHT; i++) {
        uint32_t *out = dst->pixels + (INTRO_CREDIT_Y + i) * dst->width + INTRO_CREDIT_X;
        const uint32_t *levels = mask->pixels + i * INTRO_CREDIT_WIDTH;
        for (int32_t j = 0; j < INTRO_CREDIT_WIDTH; j++) {
            const Image *from = int32_t(red_of(levels[j])) < threshold ? next_credit : old_credit;
            if (!from) continue;
            uint32_t pixel = from->pixels[i * INTRO_CREDIT_WIDTH + j];
            if ((pixel & 0xFF) == 0) out[j] = pixel;
        }
    }
}

static void credits(float dt) {
    if (intro.credit_hold < CREDIT_HOLD) {
        draw_credit(credit_slot(intro.credit_index));
        intro.credit_hold += dt;
        return;
    }
    if (intro.dissolve_level >= DISSOLVE_FULL) {
        draw_credit(credit_slot(intro.credit_index + 1));
        intro.credit_hold = 0.0f;
        intro.dissolve_level = 0.0f;
        if (intro.credit_index < INTRO_SLOTS) intro.credit_index++; // past the end stays empty
        return;
    }
    intro_dissolve(credit_slot(intro.credit_index), credit_slot(intro.credit_index + 1),
                   dissolve_mask, int32_t(intro.dissolve_level), FrameBuffer);
    intro.dissolve_level += dt;
}

// The next frame's tunnel texture: B cross-fades over A and back.
static void mix_textures(float dt) {
    blit_copy(texture_a, tunnel_texture, 0, 0, INTRO_TEXTURE_SIDE, INTRO_TEXTURE_SIDE, 0, 0);
    int32_t alpha = int32_t((intro_sin(intro.texture_angle) + 1.0f) * TEXTURE_MIX);
    blit_blend(texture_b, tunnel_texture, 0, 0, INTRO_TEXTURE_SIDE, INTRO_TEXTURE_SIDE, 0, 0,
               alpha);
    intro.texture_angle += dt * TEXTURE_SPEED;
}

int intro_run() {
    const float dt = frame_time;
    if (intro.clock > INTRO_END) return 0;
    if (intro.clock > INTRO_CLOSING) intro.phase = INTRO_CLOSE;
    // Latest phase first: a phase that moves on is handled from the next frame.
    if (intro.phase == INTRO_CLOSE) closing_fade(dt);
    if (intro.phase == INTRO_FLASH_FADE) flash_fade(dt);
    if (intro.phase == INTRO_FLASH) flash(dt);
    if (intro.phase == INTRO_LOGO_OUT) logo_out(dt);
    opening(dt);
    if (intro.credits_running == 1) credits(dt);
    mix_textures(dt);
    intro.clock += dt * INTRO_PACE;
    return 1;
}
