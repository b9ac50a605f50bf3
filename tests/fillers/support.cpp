// support.cpp -- test targets and faces, and the step-by-step reference of the textured filler

#include "support.h"

#include "data/memory.h"

#include <algorithm>
#include <cstring>
#include <utility>

Target::Target(int32_t width, int32_t height, uint32_t fill, bool with_depth)
    : pixels(size_t(width) * height, fill) {
    image.width = width;
    image.height = height;
    image.pixels = pixels.data();
    if (with_depth) {
        depth.assign(size_t(width) * height, 0.0f);
        image.depth = depth.data();
    }
}

int Target::changed(uint32_t fill) const {
    return int(std::count_if(pixels.begin(), pixels.end(), [=](uint32_t p) { return p != fill; }));
}

Texture::Texture() : Target(256, 256) {
    for (uint32_t v = 0; v < 256; v++)
        for (uint32_t u = 0; u < 256; u++) pixels[v * 256 + u] = texel_word(u, v);
}

Face make_face(int flags, float x0, float y0, float x1, float y1, float x2, float y2) {
    Face *defaults = new_faces(1);
    Face f = *defaults;
    mem_free(defaults);
    f.flags = flags;
    f.v[0] = {x0, y0, 0};
    f.v[1] = {x1, y1, 0};
    f.v[2] = {x2, y2, 0};
    return f;
}

void set_uv(Face &face, int layer, float u0, float v0, float u1, float v1, float u2, float v2) {
    float uv[6] = {u0, v0, u1, v1, u2, v2};
    std::memcpy(face.uv + layer, uv, sizeof uv);
}

void random_vertices(Face &face, std::mt19937 &rng, float lo_x, float hi_x, float lo_y,
                     float hi_y) {
    std::uniform_real_distribution<float> x(lo_x, hi_x), y(lo_y, hi_y);
    for (Vec3 &v : face.v) v = {x(rng), y(rng), 0};
}

Canvas::Canvas(int32_t target_width, int32_t target_height, int32_t margin_)
    : margin(margin_), width(target_width), height(target_height),
      stride(target_width + 2 * margin_),
      pixels(size_t(stride) * (target_height + 2 * margin_), 0) {}

// ---------------------------------------------------------------------------------------------

namespace {

struct IntPoint {
    int32_t x, y, u, v;
};

// One edge of the reference walk, 16.16.
struct RefEdge {
    int32_t x, dx, u, du, v, dv;
};

int32_t slope(int32_t d, int32_t h) {
    return int32_t(int64_t(d) * 65536 / h);
}

void ref_rows(RefEdge &l, RefEdge &r, int32_t y0, int32_t y1, int32_t dudx, int32_t dvdx,
              const uint32_t *texels, Canvas &canvas) {
    for (int32_t y = y0; y < y1; y++) {
        uint32_t u = uint32_t(l.u), v = uint32_t(l.v);
        for (int32_t x = l.x >> 16; x < r.x >> 16; x++) {
            canvas.at(x, y) = texels[((v >> 16) & 255) * 256 + ((u >> 16) & 255)];
            u += uint32_t(dudx);
            v += uint32_t(dvdx);
        }
        l.x += l.dx, l.u += l.du, l.v += l.dv;
        r.x += r.dx;
    }
}

RefEdge ref_edge(const IntPoint &a, const IntPoint &b, int32_t extra) {
    int32_t h = b.y - a.y;
    return {a.x * 65536 + extra, slope(b.x - a.x, h), a.u * 65536,
            slope(b.u - a.u, h), a.v * 65536,         slope(b.v - a.v, h)};
}

} // namespace

void reference_textured(const Face &face, int layer, const uint32_t *texels, Canvas &canvas) {
    IntPoint p[3];
    for (int k = 0; k < 3; k++)
        p[k] = {int32_t(face.v[k].x), int32_t(face.v[k].y), int32_t(face.uv[layer + 2 * k]),
                int32_t(face.uv[layer + 2 * k + 1])};
    if (p[1].y < p[0].y) std::swap(p[0], p[1]);
    if (p[2].y < p[1].y) std::swap(p[1], p[2]);
    if (p[1].y < p[0].y) std::swap(p[0], p[1]);
    const IntPoint &a = p[0], &b = p[1], &c = p[2];
    int32_t h = c.y - a.y;
    if (h < 1) return;
    int64_t d = int64_t(a.x - c.x) * (b.y - c.y) - int64_t(b.x - c.x) * (a.y - c.y);
    if (d == 0) d = 1;
    int32_t dudx =
        int32_t((int64_t(a.u - c.u) * (b.y - c.y) - int64_t(b.u - c.u) * (a.y - c.y)) * 65536 / d);
    int32_t dvdx =
        int32_t((int64_t(a.v - c.v) * (b.y - c.y) - int64_t(b.v - c.v) * (a.y - c.y)) * 65536 / d);
    if (a.y == b.y) { // flat top: the left edge starts at the smaller top x
        const IntPoint &start_l = a.x < b.x ? a : b, &start_r = a.x < b.x ? b : a;
        RefEdge l = ref_edge(start_l, c, 0), r = ref_edge(start_r, c, 65536);
        ref_rows(l, r, a.y, c.y, dudx, dvdx, texels, canvas);
        return;
    }
    if (b.y == c.y) { // flat bottom: both edges from vertex 0
        RefEdge e02 = ref_edge(a, c, 0), e01 = ref_edge(a, b, 0);
        RefEdge l = c.x < b.x ? e02 : e01, r = c.x < b.x ? e01 : e02;
        r.x += 65536;
        ref_rows(l, r, a.y, b.y, dudx, dvdx, texels, canvas);
        return;
    }
    RefEdge e02 = ref_edge(a, c, 0), e01 = ref_edge(a, b, 0), e12 = ref_edge(b, c, 0);
    bool long_left = a.x * 65536 + e02.dx <= a.x * 65536 + e01.dx;
    if (long_left) {
        RefEdge l = e02, r = e01;
        r.x += 65536;
        ref_rows(l, r, a.y, b.y, dudx, dvdx, texels, canvas);
        r.dx = e12.dx; // the right edge keeps its walked x
        ref_rows(l, r, b.y, c.y, dudx, dvdx, texels, canvas);
    } else {
        RefEdge l = e01, r = e02;
        r.x += 65536;
        ref_rows(l, r, a.y, b.y, dudx, dvdx, texels, canvas);
        l.dx = e12.dx, l.du = e12.du, l.dv = e12.dv; // walked x, u, v go on along 1->2
        ref_rows(l, r, b.y, c.y, dudx, dvdx, texels, canvas);
    }
}
