// Tests of the blit family, its clipping, its two paths and the grid warp.

#include "data/blit.h"
#include "data/cpu.h"
#include "data/image.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

// Chooses the plain or the packed path for the life of the object.
struct PathChoice {
    int32_t saved = has_mmx;
    explicit PathChoice(int32_t packed) { has_mmx = packed; }
    ~PathChoice() { has_mmx = saved; }
};

constexpr uint32_t word(uint32_t mask, uint32_t r, uint32_t g, uint32_t b) {
    return mask | r << 8 | g << 16 | b << 24;
}

Image *picture(int32_t w, int32_t h, std::vector<uint32_t> words) {
    Image *image = image_create(w, h, 0);
    if (image && !words.empty()) std::memcpy(image->pixels, words.data(), words.size() * 4);
    return image;
}

} // namespace

struct ClipCase {
    const char *what;
    BlitRect in;
    int accepted;
    BlitRect out;
};

// Source 16 x 8 into a destination 10 x 6.
TEST(BlitClip, TrimsOrRejectsLikeTheEdgesSay) {
    const ClipCase cases[] = {
        {"inside", {1, 1, 5, 4, 2, 2}, 1, {1, 1, 5, 4, 2, 2}},
        {"partly left: source start moves too", {0, 0, 4, 4, -1, 0}, 1, {1, 0, 4, 4, 0, 0}},
        {"partly above", {2, 2, 6, 6, 3, -3}, 1, {2, 5, 6, 6, 3, 0}},
        {"entirely left", {0, 0, 4, 4, -4, 0}, 0, {}},
        {"entirely above", {0, 0, 4, 4, 0, -5}, 0, {}},
        {"partly right", {0, 0, 8, 2, 6, 0}, 1, {0, 0, 4, 2, 6, 0}},
        {"partly below", {0, 0, 2, 8, 0, 3}, 1, {0, 0, 2, 3, 0, 3}},
        {"starting exactly at the right edge", {0, 0, 4, 4, 10, 0}, 0, {}},
        {"starting exactly at the bottom edge", {0, 0, 4, 4, 0, 6}, 0, {}},
        {"source left of its picture", {-3, 0, 2, 2, 0, 0}, 1, {0, 0, 2, 2, 3, 0}},
        {"source past its right end", {12, 0, 20, 2, 0, 0}, 1, {12, 0, 16, 2, 0, 0}},
        {"source starting at its right end", {16, 0, 20, 2, 0, 0}, 0, {}},
        {"empty", {3, 3, 3, 5, 0, 0}, 0, {}},
        {"reversed", {5, 3, 2, 5, 0, 0}, 0, {}},
        {"every side at once", {-2, -2, 30, 30, -4, -4}, 1, {2, 2, 12, 8, 0, 0}},
        {"far outside", {0, 0, 4, 4, INT32_MAX - 2, INT32_MIN + 1}, 0, {}},
        {"huge", {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, 0, 0}, 0, {}},
    };
    for (const ClipCase &c : cases) {
        BlitRect r = c.in;
        ASSERT_EQ(blit_clip(&r, 16, 8, 10, 6), c.accepted) << c.what;
        if (!c.accepted) continue;
        EXPECT_EQ(r.x0, c.out.x0) << c.what;
        EXPECT_EQ(r.y0, c.out.y0) << c.what;
        EXPECT_EQ(r.x1, c.out.x1) << c.what;
        EXPECT_EQ(r.y1, c.out.y1) << c.what;
        EXPECT_EQ(r.dx, c.out.dx) << c.what;
        EXPECT_EQ(r.dy, c.out.dy) << c.what;
    }
}

// The per-pixel rules, checked on both paths. Rows are 5 pixels wide so that the packed path
// has a tail to do singly.
class BlitPixels : public testing::TestWithParam<int32_t> {
  protected:
    PathChoice path{GetParam()};
};

INSTANTIATE_TEST_SUITE_P(Paths, BlitPixels, testing::Values(0, 1),
                         [](const auto &info) { return info.param ? "packed" : "plain"; });

TEST_P(BlitPixels, KeySkipsAPixelWhenAnyColourByteMatches) {
    const uint32_t key = word(0x77, 0, 50, 60);
    Image *src = picture(5, 1,
                         {word(9, 0, 1, 2), word(9, 1, 50, 2), word(9, 1, 2, 60), word(9, 1, 2, 3),
                          word(0x77, 255, 255, 255)});
    Image *dst = picture(5, 1, std::vector<uint32_t>(5, 0xDEADBEEF));
    blit_key(src, dst, 0, 0, 5, 1, 0, 0, key);
    EXPECT_EQ(dst->pixels[0], 0xDEADBEEFu) << "red 0 equals the key's red";
    EXPECT_EQ(dst->pixels[1], 0xDEADBEEFu) << "green alone matches";
    EXPECT_EQ(dst->pixels[2], 0xDEADBEEFu) << "blue alone matches";
    EXPECT_EQ(dst->pixels[3], word(9, 1, 2, 3)) << "copied whole, mask byte included";
    EXPECT_EQ(dst->pixels[4], word(0x77, 255, 255, 255)) << "the mask byte is no colour";
    image_free(src);
    image_free(dst);
}

TEST_P(BlitPixels, MaskedCopiesExactlyThePixelsWithMaskByteZero) {
    Image *src = picture(5, 1,
                         {word(0, 1, 114, 255), word(1, 1, 2, 3), word(255, 4, 5, 6),
                          word(0, 0, 0, 0), word(0x80, 9, 9, 9)});
    Image *dst = picture(5, 1, std::vector<uint32_t>(5, 0x12345678));
    blit_masked(src, dst, 0, 0, 5, 1, 0, 0);
    EXPECT_EQ(dst->pixels[0], word(0, 1, 114, 255)) << "a key-looking colour is still copied";
    EXPECT_EQ(dst->pixels[1], 0x12345678u);
    EXPECT_EQ(dst->pixels[2], 0x12345678u);
    EXPECT_EQ(dst->pixels[3], 0u);
    EXPECT_EQ(dst->pixels[4], 0x12345678u);
    image_free(src);
    image_free(dst);
}

TEST_P(BlitPixels, BlendWeighsByAlphaAndKeepsTheDestinationMask) {
    const uint32_t s = word(0x11, 255, 200, 0), d = word(0x22, 100, 0, 255);
    Image *src = picture(5, 1, std::vector<uint32_t>(5, s));
    Image *dst = picture(5, 1, std::vector<uint32_t>(5, d));
    blit_blend(src, dst, 0, 0, 5, 1, 0, 0, 255);
    for (int i = 0; i < 5; i++)
        EXPECT_EQ(dst->pixels[i], word(0x22, 254, 199, 0)) << "full strength darkens by src/256";
    std::vector<uint32_t> fresh(5, d);
    std::memcpy(dst->pixels, fresh.data(), 20);
    blit_blend(src, dst, 0, 0, 5, 1, 0, 0, 0);
    EXPECT_EQ(dst->pixels[4], word(0x22, 99, 0, 254)) << "alpha 0 leaves dst * 255 / 256";
    std::memcpy(dst->pixels, fresh.data(), 20);
    blit_blend(src, dst, 0, 0, 5, 1, 0, 0, 128);
    // (255*128 + 100*127) >> 8 = 177, (200*128) >> 8 = 100, (255*127) >> 8 = 126
    EXPECT_EQ(dst->pixels[2], word(0x22, 177, 100, 126));
    std::memcpy(dst->pixels, fresh.data(), 20);
    blit_blend(src, dst, 0, 0, 5, 1, 0, 0, 1000);
    EXPECT_EQ(dst->pixels[0], word(0x22, 254, 199, 0)) << "alpha above 255 counts as 255";
    image_free(src);
    image_free(dst);
}

TEST_P(BlitPixels, AlphaTakesTheWeightFromEachSourceMaskByte) {
    Image *src = picture(5, 1,
                         {word(0, 200, 200, 200), word(255, 200, 200, 200), word(64, 200, 100, 0),
                          word(128, 0, 0, 0), word(255, 255, 255, 255)});
    Image *dst = picture(5, 1, std::vector<uint32_t>(5, word(0x5A, 40, 40, 40)));
    blit_alpha(src, dst, 0, 0, 5, 1, 0, 0);
    EXPECT_EQ(dst->pixels[0], word(0x5A, 39, 39, 39));
    EXPECT_EQ(dst->pixels[1], word(0x5A, 199, 199, 199));
    // (200*64 + 40*191) >> 8 = 79, (100*64 + 40*191) >> 8 = 54, (40*191) >> 8 = 29
    EXPECT_EQ(dst->pixels[2], word(0x5A, 79, 54, 29));
    EXPECT_EQ(dst->pixels[3], word(0x5A, 19, 19, 19));
    EXPECT_EQ(dst->pixels[4], word(0x5A, 254, 254, 254));
    image_free(src);
    image_free(dst);
}

TEST_P(BlitPixels, AverageTruncatesAndKeepsTheDestinationMask) {
    Image *src = picture(5, 1, std::vector<uint32_t>(5, word(0xFF, 255, 3, 0)));
    Image *dst = picture(5, 1, std::vector<uint32_t>(5, word(0x01, 0, 4, 1)));
    blit_average(src, dst, 0, 0, 5, 1, 0, 0);
    for (int i = 0; i < 5; i++) EXPECT_EQ(dst->pixels[i], word(0x01, 127, 3, 0));
    image_free(src);
    image_free(dst);
}

TEST_P(BlitPixels, CopyMovesTheClippedRectangleOnly) {
    Image *src = image_create(6, 4, 0), *dst = image_create(5, 3, 0);
    for (int i = 0; i < 24; i++) src->pixels[i] = 0x01000000u * (i + 1);
    blit_copy(src, dst, 1, 1, 6, 4, -1, 1); // one column lost on the left, one row below
    const uint32_t expected[15] = {0,          0,          0,          0,          0,
                                   0x09000000, 0x0A000000, 0x0B000000, 0x0C000000, 0,
                                   0x0F000000, 0x10000000, 0x11000000, 0x12000000, 0};
    for (int i = 0; i < 15; i++) EXPECT_EQ(dst->pixels[i], expected[i]) << "pixel " << i;
    blit_copy(src, nullptr, 0, 0, 1, 1, 0, 0);
    blit_copy(nullptr, dst, 0, 0, 1, 1, 0, 0);
    image_free(src);
    image_free(dst);
}

namespace {

void fill_random(Image *image, std::mt19937 &rng) {
    for (int64_t i = 0; i < int64_t(image->width) * image->height; i++) {
        uint32_t w = rng();
        // Plenty of mask bytes 0 and 255 and of colour bytes equal to a key.
        if (rng() % 3 == 0) w &= 0xFFFFFF00;
        if (rng() % 5 == 0) w |= 0xFF;
        if (rng() % 4 == 0) w = (w & 0xFFFF00FF) | 0x4000;
        image->pixels[i] = w;
    }
}

Image *copy_of(const Image *image) {
    Image *c = image_create(image->width, image->height, 0);
    std::memcpy(c->pixels, image->pixels, size_t(image->width) * image->height * 4);
    return c;
}

using Blit = void (*)(const Image *, Image *, const BlitRect &, std::mt19937 &, uint32_t extra);

void run_copy(const Image *s, Image *d, const BlitRect &r, std::mt19937 &, uint32_t) {
    blit_copy(s, d, r.x0, r.y0, r.x1, r.y1, r.dx, r.dy);
}
void run_key(const Image *s, Image *d, const BlitRect &r, std::mt19937 &, uint32_t extra) {
    blit_key(s, d, r.x0, r.y0, r.x1, r.y1, r.dx, r.dy, extra);
}
void run_masked(const Image *s, Image *d, const BlitRect &r, std::mt19937 &, uint32_t) {
    blit_masked(s, d, r.x0, r.y0, r.x1, r.y1, r.dx, r.dy);
}
void run_blend(const Image *s, Image *d, const BlitRect &r, std::mt19937 &, uint32_t extra) {
    blit_blend(s, d, r.x0, r.y0, r.x1, r.y1, r.dx, r.dy, int32_t(extra & 0xFF));
}
void run_alpha(const Image *s, Image *d, const BlitRect &r, std::mt19937 &, uint32_t) {
    blit_alpha(s, d, r.x0, r.y0, r.x1, r.y1, r.dx, r.dy);
}
void run_average(const Image *s, Image *d, const BlitRect &r, std::mt19937 &, uint32_t) {
    blit_average(s, d, r.x0, r.y0, r.x1, r.y1, r.dx, r.dy);
}

} // namespace

// Random pictures and rectangles, many of them clipped: the packed path must give the plain
// path's pixels, and neither may touch a pixel outside the clipped destination rectangle or the
// spare bytes after the last row.
TEST(BlitPaths, GiveTheSamePixelsOnRandomPicturesAndRectangles) {
    const struct {
        const char *name;
        Blit run;
    } blits[] = {{"copy", run_copy},   {"key", run_key},     {"masked", run_masked},
                 {"blend", run_blend}, {"alpha", run_alpha}, {"average", run_average}};
    std::mt19937 rng(20261206);
    int drawn = 0;
    for (int round = 0; round < 300; round++) {
        Image *src = image_create(1 + rng() % 40, 1 + rng() % 20, 0);
        Image *dst = image_create(1 + rng() % 40, 1 + rng() % 20, 0);
        fill_random(src, rng);
        fill_random(dst, rng);
        // Mostly overlapping both pictures, often sticking out on some side, now and then empty.
        auto start = [&](int32_t side) { return int32_t(rng() % (side + 4)) - 2; };
        auto length = [&](int32_t side) { return int32_t(rng() % (side + 3)) - (rng() % 8 == 0); };
        BlitRect r{start(src->width), start(src->height), 0, 0,
                   start(dst->width), start(dst->height)};
        r.x1 = r.x0 + length(src->width);
        r.y1 = r.y0 + length(src->height);
        BlitRect clipped = r;
        bool accepted = blit_clip(&clipped, src->width, src->height, dst->width, dst->height);
        drawn += accepted;
        uint32_t extra = rng();
        for (const auto &blit : blits) {
            Image *plain = copy_of(dst), *packed = copy_of(dst);
            std::memset(reinterpret_cast<uint8_t *>(packed->pixels + dst->width * dst->height),
                        0xA5, IMG_PIXEL_SLACK);
            {
                PathChoice path(0);
                blit.run(src, plain, r, rng, extra);
            }
            {
                PathChoice path(1);
                blit.run(src, packed, r, rng, extra);
            }
            for (int32_t y = 0; y < dst->height; y++)
                for (int32_t x = 0; x < dst->width; x++) {
                    int32_t i = y * dst->width + x;
                    ASSERT_EQ(plain->pixels[i], packed->pixels[i])
                        << blit.name << " round " << round << " at " << x << "," << y;
                    bool inside = accepted && x >= clipped.dx && y >= clipped.dy &&
                                  x < clipped.dx + clipped.x1 - clipped.x0 &&
                                  y < clipped.dy + clipped.y1 - clipped.y0;
                    if (!inside) {
                        ASSERT_EQ(plain->pixels[i], dst->pixels[i])
                            << blit.name << " wrote outside its rectangle in round " << round;
                    }
                }
            const uint8_t *slack =
                reinterpret_cast<const uint8_t *>(packed->pixels + dst->width * dst->height);
            for (size_t b = 0; b < IMG_PIXEL_SLACK; b++)
                ASSERT_EQ(slack[b], 0xA5) << blit.name << " wrote past the last row";
            image_free(plain);
            image_free(packed);
        }
        image_free(src);
        image_free(dst);
    }
    EXPECT_GT(drawn, 60) << "too few rectangles survived clipping to prove anything";
}

// ---- grid warp ----

namespace {

struct Warp {
    std::vector<GridPoint> grid = std::vector<GridPoint>(GRID_COLUMNS * GRID_ROWS);
    std::vector<uint32_t> shades = std::vector<uint32_t>(65536);
    Image *texture = image_create(256, 256, 0);
    Image *dst = image_create(512, 256, 0);

    Warp() {
        // Texel = a hash of its place; shade word = colour index and shade, told apart.
        for (int i = 0; i < 256 * 256; i++) texture->pixels[i] = (i * 7 + (i >> 8) * 13) & 255;
        for (int i = 0; i < 65536; i++) shades[i] = 0x10000000u | uint32_t(i) << 8;
    }
    ~Warp() {
        image_free(texture);
        image_free(dst);
    }
    GridPoint &at(int i, int j) { return grid[i * GRID_ROWS + j]; }
    void run() { grid_warp(grid.data(), texture, shades.data(), dst); }
    uint32_t expected(int u, int v, int s) const {
        return shades[texture->pixels[(v & 255) * 256 + (u & 255)] * 256 + s];
    }
};

} // namespace

// u = x / 2 + offset, v = y, shade = the grid column: an even map that both triangles of every
// block must reproduce exactly, whatever whole multiple of 256 is added to u.
TEST(GridWarp, MapsAnEvenGridExactlyThroughBothTriangles) {
    for (float offset : {0.0f, 3.0f, 256.0f * 300 + 3, -256.0f * 7 + 3}) {
        Warp w;
        for (int i = 0; i < GRID_COLUMNS; i++)
            for (int j = 0; j < GRID_ROWS; j++)
                w.at(i, j) = {4.0f * i + offset, 8.0f * j + 0.75f, float(i)};
        w.run();
        for (int y = 0; y < 256; y++)
            for (int x = 0; x < 512; x++)
                ASSERT_EQ(w.dst->pixels[y * 512 + x],
                          w.expected(x / 2 + 3 * (offset != 0), y, x / 8))
                    << "offset " << offset << " at " << x << "," << y;
    }
}

// A change to the last grid point reaches only the lower-right triangle of the last block,
// and not its first pixel in each row (that starts on the edge from the top-right corner).
TEST(GridWarp, SplitsEachBlockAlongItsAntiDiagonal) {
    Warp before, after;
    for (Warp *w : {&before, &after})
        for (int i = 0; i < GRID_COLUMNS; i++)
            for (int j = 0; j < GRID_ROWS; j++) w->at(i, j) = {4.0f * i, 8.0f * j, 100.0f};
    after.at(GRID_COLUMNS - 1, GRID_ROWS - 1).s = 164.0f;
    before.run();
    after.run();
    for (int y = 0; y < 256; y++)
        for (int x = 0; x < 512; x++) {
            int bx = x - 504, by = y - 248;
            bool changes = bx >= 0 && by >= 0 && bx + by >= 9;
            ASSERT_EQ(before.dst->pixels[y * 512 + x] != after.dst->pixels[y * 512 + x], changes)
                << "at " << x << "," << y;
        }
}

TEST(GridWarp, LeavesPicturesOfTheWrongSizeAlone) {
    Warp w;
    Image *narrow = image_create(128, 256, 0), *small = image_create(256, 128, 0);
    grid_warp(w.grid.data(), narrow, w.shades.data(), w.dst);
    grid_warp(w.grid.data(), small, w.shades.data(), w.dst);
    grid_warp(w.grid.data(), w.texture, w.shades.data(), narrow);
    for (int i = 0; i < 512 * 256; i++) ASSERT_EQ(w.dst->pixels[i], 0u);
    for (int i = 0; i < 128 * 256; i++) ASSERT_EQ(narrow->pixels[i], 0u);
    image_free(narrow);
    image_free(small);
}
