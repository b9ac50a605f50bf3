// canvas.h -- the forge's painting surface: float RGB canvases, coverage masks, gradients, soft
// shapes, polygons and blurs.
//
// Colours are floats, 0 black to 1 full, in the picture's own (sRGB) values; painting may leave
// the range for a while and canvas_to_rgb8 clamps. A Mask holds coverage 0..1 per pixel: shapes
// and text are drawn into masks first and then painted onto canvases through them.
#pragma once

#include <cstdint>
#include <cstdlib>

struct Rgb {
    float r, g, b;
};

struct Canvas {
    int width;
    int height;
    float *rgb; // width * height * 3 floats, rows top to bottom
};

// Owns its coverages: freed when the mask goes out of scope or is assigned another, so an early
// return leaks nothing. Moved, never copied (mask_copy makes a copy).
struct Mask {
    int width = 0;
    int height = 0;
    float *a = nullptr; // width * height coverages (malloc'd), or null

    Mask() = default;
    Mask(int w, int h, float *coverages) : width(w), height(h), a(coverages) {}
    Mask(Mask &&other) noexcept : width(other.width), height(other.height), a(other.a) {
        other.release();
    }
    Mask &operator=(Mask &&other) noexcept {
        if (this != &other) {
            std::free(a);
            width = other.width, height = other.height, a = other.a;
            other.release();
        }
        return *this;
    }
    Mask(const Mask &) = delete;
    Mask &operator=(const Mask &) = delete;
    ~Mask() { std::free(a); }

  private:
    void release() { width = 0, height = 0, a = nullptr; }
};

struct GradientStop {
    float at; // 0..1, ascending
    Rgb colour;
};

struct Point2 {
    float x, y;
};

// The colour 0xRRGGBB.
Rgb rgb_hex(uint32_t hex);

// a + (b - a) * t per channel.
Rgb rgb_mix(Rgb a, Rgb b, float t);

// The colour at t along the stops (held flat before the first and after the last).
Rgb gradient_at(const GradientStop *stops, int count, float t);

// A black canvas, or a canvas of width 0 when memory fails. Valid until canvas_free.
Canvas canvas_create(int width, int height);
void canvas_free(Canvas *canvas);

// Fills every row with the gradient from top (0) to bottom (1).
void canvas_vgradient(Canvas *canvas, const GradientStop *stops, int count);

// Mixes colour into one pixel with weight alpha; outside the canvas nothing happens.
void canvas_blend(Canvas *canvas, int x, int y, Rgb colour, float alpha);

// Adds colour times amount to one pixel; outside the canvas nothing happens.
void canvas_add(Canvas *canvas, int x, int y, Rgb colour, float amount);

// Adds a soft glow: colour times strength times exp(-(d/radius)^2), d the distance to the
// centre with y stretched by aspect.
void canvas_glow(Canvas *canvas, float cx, float cy, float radius, float aspect, Rgb colour,
                 float strength);

// Mixes colour through the mask placed with its top-left at (x, y), coverage times alpha.
void canvas_paint(Canvas *canvas, const Mask *mask, int x, int y, Rgb colour, float alpha);

// As canvas_paint, taking the colour of each pixel from a vertical gradient over the mask.
void canvas_paint_gradient(Canvas *canvas, const Mask *mask, int x, int y,
                           const GradientStop *stops, int count, float alpha);

// Multiplies every pixel by a darkening towards the edges: 1 at the centre, 1 - amount at the
// corners.
void canvas_vignette(Canvas *canvas, float amount);

// Converts to 8-bit RGB triples (width * height * 3 bytes at out), rounding with a seeded
// dither of under one step so that gradients do not band.
void canvas_to_rgb8(const Canvas *canvas, uint8_t *out, uint32_t seed);

// An empty mask, or a mask of width 0 when memory fails.
Mask mask_create(int width, int height);

// A copy of the mask (width 0 when memory fails).
Mask mask_copy(const Mask *mask);

// Coverage of a polygon (even-odd rule), exact across each row and sampled at four heights per
// pixel, added into the mask (clamped to 1).
void mask_polygon(Mask *mask, const Point2 *points, int count);

// Coverage of an ellipse with a soft edge of the given width in pixels, added into the mask.
void mask_ellipse(Mask *mask, float cx, float cy, float rx, float ry, float soft);

// The largest coverage within radius r of each pixel (a round dilation).
void mask_dilate(Mask *mask, int r);

// Box-blurs the mask three times.
void mask_blur(Mask *mask, int radius);
