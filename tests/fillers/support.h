// support.h -- targets, textures and faces for the filler tests.
#pragma once

#include "data/image.h"
#include "engine/object.h"

#include <cstdint>
#include <vector>

// A target whose pixel and depth buffers hold exactly width * height words, so that the
// sanitizer sees a write one word outside.
struct Target {
    std::vector<uint32_t> pixels;
    std::vector<float> depth;
    Image image{};

    Target(int32_t width, int32_t height, uint32_t fill = 0, bool with_depth = false);
    Target(const Target &) = delete;
    uint32_t at(int32_t x, int32_t y) const { return pixels[size_t(y) * image.width + x]; }
    float depth_at(int32_t x, int32_t y) const { return depth[size_t(y) * image.width + x]; }
    // Pixels that differ from fill.
    int changed(uint32_t fill = 0) const;
};

// The texel word of texture column u, row v in test textures: red = u, green = v, blue = 0x5a.
constexpr uint32_t texel_word(uint32_t u, uint32_t v) {
    return (u & 255) << 8 | (v & 255) << 16 | 0x5au << 24;
}

// A 256 x 256 texture of texel_word(u, v).
struct Texture : Target {
    Texture();
};

// A face with the defaults of new_faces, the given flags and vertices (x, y, 0).
Face make_face(int flags, float x0, float y0, float x1, float y1, float x2, float y2);

// Sets the coordinate set at layer of the face (texels).
void set_uv(Face &face, int layer, float u0, float v0, float u1, float v1, float u2, float v2);
