// display.cpp -- presents pictures on the show's screen and keeps the input state

#include "stage/display.h"

#include "data/cpu.h"
#include "data/memory.h"
#include "data/packed.h"
#include "platform/screen.h"
#include "platform/video.h"

#include <algorithm>
#include <cstring>

int32_t display_brightness = BRIGHTNESS_NEUTRAL;
DisplayDevice *display_device;
uint8_t key_down[256];
uint8_t mouse_click;
int32_t app_active;

// Keys that went down and up within one pump: they count as held until the next pump, so a
// tap shorter than a frame is still seen by the key tests.
static uint8_t key_tapped[256];

struct DisplayState {
    VideoSurface surface;
    ChannelTables tables;
};

static int lowest_bit(uint32_t mask) {
    int s = 0;
    while (s < 32 && !(mask >> s & 1)) s++;
    return s;
}

// One channel: table[256 + i] = truncate(i * k) << s with k = (mask >> s) / 256.
static void channel_build(uint32_t *table, uint32_t mask) {
    int s = lowest_bit(mask);
    float k = s < 32 ? float(mask >> s) / 256.0f : 0.0f;
    for (int i = 0; i < 256; i++) {
        table[i] = 0;
        table[256 + i] = uint32_t(float(i) * k) << (s & 31);
    }
    for (int i = 512; i < 768; i++) table[i] = table[511];
}

// What a byte channel's table gives for byte i at brightness b: i moved by b - 256 and held to
// 0..255, then scaled by 255 / 256, truncated (one less, except at 0).
static uint32_t byte_channel_value(int32_t i, int32_t b) {
    int32_t v = std::clamp(i + b - BRIGHTNESS_NEUTRAL, 0, 255);
    return uint32_t(v > 0 ? v - 1 : 0);
}

// 1 when the tables are those of 8-bit channels with red in bits 16..23, green in 8..15 and
// blue in 0..7, which convert_row_bytes computes: entry j is byte j - 256 at the neutral
// brightness, so the whole table holds every brightness.
static int byte_channels(const ChannelTables *t) {
    for (int32_t j = 0; j < 768; j++) {
        uint32_t v = byte_channel_value(j - BRIGHTNESS_NEUTRAL, BRIGHTNESS_NEUTRAL);
        if (t->red[j] != v << 16 || t->green[j] != v << 8 || t->blue[j] != v) return 0;
    }
    return 1;
}

void channel_tables_build(ChannelTables *tables, uint32_t red_mask, uint32_t green_mask,
                          uint32_t blue_mask) {
    channel_build(tables->red, red_mask);
    channel_build(tables->green, green_mask);
    channel_build(tables->blue, blue_mask);
    tables->bytes = byte_channels(tables);
}

// Forgets every key, click and the active flag (a new display, a test).
static void display_reset_input() {
    mem_fill(key_down, 0, sizeof key_down);
    mem_fill(key_tapped, 0, sizeof key_tapped);
    mouse_click = 0;
    app_active = 0;
}

void display_pump() {
    if (!display_device) return;
    uint8_t went_down[256] = {};
    for (int vk = 0; vk < 256; vk++)
        if (key_tapped[vk]) key_down[vk] = key_tapped[vk] = 0;
    VideoEvent event;
    while (display_device->driver->poll_event(&event)) {
        bool known_key = event.key >= 0 && event.key < 256;
        switch (event.kind) {
        case VIDEO_EVENT_KEY_DOWN:
            if (known_key) key_down[event.key] = went_down[event.key] = 1;
            break;
        case VIDEO_EVENT_KEY_UP:
            if (known_key && went_down[event.key])
                key_tapped[event.key] = 1;
            else if (known_key)
                key_down[event.key] = 0;
            break;
        case VIDEO_EVENT_MOUSE_DOWN:
            // Stays pending until a key test takes it, so a quick click is never lost.
            mouse_click = 1;
            break;
        case VIDEO_EVENT_ACTIVE:
            app_active = 1;
            break;
        case VIDEO_EVENT_INACTIVE:
            app_active = 0;
            break;
        case VIDEO_EVENT_CLOSE:
            // No key-up will follow: the show ends as if Escape were held.
            key_down[VK_ESCAPE] = 1;
            break;
        default:
            break;
        }
    }
}

int key_pressed(int32_t vk) {
    if ((vk >= 0 && vk < 256 && key_down[vk] == 1) || mouse_click) {
        mouse_click = 0;
        return 1;
    }
    return 0;
}

// Clips rect to the image and to a screen_width x screen_height screen. Returns 1 when pixels
// remain to be shown.
static int present_clip(PresentRect *r, const Image *image, int32_t screen_width,
                        int32_t screen_height) {
    // Trim the source to the image, then the destination to the screen, moving the other
    // corner by the same amount.
    if (r->x0 < 0) r->dst_x -= r->x0, r->x0 = 0;
    if (r->y0 < 0) r->dst_y -= r->y0, r->y0 = 0;
    r->x1 = std::min(r->x1, image->width);
    r->y1 = std::min(r->y1, image->height);
    if (r->dst_x < 0) r->x0 -= r->dst_x, r->dst_x = 0;
    if (r->dst_y < 0) r->y0 -= r->dst_y, r->dst_y = 0;
    r->x1 = std::min(r->x1, r->x0 + (screen_width - r->dst_x));
    r->y1 = std::min(r->y1, r->y0 + (screen_height - r->dst_y));
    return r->x1 > r->x0 && r->y1 > r->y0;
}

// The screen value of one pixel word; the tables are already offset by the brightness.
static inline uint32_t screen_value(const uint32_t *red, const uint32_t *green,
                                    const uint32_t *blue, uint32_t p) {
    return red[p >> 8 & 0xFF] | green[p >> 16 & 0xFF] | blue[p >> 24];
}

// One row each; 24-bit pixels are stored as whole words, each overlapping the next pixel's
// first byte, and the last one as three bytes so nothing past the row is touched.
static void convert_row(const ChannelTables *t, int32_t b, const uint32_t *src, uint8_t *dst,
                        int32_t width, int32_t bytes_per_pixel) {
    const uint32_t *red = t->red + b, *green = t->green + b, *blue = t->blue + b;
    if (bytes_per_pixel == 2) {
        for (int32_t x = 0; x < width; x++) {
            uint16_t v = uint16_t(screen_value(red, green, blue, src[x]));
            std::memcpy(dst + 2 * x, &v, 2);
        }
    } else if (bytes_per_pixel == 3) {
        for (int32_t x = 0; x < width - 1; x++) {
            uint32_t v = screen_value(red, green, blue, src[x]);
            std::memcpy(dst + 3 * x, &v, 4);
        }
        uint32_t last = screen_value(red, green, blue, src[width - 1]);
        std::memcpy(dst + 3 * (width - 1), &last, 3);
    } else if (bytes_per_pixel == 4) {
        for (int32_t x = 0; x < width; x++) {
            uint32_t v = screen_value(red, green, blue, src[x]);
            std::memcpy(dst + 4 * x, &v, 4);
        }
    }
}

#if QM_PACKED
// Every byte moved by the brightness with saturation, less one held at 0. At the neutral
// brightness (moved is false) only the one comes off.
template <bool moved> static __m128i move_bytes(__m128i p, __m128i up, __m128i down) {
    if (moved) p = _mm_subs_epu8(_mm_adds_epu8(p, up), down);
    return _mm_subs_epu8(p, _mm_set1_epi8(1));
}

// Four pixel words (mask, red, green, blue) with their bytes reversed: blue, green, red, mask.
// The bytes of each 16-bit half swap, then the halves.
static __m128i reversed_words(__m128i p) {
    __m128i swapped = _mm_or_si128(_mm_slli_epi16(p, 8), _mm_srli_epi16(p, 8));
    return _mm_shufflehi_epi16(_mm_shufflelo_epi16(swapped, 0xB1), 0xB1);
}

// Four reversed words as four 3-byte pixels in bytes 0..11 (bytes 12..15 zero; byte 3 of each
// word is dropped): each 64-bit half packs its two words into 6 bytes, then the upper half moves
// down next to the lower one.
static __m128i three_byte_pixels(__m128i v) {
    const __m128i first = _mm_set_epi32(0, 0xFFFFFF, 0, 0xFFFFFF);
    const __m128i second = _mm_set_epi32(0xFFFF, int32_t(0xFF000000), 0xFFFF, int32_t(0xFF000000));
    __m128i six =
        _mm_or_si128(_mm_and_si128(v, first), _mm_and_si128(_mm_srli_epi64(v, 8), second));
    const __m128i first_six = _mm_set_epi32(0, 0, 0x0000FFFF, -1);
    return _mm_or_si128(_mm_and_si128(six, first_six),
                        _mm_andnot_si128(first_six, _mm_srli_si128(six, 2)));
}

// The byte shuffles that make 3-byte screen pixels (blue, green, red) of sixteen pixel words
// (four vectors): output vector o takes its bytes from source vectors o and o + 1, through
// mask 2o and mask 2o + 1 (-128 leaves a byte zero for the other one to fill).
struct ShuffleMasks {
    alignas(16) int8_t mask[6][16];
};
static constexpr ShuffleMasks three_byte_masks() {
    ShuffleMasks s{};
    for (int o = 0; o < 3; o++) {
        for (int j = 0; j < 16; j++) {
            int pixel = (16 * o + j) / 3, channel = (16 * o + j) % 3, from = pixel / 4;
            int8_t byte = int8_t(4 * (pixel % 4) + 3 - channel);
            s.mask[2 * o][j] = from == o ? byte : -128;
            s.mask[2 * o + 1][j] = from == o + 1 ? byte : -128;
        }
    }
    return s;
}
static constexpr ShuffleMasks three_byte_shuffle = three_byte_masks();

// Sixteen pixel words at src as 3-byte screen pixels (blue, green, red) at dst: the byte
// shuffle reverses and packs them, each output vector from two input ones.
template <bool moved>
QM_TARGET_SSSE3 static inline void shuffle_sixteen(const uint32_t *src, uint8_t *dst,
                                                   const __m128i m[6], __m128i up, __m128i down) {
    const __m128i *in = reinterpret_cast<const __m128i *>(src);
    __m128i *out = reinterpret_cast<__m128i *>(dst);
    __m128i a = _mm_loadu_si128(in), b = _mm_loadu_si128(in + 1);
    __m128i c = _mm_loadu_si128(in + 2), d = _mm_loadu_si128(in + 3);
    __m128i out0 = _mm_or_si128(_mm_shuffle_epi8(a, m[0]), _mm_shuffle_epi8(b, m[1]));
    __m128i out1 = _mm_or_si128(_mm_shuffle_epi8(b, m[2]), _mm_shuffle_epi8(c, m[3]));
    __m128i out2 = _mm_or_si128(_mm_shuffle_epi8(c, m[4]), _mm_shuffle_epi8(d, m[5]));
    _mm_storeu_si128(out, move_bytes<moved>(out0, up, down));
    _mm_storeu_si128(out + 1, move_bytes<moved>(out1, up, down));
    _mm_storeu_si128(out + 2, move_bytes<moved>(out2, up, down));
}

// Four pixel words at src as 4-byte screen pixels (blue, green, red, 0) at dst.
template <bool moved>
QM_TARGET_SSSE3 static inline void shuffle_four(const uint32_t *src, uint8_t *dst, __m128i up,
                                                __m128i down) {
    const __m128i order =
        _mm_setr_epi8(3, 2, 1, -128, 7, 6, 5, -128, 11, 10, 9, -128, 15, 14, 13, -128);
    __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(dst),
                     _mm_shuffle_epi8(move_bytes<moved>(p, up, down), order));
}

// A row for byte channels with SSSE3's byte shuffle, which reverses and packs the bytes in one
// step: sixteen pixels into three stores at 24 bits, four into one at 32 (the bytes are moved
// first there, and the shuffle clears the mask byte). A row that does not end on a whole group
// ends with the last whole group of the row, rewriting some pixels with the same bytes. Returns
// the pixels done; convert_row_bytes does the rest of a row shorter than one group.
template <bool moved>
QM_TARGET_SSSE3 static int32_t convert_row_shuffled(const uint32_t *src, uint8_t *dst,
                                                    int32_t width, int32_t bytes_per_pixel,
                                                    __m128i up, __m128i down) {
    int32_t x = 0;
    if (bytes_per_pixel == 4) {
        for (; x + 4 <= width; x += 4) shuffle_four<moved>(src + x, dst + 4 * x, up, down);
        if (x < width && width >= 4) {
            shuffle_four<moved>(src + width - 4, dst + 4 * (width - 4), up, down);
            x = width;
        }
        return x;
    }
    const __m128i *masks = reinterpret_cast<const __m128i *>(three_byte_shuffle.mask);
    const __m128i m[6] = {_mm_load_si128(masks),     _mm_load_si128(masks + 1),
                          _mm_load_si128(masks + 2), _mm_load_si128(masks + 3),
                          _mm_load_si128(masks + 4), _mm_load_si128(masks + 5)};
    for (; x + 16 <= width; x += 16) shuffle_sixteen<moved>(src + x, dst + 3 * x, m, up, down);
    if (x < width && width >= 16) {
        shuffle_sixteen<moved>(src + width - 16, dst + 3 * (width - 16), m, up, down);
        x = width;
    }
    return x;
}

// convert_row for byte channels, four pixels at a time (sixteen into three whole stores on the
// 24-bit screen; with SSSE3 convert_row_shuffled does most of the row): red, green and blue moved
// into the screen's order, then every byte moved by the brightness (the bytes keep their values
// wherever they are moved to).
template <bool moved>
static void convert_row_bytes(int32_t b, const uint32_t *src, uint8_t *dst, int32_t width,
                              int32_t bytes_per_pixel) {
    const int32_t lift = std::min(b - BRIGHTNESS_NEUTRAL, 255), drop = std::min(-lift, 255);
    const __m128i up = _mm_set1_epi8(int8_t(lift > 0 ? lift : 0));
    const __m128i down = _mm_set1_epi8(int8_t(drop > 0 ? drop : 0));
    int32_t x = 0;
    if (has_ssse3) x = convert_row_shuffled<moved>(src, dst, width, bytes_per_pixel, up, down);
    const __m128i *in = reinterpret_cast<const __m128i *>(src + x);
    if (bytes_per_pixel == 3) { // after convert_row_shuffled no group of sixteen is left
        for (; x + 16 <= width; x += 16, in += 4) {
            __m128i a = three_byte_pixels(reversed_words(_mm_loadu_si128(in)));
            __m128i b1 = three_byte_pixels(reversed_words(_mm_loadu_si128(in + 1)));
            __m128i c = three_byte_pixels(reversed_words(_mm_loadu_si128(in + 2)));
            __m128i d = three_byte_pixels(reversed_words(_mm_loadu_si128(in + 3)));
            __m128i *out = reinterpret_cast<__m128i *>(dst + 3 * x);
            __m128i out0 = _mm_or_si128(a, _mm_slli_si128(b1, 12));
            __m128i out1 = _mm_or_si128(_mm_srli_si128(b1, 4), _mm_slli_si128(c, 8));
            __m128i out2 = _mm_or_si128(_mm_srli_si128(c, 8), _mm_slli_si128(d, 4));
            _mm_storeu_si128(out, move_bytes<moved>(out0, up, down));
            _mm_storeu_si128(out + 1, move_bytes<moved>(out1, up, down));
            _mm_storeu_si128(out + 2, move_bytes<moved>(out2, up, down));
        }
    }
    const __m128i colours = _mm_set1_epi32(0xFFFFFF);
    for (; x + 4 <= width; x += 4, in++) {
        __m128i v = reversed_words(_mm_loadu_si128(in));
        if (bytes_per_pixel == 4) {
            v = _mm_and_si128(move_bytes<moved>(v, up, down), colours);
            _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + 4 * x), v);
            continue;
        }
        __m128i twelve = move_bytes<moved>(three_byte_pixels(v), up, down);
        _mm_storel_epi64(reinterpret_cast<__m128i *>(dst + 3 * x), twelve);
        uint32_t last = uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(twelve, 8)));
        std::memcpy(dst + 3 * x + 8, &last, 4);
    }
    for (; x < width; x++) {
        uint32_t p = src[x];
        uint32_t v = byte_channel_value(int32_t(p >> 8 & 0xFF), b) << 16 |
                     byte_channel_value(int32_t(p >> 16 & 0xFF), b) << 8 |
                     byte_channel_value(int32_t(p >> 24), b);
        std::memcpy(dst + bytes_per_pixel * x, &v, size_t(bytes_per_pixel));
    }
}
#endif

void present_convert(const ChannelTables *t, int32_t b, const Image *image, const PresentRect *r,
                     uint8_t *screen, int32_t pitch, int32_t bytes_per_pixel) {
#if QM_PACKED
    // The screens of 24 and 32 bits have 8-bit channels: arithmetic instead of table reads.
    const int bytes = has_mmx && bytes_per_pixel >= 3 && t->bytes && b >= BRIGHTNESS_BLACK &&
                      b <= BRIGHTNESS_WHITE;
#endif
    for (int32_t y = r->y0; y < r->y1; y++) {
        const uint32_t *src = image->pixels + size_t(y) * size_t(image->width) + size_t(r->x0);
        uint8_t *dst = screen + size_t(r->dst_y + y - r->y0) * size_t(pitch) +
                       size_t(r->dst_x) * size_t(bytes_per_pixel);
#if QM_PACKED
        if (bytes) {
            if (b == BRIGHTNESS_NEUTRAL)
                convert_row_bytes<false>(b, src, dst, r->x1 - r->x0, bytes_per_pixel);
            else
                convert_row_bytes<true>(b, src, dst, r->x1 - r->x0, bytes_per_pixel);
            continue;
        }
#endif
        convert_row(t, b, src, dst, r->x1 - r->x0, bytes_per_pixel);
    }
}

static int32_t display_present(const Image *image, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
                               int32_t dst_x, int32_t dst_y) {
    DisplayDevice *d = display_device;
    display_pump();
    if (!d || !d->state || !app_active || !image) return 0;
    VideoLock lock;
    if (!d->driver->lock(&lock)) return 0;
    PresentRect rect = {x0, y0, x1, y1, dst_x, dst_y};
    const VideoSurface *s = &d->state->surface;
    if (present_clip(&rect, image, s->width, s->height)) {
        int32_t b = std::clamp(*d->brightness, BRIGHTNESS_BLACK, BRIGHTNESS_WHITE);
        present_convert(&d->state->tables, b, image, &rect, lock.pixels, lock.pitch,
                        s->bytes_per_pixel);
    }
    return d->driver->unlock();
}

static int32_t display_wait_retrace() {
    display_pump();
    if (!display_device || !display_device->state || !app_active) return 0;
    return display_device->driver->wait_vblank();
}

static void display_close() {
    DisplayDevice *d = display_device;
    if (!d) return;
    if (d->state) d->driver->close();
    mem_free(d->state);
    mem_free(d);
    display_device = nullptr;
}

DisplayDevice *display_open(int32_t width, int32_t height, int32_t bits_per_pixel, int32_t flags,
                            const VideoDriver *driver) {
    auto *d = static_cast<DisplayDevice *>(mem_alloc(sizeof(DisplayDevice)));
    if (!d) return nullptr;
    *d = {width,   height,        bits_per_pixel,  &display_brightness,
          nullptr, display_close, display_present, display_wait_retrace,
          driver};
    display_reset_input();
    if (!(flags & DISPLAY_CREATE)) return display_device = d;
    auto *state = static_cast<DisplayState *>(mem_alloc(sizeof(DisplayState)));
    int32_t video_flags =
        (flags & DISPLAY_WINDOWED ? VIDEO_WINDOWED : 0) | (flags & DISPLAY_VSYNC ? VIDEO_VSYNC : 0);
    if (!state || !driver->open(width, height, bits_per_pixel, video_flags, &state->surface)) {
        mem_free(state);
        mem_free(d);
        return nullptr;
    }
    const VideoSurface *s = &state->surface;
    channel_tables_build(&state->tables, s->red_mask, s->green_mask, s->blue_mask);
    d->state = state;
    display_brightness = BRIGHTNESS_NEUTRAL;
    return display_device = d;
}

int display_read_screen(uint8_t *rgb) {
    if (!display_device || !display_device->state) return 0;
    VideoLock lock;
    if (!display_device->driver->lock(&lock)) return 0;
    const VideoSurface *s = &display_device->state->surface;
    for (int32_t y = 0; y < s->height; y++) {
        const uint8_t *row = lock.pixels + size_t(y) * size_t(lock.pitch);
        for (int32_t x = 0; x < s->width; x++) {
            const uint8_t *p = row + x * s->bytes_per_pixel;
            uint32_t v = p[0] | uint32_t(p[1]) << 8;
            if (s->bytes_per_pixel >= 3) v |= uint32_t(p[2]) << 16;
            *rgb++ = screen_channel_to_8(v, s->red_mask);
            *rgb++ = screen_channel_to_8(v, s->green_mask);
            *rgb++ = screen_channel_to_8(v, s->blue_mask);
        }
    }
    return 1;
}
