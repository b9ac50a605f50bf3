// support.cpp -- test targets, textures and faces for the filler tests

#include "support.h"

#include "data/memory.h"

#include <algorithm>
#include <cstring>

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
