// Tests of the blit family, its clipping, its two paths and the grid warp.

#include "data/blit.h"
#include "data/cpu.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

using Words = std::vector<uint32_t>;

constexpr uint32_t word(uint32_t mask, uint32_t r, uint32_t g, uint32_t b) {
    return mask | r << 8 | g << 16 | b << 24;
}

// Every member of the family behind one signature; extra is the key or the alpha.
using Blit = void (*)(const Image *, Image *, const BlitRect &, uint32_t extra);
void copy(const Image *s, Image *d, const BlitRect &r, uint32_t) {
    blit_copy(s, d, r.x0, r.y0, r.x1, r.y1, r.dx, r.dy);
}
void key(const Image *s, Image *d, const BlitRect &r, uint32_t k) {
    blit_key(s, d, r.x0, r.y0, r.x1, r.y1, r.dx, r.dy, k);
}
void masked(const Image *s, Image *d, const BlitRect &r, uint32_t) {
    blit_masked(s, d, r.x0, r.y0, r.x1, r.y1, r.dx, r.dy);
}
void blend(const Image *s, Image *d, const BlitRect &r, uint32_t a) {
    blit_blend(s, d, r.x0, r.y0, r.x1, r.y1, r.dx, r.dy, int32_t(a));
}
void alpha(const Image *s, Image *d, const BlitRect &r, uint32_t) {
    blit_alpha(s, d, r.x0, r.y0, r.x1, r.y1, r.dx, r.dy);
}
void average(const Image *s, Image *d, const BlitRect &r, uint32_t) {
    blit_average(s, d, r.x0, r.y0, r.x1, r.y1, r.dx, r.dy);
}

Image *picture(int32_t w, int32_t h, const Words &words) {
    Image *image = image_create(w, h, 0);
    std::memcpy(image->pixels, words.data(), std::min<size_t>(words.size(), size_t(w) * h) * 4);
    return image;
}

// Blits a row of 5 pixels (the packed path does 4 together and the last one singly) onto
// another with has_mmx = packed, and returns the destination row.
Words after(Blit blit, const Words &src, const Words &dst, uint32_t extra, int32_t packed) {
    Image *s = picture(5, 1, src), *d = picture(5, 1, dst);
    int32_t saved = has_mmx;
    has_mmx = packed;
    blit(s, d, {0, 0, 5, 1, 0, 0}, extra);
    has_mmx = saved;
    Words out(d->pixels, d->pixels + 5);
    image_free(s);
    image_free(d);
    return out;
}

} // namespace

// Source 16 x 8 into a destination 10 x 6.
TEST(BlitClip, TrimsOrRejectsLikeTheEdgesSay) {
    const struct {
        const char *what;
        BlitRect in;
        int accepted;
        BlitRect out;
    } cases[] = {
        {"inside", {1, 1, 5, 4, 2, 2}, 1, {1, 1, 5, 4, 2, 2}},
        {"partly left: the source start moves too", {0, 0, 4, 4, -1, 0}, 1, {1, 0, 4, 4, 0, 0}},
        {"entirely left", {0, 0, 4, 4, -4, 0}, 0, {}},
        {"partly above", {2, 2, 6, 6, 3, -3}, 1, {2, 5, 6, 6, 3, 0}},
        {"partly right and below", {0, 0, 8, 8, 6, 3}, 1, {0, 0, 4, 3, 6, 3}},
        {"starting exactly at the right edge", {0, 0, 4, 4, 10, 0}, 0, {}},
        {"source left of its picture", {-3, 0, 2, 2, 0, 0}, 1, {0, 0, 2, 2, 3, 0}},
        {"source past its right end", {12, 0, 20, 2, 0, 0}, 1, {12, 0, 16, 2, 0, 0}},
        {"source starting at its right end", {16, 0, 20, 2, 0, 0}, 0, {}},
        {"every side at once", {-2, -2, 30, 30, -4, -4}, 1, {2, 2, 12, 8, 0, 0}},
        {"far outside", {0, 0, 4, 4, INT32_MAX - 2, INT32_MIN + 1}, 0, {}},
        {"huge", {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, 0, 0}, 0, {}},
    };
    for (const auto &c : cases) {
        BlitRect r = c.in;
        ASSERT_EQ(blit_clip(&r, 16, 8, 10, 6), c.accepted) << c.what;
        EXPECT_TRUE(!c.accepted || (r.x0 == c.out.x0 && r.y0 == c.out.y0 && r.x1 == c.out.x1 &&
                                    r.y1 == c.out.y1 && r.dx == c.out.dx && r.dy == c.out.dy))
            << c.what << ": got " << r.x0 << "," << r.y0 << " " << r.x1 << "," << r.y1 << " to "
            << r.dx << "," << r.dy;
    }
}

// The per-pixel rules, on both paths.
TEST(BlitPixels, FollowTheRulesOnBothPaths) {
    for (int32_t packed : {0, 1}) {
        SCOPED_TRACE(packed ? "packed" : "plain");
        const Words full(5, 0xDEADBEEF);
        // Key: any one colour byte equal to the key's keeps the pixel out; red 0 keys out
        // every pixel with red 0.
        EXPECT_EQ(after(key,
                        {word(9, 0, 1, 2), word(9, 1, 50, 2), word(9, 1, 2, 60), word(9, 1, 2, 3),
                         word(0x77, 255, 255, 255)},
                        full, word(0x77, 0, 50, 60), packed),
                  Words({0xDEADBEEF, 0xDEADBEEF, 0xDEADBEEF, word(9, 1, 2, 3),
                         word(0x77, 255, 255, 255)}));
        // Masked: only the mask byte decides, whatever the colour.
        EXPECT_EQ(after(masked,
                        {word(0, 1, 114, 255), word(1, 1, 2, 3), word(255, 4, 5, 6), 0,
                         word(0x80, 9, 9, 9)},
                        full, 0, packed),
                  Words({word(0, 1, 114, 255), 0xDEADBEEF, 0xDEADBEEF, 0, 0xDEADBEEF}));
        // Blend: 255 darkens src by src / 256, 0 leaves dst * 255 / 256, dst keeps its mask;
        // 128: (255*128 + 100*127) >> 8 = 177, (200*128) >> 8 = 100, (255*127) >> 8 = 126.
        const Words s(5, word(0x11, 255, 200, 0)), d(5, word(0x22, 100, 0, 255));
        EXPECT_EQ(after(blend, s, d, 255, packed), Words(5, word(0x22, 254, 199, 0)));
        EXPECT_EQ(after(blend, s, d, 0, packed), Words(5, word(0x22, 99, 0, 254)));
        EXPECT_EQ(after(blend, s, d, 128, packed), Words(5, word(0x22, 177, 100, 126)));
        // Alpha: the weight is each source pixel's mask byte.
        // 64: (200*64 + 40*191) >> 8 = 79, (100*64 + 40*191) >> 8 = 54, (40*191) >> 8 = 29.
        EXPECT_EQ(after(alpha,
                        {word(0, 200, 200, 200), word(255, 200, 200, 200), word(64, 200, 100, 0),
                         word(128, 0, 0, 0), word(255, 255, 255, 255)},
                        Words(5, word(0x5A, 40, 40, 40)), 0, packed),
                  Words({word(0x5A, 39, 39, 39), word(0x5A, 199, 199, 199), word(0x5A, 79, 54, 29),
                         word(0x5A, 19, 19, 19), word(0x5A, 254, 254, 254)}));
        // Average: truncated halves, dst keeps its mask.
        EXPECT_EQ(
            after(average, Words(5, word(0xFF, 255, 3, 0)), Words(5, word(1, 0, 4, 1)), 0, packed),
            Words(5, word(1, 127, 3, 0)));
    }
}

// Rows long enough for two passes of sixteen, and the odd pixels after them, on both paths.
TEST(BlitPaths, LongRowsLandWordForWordWhereTheySay) {
    Words words(37 * 2);
    for (size_t i = 0; i < words.size(); i++) words[i] = uint32_t(i) * 0x01030507u + 1;
    for (int32_t packed : {0, 1}) {
        Image *src = picture(37, 2, words), *dst = picture(41, 4, Words(41 * 4, 0xEEEEEEEE));
        has_mmx = packed;
        blit_copy(src, dst, 0, 0, 37, 2, 3, 1);
        for (int32_t y = 0; y < 4; y++)
            for (int32_t x = 0; x < 41; x++) {
                const bool inside = y >= 1 && y <= 2 && x >= 3 && x < 40;
                const uint32_t want =
                    inside ? words[size_t(y - 1) * 37 + size_t(x - 3)] : 0xEEEEEEEE;
                ASSERT_EQ(dst->pixels[y * 41 + x], want) << packed << ": " << x << "," << y;
            }
        image_free(src);
        image_free(dst);
    }
    cpu_detect();
}

// Random pictures and rectangles, many of them clipped: the packed path must give the plain
// path's pixels, and neither may touch a pixel outside the clipped destination rectangle or the
// spare bytes after the last row.
TEST(BlitPaths, GiveTheSamePixelsOnRandomPicturesAndRectangles) {
    const Blit blits[] = {copy, key, masked, blend, alpha, average};
    std::mt19937 rng(20261206);
    auto random_picture = [&](int32_t w, int32_t h) {
        Words words(size_t(w) * h);
        for (uint32_t &p : words) {
            p = rng();
            if (rng() % 3 == 0) p &= 0xFFFFFF00; // mask bytes 0 and 255 and colour bytes
            if (rng() % 5 == 0) p |= 0xFF;       // equal to a key's are all frequent
            if (rng() % 4 == 0) p = (p & 0xFFFF00FF) | 0x4000;
        }
        return picture(w, h, words);
    };
    int drawn = 0;
    for (int round = 0; round < 300; round++) {
        Image *src = random_picture(1 + rng() % 40, 1 + rng() % 20);
        Image *dst = random_picture(1 + rng() % 40, 1 + rng() % 20);
        int32_t dw = dst->width, dh = dst->height;
        auto start = [&](int32_t side) { return int32_t(rng() % (side + 4)) - 2; };
        auto length = [&](int32_t side) { return int32_t(rng() % (side + 3)) - (rng() % 8 == 0); };
        BlitRect r{start(src->width), start(src->height), 0, 0, start(dw), start(dh)};
        r.x1 = r.x0 + length(src->width);
        r.y1 = r.y0 + length(src->height);
        BlitRect c = r;
        bool accepted = blit_clip(&c, src->width, src->height, dw, dh);
        drawn += accepted;
        uint32_t extra = rng() & 0xFF;
        for (Blit blit : blits) {
            Words before(dst->pixels, dst->pixels + dw * dh), result[2];
            for (int32_t packed : {0, 1}) {
                Image *out = picture(dw, dh, before);
                std::memset(out->pixels + dw * dh, 0xA5, IMG_PIXEL_SLACK);
                has_mmx = packed;
                blit(src, out, r, extra);
                result[packed].assign(out->pixels, out->pixels + dw * dh + IMG_PIXEL_SLACK / 4);
                image_free(out);
            }
            ASSERT_EQ(result[0], result[1]) << "round " << round;
            for (int32_t i = 0; i < dw * dh + int32_t(IMG_PIXEL_SLACK / 4); i++) {
                int32_t x = i % dw, y = i / dw;
                bool inside = accepted && x >= c.dx && y >= c.dy && x < c.dx + c.x1 - c.x0 &&
                              y < c.dy + c.y1 - c.y0;
                uint32_t old = i < dw * dh ? before[i] : 0xA5A5A5A5;
                ASSERT_TRUE(inside || result[1][i] == old) << "round " << round << " pixel " << i;
            }
        }
        image_free(src);
        image_free(dst);
    }
    cpu_detect();
    EXPECT_GT(drawn, 60) << "too few rectangles survived clipping to prove anything";
}

// A texture whose texels hash their place, shades that keep colour and shade apart, and an even
// grid: u = x / 2 + u0, v = y + v0, shade = the grid column or a constant.
struct Warp {
    std::vector<GridPoint> grid = std::vector<GridPoint>(GRID_COLUMNS * GRID_ROWS);
    Words shades = Words(65536);
    Image *texture = image_create(256, 256, 0), *dst = image_create(512, 256, 0);

    Warp(float u0, float v0, float shade) {
        for (int i = 0; i < 256 * 256; i++) texture->pixels[i] = (i * 7 + (i >> 8) * 13) & 255;
        for (int i = 0; i < 65536; i++) shades[i] = 0x10000000u | uint32_t(i) << 8;
        for (int i = 0; i < GRID_COLUMNS; i++)
            for (int j = 0; j < GRID_ROWS; j++)
                grid[i * GRID_ROWS + j] = {4.0f * i + u0, 8.0f * j + v0, shade < 0 ? i : shade};
    }
    ~Warp() {
        image_free(texture);
        image_free(dst);
    }
    Words run() {
        grid_warp(grid.data(), texture, shades.data(), dst);
        return Words(dst->pixels, dst->pixels + 512 * 256);
    }
};

// Both triangles of every block must give the even map exactly, whatever whole multiple of 256
// is added to u. A change to the last grid point reaches only the lower-right triangle of the
// last block, and not the first pixel of its rows (they start on the edge from the top-right
// corner). Pictures of the wrong size are left alone.
TEST(GridWarp, MapsEachBlockAsTwoTriangles) {
    for (float u0 : {3.0f, 256.0f * 300 + 3, -256.0f * 7 + 3}) {
        Warp w(u0, 0.75f, -1);
        Words out = w.run();
        for (int y = 0; y < 256; y++)
            for (int x = 0; x < 512; x++) {
                uint32_t texel = w.texture->pixels[y * 256 + ((x / 2 + 3) & 255)];
                ASSERT_EQ(out[y * 512 + x], w.shades[texel * 256 + x / 8]) << x << "," << y;
            }
    }
    Warp w(0, 0, 100);
    Words before = w.run();
    w.grid.back().s = 164.0f;
    Words after = w.run();
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 512; x++) {
            bool changes = x >= 504 && y >= 248 && (x - 504) + (y - 248) >= 9;
            ASSERT_EQ(before[y * 512 + x] != after[y * 512 + x], changes) << x << "," << y;
        }
    Image *narrow = image_create(128, 256, 0);
    grid_warp(w.grid.data(), narrow, w.shades.data(), w.dst);
    grid_warp(w.grid.data(), w.texture, w.shades.data(), narrow);
    EXPECT_EQ(Words(w.dst->pixels, w.dst->pixels + 512 * 256), after);
    EXPECT_EQ(Words(narrow->pixels, narrow->pixels + 128 * 256), Words(128 * 256, 0));
    image_free(narrow);
}

// Whole numbers of a grid point, truncated toward zero, and a pixel's value worked out in
// eighths: the upper-left triangle (dx + dy <= 7) from the top-left corner along the top and
// left edges, the lower-right one from the top-right corner down the anti-diagonal and then
// along the bottom edge, floored.
static int32_t warp_reference(float tl, float tr, float bl, float br, int32_t dx, int32_t dy) {
    const int32_t a = int32_t(tl), b = int32_t(tr), c = int32_t(bl), d = int32_t(br);
    const int32_t eighths = dx + dy <= 7 ? 8 * a + dx * (b - a) + dy * (c - a)
                                         : 8 * b + dy * (c - b) + (dx + dy - 8) * (d - c);
    return eighths >= 0 ? eighths / 8 : -((-eighths + 7) / 8);
}

TEST(GridWarp, UnevenGridsTruncateTheirPointsAndFloorThePixels) {
    Warp w(0, 0, 0);
    for (int i = 0; i < GRID_COLUMNS; i++)
        for (int j = 0; j < GRID_ROWS; j++)
            w.grid[i * GRID_ROWS + j] = {-37.3f + 5.7f * i - 2.9f * j, 11.6f - 3.3f * i + 4.45f * j,
                                         20.5f - 2.2f * i + 1.3f * j};
    const Words out = w.run();
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 512; x++) {
            const GridPoint *tl = &w.grid[(x / 8) * GRID_ROWS + y / 8], *bl = tl + 1;
            const GridPoint *tr = tl + GRID_ROWS, *br = tr + 1;
            int32_t value[3];
            for (int k = 0; k < 3; k++) {
                auto f = [k](const GridPoint *p) { return k == 0 ? p->u : k == 1 ? p->v : p->s; };
                value[k] = warp_reference(f(tl), f(tr), f(bl), f(br), x % 8, y % 8) & 255;
            }
            const uint32_t texel = w.texture->pixels[value[1] * 256 + value[0]];
            ASSERT_EQ(out[y * 512 + x], w.shades[texel * 256 + uint32_t(value[2])])
                << x << "," << y;
        }
}
