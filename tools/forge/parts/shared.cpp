// shared.cpp -- the loading screen, its dissolve map, the four bars and the twelve captions
#include "parts/parts.h"

#include "noise.h"
#include "picture_write.h"
#include "scenery.h"
#include "text.h"

#include <cmath>
#include <cstdio>
#include <vector>

int part_save_jpeg(const char *dir, const char *name, const Canvas *canvas, uint32_t seed) {
    char path[4096];
    snprintf(path, sizeof path, "%s/%s", dir, name);
    std::vector<uint8_t> rgb((size_t)canvas->width * canvas->height * 3);
    canvas_to_rgb8(canvas, rgb.data(), seed);
    return jpeg_save(path, canvas->width, canvas->height, rgb.data(), 92);
}

int part_save_tga(const char *dir, const char *name, int width, int height, const uint8_t *rgb) {
    char path[4096];
    snprintf(path, sizeof path, "%s/%s", dir, name);
    return tga_save(path, width, height, rgb);
}

// ---- bars ----------------------------------------------------------------------------------

// A bar is a band of dark glass with a gold rim along the edge that faces the middle of the
// screen and a 45-degree cut at its free end. Each picture maps its pixels to u (distance
// along the bar from the free end) and v (distance across from the outer, screen-edge side).
struct BarShape {
    const char *name;
    const char *alpha_name;
    int width, height, thickness;
    void (*to_uv)(int x, int y, int *u, int *v);
};

static void up_uv(int x, int y, int *u, int *v) {
    *u = 303 - x;
    *v = y;
}
static void down_uv(int x, int y, int *u, int *v) {
    *u = x;
    *v = 28 - y;
}
static void left_uv(int x, int y, int *u, int *v) {
    *u = y;
    *v = x;
}
static void right_uv(int x, int y, int *u, int *v) {
    *u = 306 - y;
    *v = 23 - x;
}

static const BarShape bar_shapes[] = {
    {"barup.tga", "barupa.tga", 304, 29, 29, up_uv},
    {"bardown.tga", "bardowna.tga", 304, 29, 29, down_uv},
    {"barleft.tga", "barlefta.tga", 24, 307, 24, left_uv},
    {"baright.tga", "barighta.tga", 24, 307, 24, right_uv},
};

static const Rgb bar_border = {0.024f, 0.031f, 0.055f};

// The colour of the bar at (u, v). The alpha picture cuts the bar with a hard edge (the show
// copies only pixels whose mask is 0), so the outermost drawn pixels are a dark border: the
// bar reads the same over a white flash, black or a busy picture.
static Rgb bar_colour(int u, int v, int thickness, uint32_t seed) {
    int edge = thickness - 1 - v;
    if (u - v < edge) edge = u - v;
    if (edge <= 0) return bar_border;
    if (edge <= 2) return edge == 1 ? rgb_hex(0xC88A2E) : rgb_hex(0xF2C063);
    if (edge == 3) return rgb_hex(0x080B14);
    float t = (float)v / (float)(thickness - 4);
    Rgb body = rgb_mix(rgb_hex(0x121A2C), rgb_hex(0x26344F), t);
    // A soft glassy sheen a third of the way across, and a faint brushed grain along the bar.
    float sheen = fm_exp(-(t - 0.3f) * (t - 0.3f) * 40.0f) * 0.06f;
    float grain = (noise_value((float)u * 0.08f, (float)v * 1.3f, seed) - 0.5f) * 0.035f;
    return Rgb{body.r + sheen + grain, body.g + sheen + grain, body.b + sheen * 1.2f + grain};
}

static int write_bar(const char *dir, const BarShape *bar, uint32_t seed) {
    size_t n = (size_t)bar->width * bar->height;
    Canvas colour = canvas_create(bar->width, bar->height);
    if (!colour.rgb) return 0;
    std::vector<uint8_t> alpha(n * 3), rgb(n * 3);
    for (int y = 0; y < bar->height; y++) {
        for (int x = 0; x < bar->width; x++) {
            int u, v;
            bar->to_uv(x, y, &u, &v);
            int inside = u >= v;
            Rgb c = inside ? bar_colour(u, v, bar->thickness, seed) : bar_border;
            canvas_blend(&colour, x, y, c, 1.0f);
            size_t i = ((size_t)y * bar->width + x) * 3;
            alpha[i] = alpha[i + 1] = alpha[i + 2] = inside ? 0 : 255;
        }
    }
    canvas_to_rgb8(&colour, rgb.data(), seed);
    canvas_free(&colour);
    return part_save_tga(dir, bar->name, bar->width, bar->height, rgb.data()) &&
           part_save_tga(dir, bar->alpha_name, bar->width, bar->height, alpha.data());
}

// ---- captions ------------------------------------------------------------------------------

// Where a caption's letters may go, in the strip laid out horizontally (256 x 24): columns
// x0..x1 and rows y0..y1 of ink and outline, so that the letters stay on the bar's glass in
// every place the parts draw the strip, and on screen.
struct CaptionBox {
    int x0, x1, y0, y1;
    int align_right;
};

enum CaptionKind { CAPTION_UPPER, CAPTION_LOWER, CAPTION_LEFT, CAPTION_RIGHT };

static const CaptionBox caption_boxes[4] = {
    {8, 238, 3, 21, 0},  // upper bar: strip 32 columns into the bar, top rows
    {18, 248, 3, 20, 1}, // lower bar: strip 14 columns in, 2 or 4 rows down
    {40, 212, 2, 19, 0}, // left bar, read bottom to top: keep clear of the cut end
    {40, 212, 2, 19, 0}, // right bar, read top to bottom
};

struct Caption {
    const char *name;
    const char *text;
    CaptionKind kind;
};

static const Caption captions[12] = {
    {"tx1.tga", "QUELLMOOR", CAPTION_UPPER},
    {"tx2.tga", "A SPRING IN THE MOOR", CAPTION_LOWER},
    {"tx3.tga", "MAGNET", CAPTION_LEFT},
    {"tx4.tga", "SHAPES IN FLUX", CAPTION_RIGHT},
    {"tx5.tga", "METABALLS", CAPTION_UPPER},
    {"tx6.tga", "FIVE CHARGES MERGE", CAPTION_LOWER},
    {"tx7.tga", "LIGHT SCENE", CAPTION_UPPER},
    {"tx8.tga", "STREAKS OF LIGHT", CAPTION_LOWER},
    {"tx9.tga", "PARTICLES", CAPTION_LEFT},
    {"tx10.tga", "POINTS IN MOTION", CAPTION_RIGHT},
    {"tx11.tga", "RAYTRACED LIVE", CAPTION_UPPER},
    {"tx12.tga", "THREE SPHERES", CAPTION_LOWER},
};

// The exact key colours the preload turns into mask 255.
static const uint8_t key_horizontal[3] = {255, 173, 1};
static const uint8_t key_vertical[3] = {1, 114, 255};

// The letters, laid out in a 256 x 24 mask inside the caption's box: the largest size whose
// ink and two-pixel outline fit. Returns the ink mask; *outline receives the outline mask.
static Mask layout_caption(const char *text, const CaptionBox *box, Mask *outline) {
    const int ring = 2;
    for (float size = 20.0f; size >= 9.0f; size -= 1.0f) {
        Mask ink = text_render(FONT_SANS_BOLD, size, text, 1.0f, 0, nullptr);
        if (!ink.a) return ink;
        int w = ink.width + 2 * ring, h = ink.height + 2 * ring;
        if (w <= box->x1 - box->x0 + 1 && h <= box->y1 - box->y0 + 1) {
            Mask strip = mask_create(256, 24);
            int x = box->align_right ? box->x1 + 1 - w : box->x0;
            int y = box->y0 + (box->y1 - box->y0 + 1 - h) / 2;
            for (int my = 0; my < ink.height; my++)
                for (int mx = 0; mx < ink.width; mx++)
                    strip.a[(size_t)(y + ring + my) * 256 + x + ring + mx] =
                        ink.a[(size_t)my * ink.width + mx];
            *outline = mask_copy(&strip);
            mask_dilate(outline, ring);
            return strip;
        }
    }
    fprintf(stderr, "forge: caption \"%s\" does not fit its bar\n", text);
    return Mask{0, 0, nullptr};
}

// Letters: white fading to a tint, anti-aliased only into a solid dark outline, never into the
// key: a pixel is either exactly the key or clearly not near it.
static void paint_caption(const Mask *ink, const Mask *outline, const uint8_t *key, Rgb tint,
                          std::vector<uint8_t> *rgb) {
    const Rgb line = rgb_hex(0x060A14);
    for (int y = 0; y < 24; y++) {
        Rgb fill = rgb_mix(rgb_hex(0xFFFFFF), tint, fm_smoothstep(4.0f, 20.0f, (float)y));
        for (int x = 0; x < 256; x++) {
            size_t i = (size_t)y * 256 + x;
            uint8_t *p = rgb->data() + i * 3;
            if (ink->a[i] <= 0.0f && outline->a[i] < 0.3f) {
                p[0] = key[0], p[1] = key[1], p[2] = key[2];
                continue;
            }
            Rgb c = rgb_mix(line, fill, ink->a[i]);
            p[0] = (uint8_t)(c.r * 255.0f + 0.5f);
            p[1] = (uint8_t)(c.g * 255.0f + 0.5f);
            p[2] = (uint8_t)(c.b * 255.0f + 0.5f);
        }
    }
}

// Turns a 256 x 24 strip of RGB triples a quarter (clockwise or not) into 24 x 256.
static std::vector<uint8_t> rotate_strip(const std::vector<uint8_t> &rgb, int clockwise) {
    std::vector<uint8_t> out(rgb.size());
    for (int y = 0; y < 24; y++) {
        for (int x = 0; x < 256; x++) {
            int ox = clockwise ? 23 - y : y, oy = clockwise ? x : 255 - x;
            for (int c = 0; c < 3; c++)
                out[((size_t)oy * 24 + ox) * 3 + c] = rgb[((size_t)y * 256 + x) * 3 + c];
        }
    }
    return out;
}

static int write_caption(const char *dir, const Caption *caption) {
    int vertical = caption->kind == CAPTION_LEFT || caption->kind == CAPTION_RIGHT;
    Mask outline{0, 0, nullptr};
    Mask ink = layout_caption(caption->text, &caption_boxes[caption->kind], &outline);
    if (!ink.a || !outline.a) return 0;
    std::vector<uint8_t> rgb(256 * 24 * 3);
    paint_caption(&ink, &outline, vertical ? key_vertical : key_horizontal,
                  vertical ? rgb_hex(0xF0CF8A) : rgb_hex(0x9ED4F0), &rgb);
    if (!vertical) return part_save_tga(dir, caption->name, 256, 24, rgb.data());
    std::vector<uint8_t> turned = rotate_strip(rgb, caption->kind == CAPTION_RIGHT);
    return part_save_tga(dir, caption->name, 24, 256, turned.data());
}

// ---- loading screen ------------------------------------------------------------------------

// The progress bar the preload draws: 128 x 8 at (196, 91).
constexpr int PROGRESS_X = 196, PROGRESS_Y = 91, PROGRESS_W = 128, PROGRESS_H = 8;

static void rect(Canvas *canvas, int x, int y, int w, int h, Rgb colour) {
    for (int py = y; py < y + h; py++)
        for (int px = x; px < x + w; px++) canvas_blend(canvas, px, py, colour, 1.0f);
}

// A thin gold frame two pixels clear of the progress bar, around a dark well.
static void progress_frame(Canvas *canvas) {
    int x = PROGRESS_X - 3, y = PROGRESS_Y - 3, w = PROGRESS_W + 6, h = PROGRESS_H + 6;
    canvas_glow(canvas, 260.0f, 95.0f, 70.0f, 5.0f, rgb_hex(0x6A4A30), 0.25f);
    rect(canvas, x, y, w, h, rgb_hex(0xC9A46A));
    rect(canvas, x + 1, y + 1, w - 2, h - 2, rgb_hex(0x05060C));
}

static int loading_title(Canvas *canvas) {
    int baseline = 0;
    Mask title = text_render(FONT_SERIF, 46.0f, "Quellmoor", 3.0f, 10, &baseline);
    if (!title.a) return 0;
    int x = (512 - title.width) / 2, y = 72 - baseline;
    Mask soft = mask_copy(&title);
    if (!soft.a) return 0;
    mask_blur(&soft, 4);
    canvas_paint(canvas, &soft, x, y, rgb_hex(0xE0A050), 0.45f);
    static const GradientStop gold[] = {{0.3f, {1.0f, 0.95f, 0.82f}},
                                        {0.75f, {0.93f, 0.74f, 0.45f}}};
    canvas_paint_gradient(canvas, &title, x, y, gold, 2, 1.0f);
    Mask small = text_render(FONT_SANS_BOLD, 9.0f, "L O A D I N G", 1.0f, 0, nullptr);
    if (!small.a) return 0;
    canvas_paint(canvas, &small, (512 - small.width) / 2, 110, rgb_hex(0x8C93B0), 0.9f);
    return 1;
}

static int write_loading(const char *dir) {
    Canvas c = canvas_create(512, 256);
    if (!c.rgb) return 0;
    static const GradientStop sky[] = {{0.0f, rgb_hex(0x070918)},
                                       {0.45f, rgb_hex(0x161634)},
                                       {0.72f, rgb_hex(0x3A2442)},
                                       {0.82f, rgb_hex(0x5A3040)}};
    canvas_vgradient(&c, sky, 4);
    scenery_stars(&c, 260, 170.0f, 0.9f, 11);
    canvas_glow(&c, 256.0f, 215.0f, 190.0f, 3.0f, rgb_hex(0x8A4A38), 0.35f);
    Ridge far{196.0f, 10.0f, 0.006f, 4, 21}, near{214.0f, 9.0f, 0.004f, 5, 22};
    static const GradientStop far_hill[] = {{0.7f, rgb_hex(0x241A30)}, {1.0f, rgb_hex(0x130E1C)}};
    static const GradientStop near_hill[] = {{0.8f, rgb_hex(0x0C0A12)}, {1.0f, rgb_hex(0x040308)}};
    int ok = scenery_hills(&c, &far, far_hill, 2);
    scenery_mist(&c, 205.0f, 18.0f, rgb_hex(0x6A5068), 0.35f, 23);
    ok = ok && scenery_hills(&c, &near, near_hill, 2) &&
         scenery_grass(&c, 260, 214.0f, 256.0f, 14.0f, rgb_hex(0x030206), 24);
    canvas_vignette(&c, 0.7f);
    progress_frame(&c);
    ok = ok && loading_title(&c) && part_save_jpeg(dir, "loading.jpg", &c, 1);
    canvas_free(&c);
    return ok;
}

// The dissolve map: the preload blacks out every pixel whose level is below a threshold that
// climbs to about 96 over the dissolve. Low levels at the title and the bar, rising outwards
// with drifting noise: the picture burns away from its middle to its dark rim, and the rim that
// is left when the threshold stops is the darkest part of the picture.
static int write_loading_map(const char *dir) {
    Canvas c = canvas_create(512, 256);
    if (!c.rgb) return 0;
    for (int y = 0; y < 256; y++) {
        for (int x = 0; x < 512; x++) {
            float dx = ((float)x - 256.0f) / 300.0f, dy = ((float)y - 95.0f) / 190.0f;
            float r = std::sqrt(dx * dx + dy * dy);
            float n = noise_fbm((float)x * 0.018f, (float)y * 0.018f, 5, 0.55f, 31);
            float s = fm_clamp(r * 0.66f + (n - 0.5f) * 0.45f + 0.05f, 0.0f, 1.0f);
            float level = s * s;
            canvas_blend(&c, x, y, Rgb{level, level, level}, 1.0f);
        }
    }
    int ok = part_save_jpeg(dir, "loadalph.jpg", &c, 2);
    canvas_free(&c);
    return ok;
}

int forge_shared(const char *dir) {
    if (!write_loading(dir) || !write_loading_map(dir)) return 0;
    for (uint32_t i = 0; i < 4; i++)
        if (!write_bar(dir, &bar_shapes[i], 40 + i)) return 0;
    for (const Caption &caption : captions)
        if (!write_caption(dir, &caption)) return 0;
    return 1;
}
