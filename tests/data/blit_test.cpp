// Tests of the blit family: its clipping, its two paths against each other on random pictures,
// and the grid warp's refusal of wrong sizes.

#include "data/blit.h"
#include "data/cpu.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

using Words = std::vector<uint32_t>;

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
        // The fused average and key against the two blits, with a second picture keyed over
        // the same columns (mostly; one in five a column to the right) and other rows.
        Image *over = random_picture(src->width + int32_t(rng() % 8 == 0), 1 + rng() % 20);
        BlitRect k{r.x0, start(over->height), r.x1, 0, r.dx + (round % 5 == 0), r.dy + start(dh)};
        k.y1 = k.y0 + length(over->height);
        Words fused[2], apart(dst->pixels, dst->pixels + dw * dh);
        Image *out = picture(dw, dh, apart);
        average(src, out, r, 0);
        key(over, out, k, extra << 8);
        apart.assign(out->pixels, out->pixels + dw * dh);
        for (int32_t packed : {0, 1}) {
            std::memcpy(out->pixels, dst->pixels, size_t(dw) * dh * 4);
            has_mmx = packed;
            blit_average_key(src, r, over, k, out, extra << 8);
            fused[packed].assign(out->pixels, out->pixels + dw * dh);
        }
        EXPECT_EQ(fused[0], apart) << "round " << round;
        EXPECT_EQ(fused[1], apart) << "round " << round;
        std::memcpy(out->pixels, dst->pixels, size_t(dw) * dh * 4);
        blit_average_key(nullptr, r, over, k, out, extra << 8); // nothing to average: the key
        Words keyed_only(out->pixels, out->pixels + dw * dh);
        std::memcpy(out->pixels, dst->pixels, size_t(dw) * dh * 4);
        key(over, out, k, extra << 8);
        EXPECT_EQ(keyed_only, Words(out->pixels, out->pixels + dw * dh)) << "round " << round;
        image_free(out);
        image_free(over);
        image_free(src);
        image_free(dst);
    }
    cpu_detect();
    EXPECT_GT(drawn, 60) << "too few rectangles survived clipping to prove anything";
}

// The grid warp draws only into a 512 x 256 picture and only with its indices; it leaves
// pictures of any other size alone.
TEST(GridWarp, PicturesOfTheWrongSizeAreLeftAlone) {
    std::vector<GridPoint> grid(GRID_COLUMNS * GRID_ROWS, GridPoint{3, 5, 7});
    Words shades(65536, 0x12345678);
    std::vector<uint8_t> indices(WARP_TEXTURE_SIDE * WARP_TEXTURE_SIDE, 0);
    Image *dst = image_create(512, 256, 0), *narrow = image_create(128, 256, 0);
    grid_warp(grid.data(), nullptr, shades.data(), dst);
    grid_warp(grid.data(), indices.data(), shades.data(), narrow);
    EXPECT_EQ(Words(dst->pixels, dst->pixels + 512 * 256), Words(512 * 256, 0));
    EXPECT_EQ(Words(narrow->pixels, narrow->pixels + 128 * 256), Words(128 * 256, 0));
    grid_warp(grid.data(), indices.data(), shades.data(), dst);
    EXPECT_EQ(dst->pixels[0], 0x12345678u) << "the right sizes draw";
    for (Image *image : {dst, narrow}) image_free(image);
}

// Random grids, with coordinates far past 32767 and a point not a number, warped by the packed
// blocks and by the plain ones: the same picture, every texel and shade distinct.
TEST(GridWarp, PackedBlocksDrawWhatThePlainOnesDraw) {
    std::mt19937 rng(31);
    std::vector<uint8_t> indices(WARP_TEXTURE_SIDE * WARP_TEXTURE_SIDE);
    Words shades(65536), drawn[2];
    for (auto &i : indices) i = uint8_t(rng());
    for (uint32_t i = 0; i < shades.size(); i++) shades[i] = i * 2654435761u;
    std::uniform_real_distribution<float> near(-300, 300), far(-1e6f, 1e6f);
    std::vector<GridPoint> grid(GRID_COLUMNS * GRID_ROWS);
    for (GridPoint &p : grid) p = {far(rng), near(rng), near(rng)};
    grid[rng() % grid.size()].v = NAN;
    Image *dst = image_create(512, 256, 0);
    for (int32_t packed : {0, 1}) {
        has_mmx = packed;
        grid_warp(grid.data(), indices.data(), shades.data(), dst);
        drawn[packed].assign(dst->pixels, dst->pixels + 512 * 256);
    }
    cpu_detect();
    EXPECT_EQ(drawn[0], drawn[1]);
    image_free(dst);
}
