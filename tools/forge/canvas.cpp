// canvas.cpp -- float canvases and coverage masks: gradients, glows, polygons, blurs
#include "canvas.h"

#include "noise.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

Rgb rgb_hex(uint32_t hex) {
    return Rgb{(float)(hex >> 16 & 0xFF) / 255.0f, (float)(hex >> 8 & 0xFF) / 255.0f,
               (float)(hex & 0xFF) / 255.0f};
}

Rgb rgb_mix(Rgb a, Rgb b, float t) {
    return Rgb{fm_mix(a.r, b.r, t), fm_mix(a.g, b.g, t), fm_mix(a.b, b.b, t)};
}

Rgb gradient_at(const GradientStop *stops, int count, float t) {
    if (t <= stops[0].at) return stops[0].colour;
    for (int i = 1; i < count; i++) {
        if (t <= stops[i].at) {
            float span = stops[i].at - stops[i - 1].at;
            float f = span > 0.0f ? (t - stops[i - 1].at) / span : 1.0f;
            return rgb_mix(stops[i - 1].colour, stops[i].colour, f);
        }
    }
    return stops[count - 1].colour;
}

Canvas canvas_create(int width, int height) {
    float *rgb = (float *)calloc((size_t)width * (size_t)height * 3, sizeof(float));
    if (!rgb) return Canvas{0, 0, nullptr};
    return Canvas{width, height, rgb};
}

void canvas_free(Canvas *canvas) {
    free(canvas->rgb);
    *canvas = Canvas{0, 0, nullptr};
}

void canvas_vgradient(Canvas *canvas, const GradientStop *stops, int count) {
    for (int y = 0; y < canvas->height; y++) {
        Rgb c = gradient_at(stops, count, (float)y / (float)(canvas->height - 1));
        float *row = canvas->rgb + (size_t)y * canvas->width * 3;
        for (int x = 0; x < canvas->width; x++) {
            row[x * 3] = c.r;
            row[x * 3 + 1] = c.g;
            row[x * 3 + 2] = c.b;
        }
    }
}

void canvas_blend(Canvas *canvas, int x, int y, Rgb colour, float alpha) {
    if (x < 0 || y < 0 || x >= canvas->width || y >= canvas->height) return;
    float *p = canvas->rgb + ((size_t)y * canvas->width + x) * 3;
    p[0] = fm_mix(p[0], colour.r, alpha);
    p[1] = fm_mix(p[1], colour.g, alpha);
    p[2] = fm_mix(p[2], colour.b, alpha);
}

void canvas_add(Canvas *canvas, int x, int y, Rgb colour, float amount) {
    if (x < 0 || y < 0 || x >= canvas->width || y >= canvas->height) return;
    float *p = canvas->rgb + ((size_t)y * canvas->width + x) * 3;
    p[0] += colour.r * amount;
    p[1] += colour.g * amount;
    p[2] += colour.b * amount;
}

void canvas_glow(Canvas *canvas, float cx, float cy, float radius, float aspect, Rgb colour,
                 float strength) {
    // exp(-9) is below one 8-bit step of any glow we paint: stop at three radii.
    float reach = radius * 3.0f;
    int x0 = std::max(0, (int)(cx - reach)), x1 = std::min(canvas->width - 1, (int)(cx + reach));
    int y0 = std::max(0, (int)(cy - reach / aspect));
    int y1 = std::min(canvas->height - 1, (int)(cy + reach / aspect));
    for (int y = y0; y <= y1; y++) {
        for (int x = x0; x <= x1; x++) {
            float dx = ((float)x + 0.5f - cx) / radius;
            float dy = ((float)y + 0.5f - cy) * aspect / radius;
            canvas_add(canvas, x, y, colour, strength * fm_exp(-(dx * dx + dy * dy)));
        }
    }
}

void canvas_paint(Canvas *canvas, const Mask *mask, int x, int y, Rgb colour, float alpha) {
    for (int my = 0; my < mask->height; my++) {
        for (int mx = 0; mx < mask->width; mx++) {
            float a = mask->a[(size_t)my * mask->width + mx];
            if (a > 0.0f) canvas_blend(canvas, x + mx, y + my, colour, a * alpha);
        }
    }
}

void canvas_paint_gradient(Canvas *canvas, const Mask *mask, int x, int y,
                           const GradientStop *stops, int count, float alpha) {
    for (int my = 0; my < mask->height; my++) {
        Rgb c = gradient_at(stops, count, (float)my / (float)std::max(1, mask->height - 1));
        for (int mx = 0; mx < mask->width; mx++) {
            float a = mask->a[(size_t)my * mask->width + mx];
            if (a > 0.0f) canvas_blend(canvas, x + mx, y + my, c, a * alpha);
        }
    }
}

// One box-blur pass along a line of count samples, channels floats per sample, step floats
// between samples; edge samples are repeated outwards.
static void box_line(float *line, int count, int channels, int step, int radius, float *scratch) {
    float scale = 1.0f / (float)(2 * radius + 1);
    for (int ch = 0; ch < channels; ch++) {
        for (int i = 0; i < count; i++) scratch[i] = line[(size_t)i * step + ch];
        float sum = 0.0f;
        for (int k = -radius; k <= radius; k++) sum += scratch[std::clamp(k, 0, count - 1)];
        for (int i = 0; i < count; i++) {
            line[(size_t)i * step + ch] = sum * scale;
            sum += scratch[std::min(i + radius + 1, count - 1)];
            sum -= scratch[std::max(i - radius, 0)];
        }
    }
}

// Three box passes each way over a width x height grid of channels floats per pixel.
static void blur_grid(float *data, int width, int height, int channels, int radius) {
    if (radius <= 0) return;
    float *scratch = (float *)malloc(sizeof(float) * (size_t)std::max(width, height));
    if (!scratch) return;
    for (int pass = 0; pass < 3; pass++) {
        for (int y = 0; y < height; y++)
            box_line(data + (size_t)y * width * channels, width, channels, channels, radius,
                     scratch);
        for (int x = 0; x < width; x++)
            box_line(data + (size_t)x * channels, height, channels, width * channels, radius,
                     scratch);
    }
    free(scratch);
}

void canvas_vignette(Canvas *canvas, float amount) {
    float hw = (float)canvas->width * 0.5f, hh = (float)canvas->height * 0.5f;
    for (int y = 0; y < canvas->height; y++) {
        for (int x = 0; x < canvas->width; x++) {
            float dx = ((float)x + 0.5f - hw) / hw, dy = ((float)y + 0.5f - hh) / hh;
            float f = 1.0f - amount * fm_clamp((dx * dx + dy * dy) * 0.5f, 0.0f, 1.0f);
            float *p = canvas->rgb + ((size_t)y * canvas->width + x) * 3;
            p[0] *= f;
            p[1] *= f;
            p[2] *= f;
        }
    }
}

void canvas_to_rgb8(const Canvas *canvas, uint8_t *out, uint32_t seed) {
    Rng rng = rng_make(seed);
    size_t n = (size_t)canvas->width * canvas->height * 3;
    for (size_t i = 0; i < n; i++) {
        // Triangular dither of +-1 step in total, centred on the rounding point.
        float d = rng_float(&rng) - rng_float(&rng);
        float v = canvas->rgb[i] * 255.0f + 0.5f + d * 0.5f;
        out[i] = (uint8_t)fm_clamp(v, 0.0f, 255.0f);
    }
}

Mask mask_create(int width, int height) {
    float *a = (float *)calloc((size_t)width * (size_t)height, sizeof(float));
    if (!a) return Mask{0, 0, nullptr};
    return Mask{width, height, a};
}

Mask mask_copy(const Mask *mask) {
    Mask out = mask_create(mask->width, mask->height);
    if (out.a) memcpy(out.a, mask->a, sizeof(float) * (size_t)mask->width * mask->height);
    return out;
}

// Adds the exact horizontal coverage of the span [xa, xb) at weight w to one mask row.
static void cover_span(float *row, int width, float xa, float xb, float w) {
    xa = fm_clamp(xa, 0.0f, (float)width);
    xb = fm_clamp(xb, 0.0f, (float)width);
    if (xb <= xa) return;
    int ia = (int)xa, ib = (int)xb;
    if (ia == ib) {
        row[ia] += (xb - xa) * w;
        return;
    }
    row[ia] += ((float)(ia + 1) - xa) * w;
    for (int i = ia + 1; i < ib; i++) row[i] += w;
    if (ib < width) row[ib] += (xb - (float)ib) * w;
}

void mask_polygon(Mask *mask, const Point2 *points, int count) {
    if (count < 3) return;
    const int sub = 4;
    std::vector<float> xs;
    float top = points[0].y, bottom = points[0].y;
    for (int i = 1; i < count; i++) {
        top = std::min(top, points[i].y);
        bottom = std::max(bottom, points[i].y);
    }
    int y0 = std::max(0, (int)top - 1), y1 = std::min(mask->height - 1, (int)bottom + 1);
    for (int y = y0; y <= y1; y++) {
        float *row = mask->a + (size_t)y * mask->width;
        for (int s = 0; s < sub; s++) {
            float sy = (float)y + ((float)s + 0.5f) / (float)sub;
            xs.clear();
            for (int i = 0; i < count; i++) {
                Point2 p = points[i], q = points[(i + 1) % count];
                if ((p.y <= sy) == (q.y <= sy)) continue;
                xs.push_back(p.x + (sy - p.y) * (q.x - p.x) / (q.y - p.y));
            }
            std::sort(xs.begin(), xs.end());
            for (size_t i = 0; i + 1 < xs.size(); i += 2)
                cover_span(row, mask->width, xs[i], xs[i + 1], 0.25f);
        }
        for (int x = 0; x < mask->width; x++) row[x] = std::min(row[x], 1.0f);
    }
}

void mask_ellipse(Mask *mask, float cx, float cy, float rx, float ry, float soft) {
    for (int y = 0; y < mask->height; y++) {
        for (int x = 0; x < mask->width; x++) {
            float dx = ((float)x + 0.5f - cx) / rx, dy = ((float)y + 0.5f - cy) / ry;
            // Distance outside the rim, in pixels along the smaller radius.
            float d = (std::sqrt(dx * dx + dy * dy) - 1.0f) * std::min(rx, ry);
            float a = fm_clamp(0.5f - d / soft, 0.0f, 1.0f);
            float *p = mask->a + (size_t)y * mask->width + x;
            *p = std::min(1.0f, *p + a);
        }
    }
}

void mask_dilate(Mask *mask, int r) {
    Mask out = mask_create(mask->width, mask->height);
    if (!out.a) return;
    for (int y = 0; y < mask->height; y++) {
        for (int x = 0; x < mask->width; x++) {
            float best = 0.0f;
            for (int dy = -r; dy <= r; dy++) {
                for (int dx = -r; dx <= r; dx++) {
                    int sx = x + dx, sy = y + dy;
                    if (dx * dx + dy * dy > r * r + r) continue;
                    if (sx < 0 || sy < 0 || sx >= mask->width || sy >= mask->height) continue;
                    best = std::max(best, mask->a[(size_t)sy * mask->width + sx]);
                }
            }
            out.a[(size_t)y * mask->width + x] = best;
        }
    }
    *mask = std::move(out);
}

void mask_blur(Mask *mask, int radius) {
    blur_grid(mask->a, mask->width, mask->height, 1, radius);
}
