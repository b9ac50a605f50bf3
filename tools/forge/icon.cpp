// icon.cpp -- the program's icon, sampled into PNGs and written out as SVG
#include "icon.h"

#include "bytes.h"
#include "noise.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <png.h>

const int icon_sizes[] = {16, 22, 24, 32, 48, 64, 128, 256};
const int icon_size_count = sizeof icon_sizes / sizeof icon_sizes[0];

namespace {

struct Paint {
    float r, g, b;
};

struct Stop {
    float at;
    uint32_t hex;
    float opacity;
};

// The tile: a rounded square with a margin of one pixel at 16 x 16.
constexpr float TILE_LO = 0.0625f, TILE_HI = 0.9375f, TILE_RADIUS = 0.17f;
constexpr float RIM_WIDTH = 0.028f;
constexpr float SUN_X = 0.5f, SUN_Y = 0.6f, SUN_R = 0.15f, GLOW_R = 0.42f;
constexpr float WATER_Y = 0.74f, HILL_FOOT = 0.76f;
constexpr int HILL_POINTS = 33;

const Stop sky[] = {
    {0.06f, 0x070918, 1}, {0.36f, 0x161634, 1}, {0.55f, 0x3A2442, 1}, {0.67f, 0x8A4A38, 1}};
const Stop water[] = {{0.74f, 0x2A2240, 1}, {0.94f, 0x06070E, 1}};
const Stop sun[] = {{0.45f, 0xFBE3A0, 1}, {0.75f, 0xE39A48, 1}};
const Stop glow[] = {{0.0f, 0xE0A050, 0.65f}, {0.45f, 0xE0A050, 0.25f}, {1.0f, 0xE0A050, 0.0f}};
constexpr uint32_t FAR_HILL = 0x2A1E36, NEAR_HILL = 0x0C0A12, STAR = 0xE8E4F8;
constexpr uint32_t STRIPE = 0xF2C063, RIM = 0xC88A2E;

struct Disc {
    float x, y, r;
};
const Disc stars[] = {{0.27f, 0.2f, 0.013f},
                      {0.72f, 0.16f, 0.011f},
                      {0.83f, 0.34f, 0.009f},
                      {0.41f, 0.31f, 0.008f},
                      {0.17f, 0.4f, 0.007f}};

// The sun's reflection: bars centred under it, narrowing and fading with depth.
struct Stripe {
    float y, height, half_width, opacity;
};
const Stripe stripes[] = {{0.77f, 0.022f, 0.13f, 0.9f},
                          {0.81f, 0.02f, 0.1f, 0.75f},
                          {0.848f, 0.018f, 0.07f, 0.6f},
                          {0.883f, 0.016f, 0.045f, 0.45f}};

Paint hex_paint(uint32_t hex) {
    return {float((hex >> 16) & 255) / 255.0f, float((hex >> 8) & 255) / 255.0f,
            float(hex & 255) / 255.0f};
}

void over(Paint *dst, Paint src, float alpha) {
    dst->r += (src.r - dst->r) * alpha;
    dst->g += (src.g - dst->g) * alpha;
    dst->b += (src.b - dst->b) * alpha;
}

// Colour and opacity at t along stops, linear between them and held flat outside.
void stop_at(const Stop *stops, int count, float t, Paint *paint, float *opacity) {
    int i = 0;
    while (i + 1 < count && stops[i + 1].at <= t) i++;
    if (i + 1 == count || t <= stops[0].at) {
        const Stop &s = t <= stops[0].at ? stops[0] : stops[i];
        *paint = hex_paint(s.hex);
        *opacity = s.opacity;
        return;
    }
    const Stop &a = stops[i], &b = stops[i + 1];
    float f = (t - a.at) / (b.at - a.at);
    Paint pa = hex_paint(a.hex), pb = hex_paint(b.hex);
    *paint = {fm_mix(pa.r, pb.r, f), fm_mix(pa.g, pb.g, f), fm_mix(pa.b, pb.b, f)};
    *opacity = fm_mix(a.opacity, b.opacity, f);
}

void fill_stops(Paint *dst, const Stop *stops, int count, float t) {
    Paint p;
    float opacity;
    stop_at(stops, count, t, &p, &opacity);
    over(dst, p, opacity);
}

// Signed distance to the tile's edge, negative inside.
float tile_distance(float x, float y) {
    float half = (TILE_HI - TILE_LO) * 0.5f, centre = (TILE_HI + TILE_LO) * 0.5f;
    float qx = std::fabs(x - centre) - (half - TILE_RADIUS);
    float qy = std::fabs(y - centre) - (half - TILE_RADIUS);
    float ox = qx > 0 ? qx : 0, oy = qy > 0 ? qy : 0;
    float inner = qx > qy ? qx : qy;
    return std::sqrt(ox * ox + oy * oy) + (inner < 0 ? inner : 0) - TILE_RADIUS;
}

float far_hill(float x) {
    float d = (x - 0.2f) / 0.16f;
    return 0.625f + 0.03f * fm_sin(7.0f * x + 0.4f) - 0.07f * fm_exp(-d * d);
}

float near_hill(float x) {
    float d = (x - 0.84f) / 0.13f;
    return 0.69f + 0.015f * fm_sin(11.0f * x + 1.3f) - 0.055f * fm_exp(-d * d);
}

// A hill line as the polyline both the PNGs and the SVG draw.
struct HillLine {
    float y[HILL_POINTS];
};

HillLine hill_line(float (*height)(float)) {
    HillLine line;
    for (int i = 0; i < HILL_POINTS; i++) line.y[i] = height(float(i) / (HILL_POINTS - 1));
    return line;
}

float hill_at(const HillLine *line, float x) {
    float f = fm_clamp(x, 0.0f, 1.0f) * (HILL_POINTS - 1);
    int i = int(f);
    if (i >= HILL_POINTS - 1) return line->y[HILL_POINTS - 1];
    return fm_mix(line->y[i], line->y[i + 1], f - float(i));
}

struct Scene {
    HillLine far, near;
};

// The colour of the tile at (x, y), painted bottom layer first as the SVG stacks them.
Paint sample(const Scene *scene, float x, float y) {
    Paint p = {0, 0, 0};
    fill_stops(&p, sky, 4, y);
    for (const Disc &s : stars) {
        float dx = x - s.x, dy = y - s.y;
        if (dx * dx + dy * dy < s.r * s.r) over(&p, hex_paint(STAR), 1.0f);
    }
    float dx = x - SUN_X, dy = y - SUN_Y;
    float d = std::sqrt(dx * dx + dy * dy);
    fill_stops(&p, glow, 3, d / GLOW_R);
    if (d < SUN_R) fill_stops(&p, sun, 2, y);
    if (y >= hill_at(&scene->far, x) && y <= HILL_FOOT) over(&p, hex_paint(FAR_HILL), 1.0f);
    if (y >= hill_at(&scene->near, x) && y <= HILL_FOOT) over(&p, hex_paint(NEAR_HILL), 1.0f);
    if (y >= WATER_Y) fill_stops(&p, water, 2, y);
    for (const Stripe &s : stripes)
        if (std::fabs(y - s.y) < s.height * 0.5f && std::fabs(x - SUN_X) < s.half_width)
            over(&p, hex_paint(STRIPE), s.opacity);
    if (tile_distance(x, y) > -RIM_WIDTH) over(&p, hex_paint(RIM), 1.0f);
    return p;
}

uint8_t to_byte(float v) {
    return uint8_t(fm_clamp(v, 0.0f, 1.0f) * 255.0f + 0.5f);
}

} // namespace

std::vector<uint8_t> icon_render(int size) {
    Scene scene = {hill_line(far_hill), hill_line(near_hill)};
    std::vector<uint8_t> rgba(size_t(size) * size_t(size) * 4);
    // 8 x 8 samples a pixel: enough for smooth edges at 16 pixels, fast at 256.
    const int n = 8;
    for (int py = 0; py < size; py++) {
        for (int px = 0; px < size; px++) {
            Paint sum = {0, 0, 0};
            float covered = 0;
            for (int sy = 0; sy < n; sy++) {
                for (int sx = 0; sx < n; sx++) {
                    float x = (float(px) + (float(sx) + 0.5f) / n) / float(size);
                    float y = (float(py) + (float(sy) + 0.5f) / n) / float(size);
                    if (tile_distance(x, y) >= 0) continue;
                    Paint p = sample(&scene, x, y);
                    sum.r += p.r, sum.g += p.g, sum.b += p.b;
                    covered += 1;
                }
            }
            uint8_t *out = &rgba[(size_t(py) * size_t(size) + size_t(px)) * 4];
            float k = covered > 0 ? 1.0f / covered : 0.0f;
            out[0] = to_byte(sum.r * k);
            out[1] = to_byte(sum.g * k);
            out[2] = to_byte(sum.b * k);
            out[3] = to_byte(covered / float(n * n));
        }
    }
    return rgba;
}

namespace {

void append(std::string *svg, const char *fmt, ...) __attribute__((format(printf, 2, 3)));
void append(std::string *svg, const char *fmt, ...) {
    char line[512];
    va_list args;
    va_start(args, fmt);
    vsnprintf(line, sizeof line, fmt, args);
    va_end(args);
    *svg += line;
}

// Unit coordinates scale to a 256-unit view box.
float u(float v) {
    return v * 256.0f;
}

void svg_stops(std::string *svg, const Stop *stops, int count) {
    for (int i = 0; i < count; i++)
        append(svg, "<stop offset=\"%.4f\" stop-color=\"#%06X\" stop-opacity=\"%.3f\"/>",
               stops[i].at, unsigned(stops[i].hex), stops[i].opacity);
}

void svg_gradient(std::string *svg, const char *id, const Stop *stops, int count) {
    // Offsets count along the tile's height so that the stops sit where the sampler puts them.
    append(svg,
           "<linearGradient id=\"%s\" gradientUnits=\"userSpaceOnUse\" x1=\"0\" y1=\"0\" "
           "x2=\"0\" y2=\"256\">",
           id);
    svg_stops(svg, stops, count);
    *svg += "</linearGradient>\n";
}

void svg_hill(std::string *svg, const HillLine *line, uint32_t hex) {
    append(svg, "<polygon fill=\"#%06X\" points=\"", unsigned(hex));
    for (int i = 0; i < HILL_POINTS; i++)
        append(svg, "%.2f,%.2f ", u(float(i) / (HILL_POINTS - 1)), u(line->y[i]));
    append(svg, "256,%.2f 0,%.2f\"/>\n", u(HILL_FOOT), u(HILL_FOOT));
}

void svg_tile_rect(std::string *svg, float inset, const char *attributes) {
    append(svg, "<rect x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\" rx=\"%.2f\" %s/>\n",
           u(TILE_LO + inset), u(TILE_LO + inset), u(TILE_HI - TILE_LO - 2 * inset),
           u(TILE_HI - TILE_LO - 2 * inset), u(TILE_RADIUS - inset), attributes);
}

} // namespace

std::string icon_svg() {
    Scene scene = {hill_line(far_hill), hill_line(near_hill)};
    std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" "
                      "viewBox=\"0 0 256 256\">\n<defs>\n";
    svg += "<clipPath id=\"tile\">";
    svg_tile_rect(&svg, 0.0f, "");
    svg += "</clipPath>\n";
    svg_gradient(&svg, "sky", sky, 4);
    svg_gradient(&svg, "water", water, 2);
    svg_gradient(&svg, "sun", sun, 2);
    append(&svg,
           "<radialGradient id=\"glow\" gradientUnits=\"userSpaceOnUse\" cx=\"%.2f\" "
           "cy=\"%.2f\" r=\"%.2f\">",
           u(SUN_X), u(SUN_Y), u(GLOW_R));
    svg_stops(&svg, glow, 3);
    svg += "</radialGradient>\n</defs>\n<g clip-path=\"url(#tile)\">\n";
    svg += "<rect width=\"256\" height=\"256\" fill=\"url(#sky)\"/>\n";
    for (const Disc &s : stars)
        append(&svg, "<circle cx=\"%.2f\" cy=\"%.2f\" r=\"%.2f\" fill=\"#%06X\"/>\n", u(s.x),
               u(s.y), u(s.r), unsigned(STAR));
    append(&svg, "<circle cx=\"%.2f\" cy=\"%.2f\" r=\"%.2f\" fill=\"url(#glow)\"/>\n", u(SUN_X),
           u(SUN_Y), u(GLOW_R));
    append(&svg, "<circle cx=\"%.2f\" cy=\"%.2f\" r=\"%.2f\" fill=\"url(#sun)\"/>\n", u(SUN_X),
           u(SUN_Y), u(SUN_R));
    svg_hill(&svg, &scene.far, FAR_HILL);
    svg_hill(&svg, &scene.near, NEAR_HILL);
    append(&svg, "<rect y=\"%.2f\" width=\"256\" height=\"%.2f\" fill=\"url(#water)\"/>\n",
           u(WATER_Y), u(1.0f - WATER_Y));
    for (const Stripe &s : stripes)
        append(&svg,
               "<rect x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\" fill=\"#%06X\" "
               "fill-opacity=\"%.2f\"/>\n",
               u(SUN_X - s.half_width), u(s.y - s.height * 0.5f), u(2 * s.half_width), u(s.height),
               unsigned(STRIPE), s.opacity);
    char rim[96];
    snprintf(rim, sizeof rim, "fill=\"none\" stroke=\"#%06X\" stroke-width=\"%.2f\"", unsigned(RIM),
             u(RIM_WIDTH));
    svg_tile_rect(&svg, RIM_WIDTH * 0.5f, rim);
    svg += "</g>\n</svg>\n";
    return svg;
}

static int save_png(const char *path, int size, const std::vector<uint8_t> &rgba) {
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    image.width = uint32_t(size);
    image.height = uint32_t(size);
    image.format = PNG_FORMAT_RGBA;
    if (png_image_write_to_file(&image, path, 0, rgba.data(), 0, nullptr)) return 1;
    fprintf(stderr, "forge: %s: cannot write: %s\n", path, image.message);
    return 0;
}

int forge_icon(const char *dir) {
    char path[4096];
    for (int i = 0; i < icon_size_count; i++) {
        int size = icon_sizes[i];
        snprintf(path, sizeof path, "%s/quellmoor-%d.png", dir, size);
        if (!save_png(path, size, icon_render(size))) return 0;
    }
    snprintf(path, sizeof path, "%s/quellmoor.svg", dir);
    std::string svg = icon_svg();
    Bytes bytes;
    bytes_text(&bytes, svg.c_str());
    return bytes_save(&bytes, path);
}
