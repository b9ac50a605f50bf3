// Tests of the additive sprites: scaling and saturation by hand, the packed path against the
// plain one, edges, flares and particles.

#include "engine/render.h"

#include "data/cpu.h"
#include "data/image.h"
#include "data/memory.h"
#include "engine/object.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

class SpriteTest : public ::testing::Test {
  protected:
    void SetUp() override {
        saved_mmx = has_mmx;
        // Exactly sized targets, so that the sanitizer sees any write past them.
        target = image_create(64, 48, 0);
        // A ramp: red = column, green = row, blue 200, mask byte 0x5A.
        ramp = image_create(256, 256, 0);
        for (int y = 0; y < 256; y++)
            for (int x = 0; x < 256; x++) ramp->pixels[y * 256 + x] = pixel_rgb(x, y, 200) | 0x5A;
    }
    void TearDown() override {
        has_mmx = saved_mmx;
        mem_free_all();
    }
    uint32_t at(int x, int y) const { return target->pixels[y * target->width + x]; }

    int32_t saved_mmx = 0;
    Image *target = nullptr;
    Image *ramp = nullptr;
};

} // namespace

TEST_F(SpriteTest, ScalesInEightEightStepsAndSaturates) {
    for (int32_t packed : {0, 1}) {
        has_mmx = packed;
        mem_fill(target->pixels, 0, 64 * 48 * 4);
        target->pixels[20 * 64 + 20] = pixel_rgb(10, 250, 100) | 0x33;
        draw_sprite_add(24, 24, target, ramp, 8); // covers 20..27 both ways
        // Step (256 * 256 - 256) / 8 = 8160: texels 0, 31, 63, 95, ... (31.875 a pixel).
        for (int i = 0; i < 8; i++) {
            const uint32_t texel = static_cast<uint32_t>(8160 * i) >> 8;
            EXPECT_EQ(at(20 + i, 21), pixel_rgb(texel, 31, 200)) << i;
        }
        // Bytes 1..3 saturate; the target's mask byte stays.
        EXPECT_EQ(at(20, 20), pixel_rgb(10, 250, 255) | 0x33);
        EXPECT_EQ(at(19, 24), 0u);
        EXPECT_EQ(at(28, 24), 0u);
        EXPECT_EQ(at(24, 28), 0u);
    }
}

TEST_F(SpriteTest, CutEdgesRespreadTheCoordinates) {
    draw_sprite_add(2, 2, target, ramp, 8); // columns and rows -2..5
    // Two pixels cut: start at 2 * 8160, the rest spread over six pixels with the same step.
    EXPECT_EQ(at(0, 0), pixel_rgb(63, 63, 200));
    EXPECT_EQ(at(5, 5), pixel_rgb(223, 223, 200));
    EXPECT_EQ(at(6, 0), 0u);
    // A 256-pixel sprite steps 255 a pixel: cut by 129 columns it starts at 129 x 255 = 32895,
    // texel 128; row 24 lies 104 + 24 rows in, 128 x 255 = 32640, texel 127.
    mem_fill(target->pixels, 0, 64 * 48 * 4);
    draw_sprite_add(-1, 24, target, ramp, 256);
    EXPECT_EQ(at(0, 24), pixel_rgb(128, 127, 200));
    // Wholly off, or a side below two pixels: nothing.
    mem_fill(target->pixels, 0, 64 * 48 * 4);
    draw_sprite_add(-8, 10, target, ramp, 16);
    draw_sprite_add(70, 10, target, ramp, 8);
    draw_sprite_add(10, 10, target, ramp, 1);
    draw_sprite_add(64 + 4, 48 + 4, target, ramp, 8); // first column and row at the far edges
    draw_sprite_add(64 + 4, 24, target, ramp, 8);     // only the first column at the far edge
    draw_sprite_add(24, 48 + 4, target, ramp, 8);     // only the first row
    for (int i = 0; i < 64 * 48; i++) ASSERT_EQ(target->pixels[i], 0u) << i;
}

TEST_F(SpriteTest, PackedAndPlainPathsGiveTheSamePixels) {
    std::mt19937 rng(3);
    Image *noise = image_create(100, 37, 0); // not 256 wide: rows must follow the picture
    for (int i = 0; i < 100 * 37; i++) noise->pixels[i] = rng();
    Image *plain = image_create(64, 48, 0), *packed = image_create(64, 48, 0);
    for (int i = 0; i < 64 * 48; i++) plain->pixels[i] = packed->pixels[i] = rng();
    for (int n = 0; n < 300; n++) {
        const int x = static_cast<int>(rng() % 120) - 28, y = static_cast<int>(rng() % 100) - 26;
        const int s = static_cast<int>(rng() % 90);
        const Image *sprite = (n & 1) ? noise : ramp;
        has_mmx = 0;
        draw_sprite_add(x, y, plain, sprite, s);
        has_mmx = 1;
        draw_sprite_add(x, y, packed, sprite, s);
    }
    EXPECT_EQ(std::vector<uint32_t>(plain->pixels, plain->pixels + 64 * 48),
              std::vector<uint32_t>(packed->pixels, packed->pixels + 64 * 48));
}

TEST_F(SpriteTest, FlaresAndParticlesBySize) {
    Face *f = new_faces(1);
    f->flags = FACE_FLARE;
    f->v[0] = Vec3{30, 20, 0};
    // No picture: one white pixel, and none on the border row or column 0.
    draw_flare(f, target);
    EXPECT_EQ(at(30, 20), COLOUR_WHITE);
    f->v[0] = Vec3{0, 20, 0};
    draw_flare(f, target);
    EXPECT_EQ(at(0, 20), 0u);
    // Projected size 7 is too small; 8 at depth 0 draws an 8-pixel sprite.
    mem_fill(target->pixels, 0, 64 * 48 * 4);
    f->texture[0] = ramp;
    f->v[0] = Vec3{30, 20, 0};
    f->projected_size = 7.9f;
    draw_flare(f, target);
    for (int i = 0; i < 64 * 48; i++) ASSERT_EQ(target->pixels[i], 0u);
    f->projected_size = 8.0f;
    draw_flare(f, target);
    EXPECT_EQ(at(26, 16), pixel_rgb(0, 0, 200));
    EXPECT_EQ(at(25, 16), 0u);
    // Particles: size 2/3 and depth / 16, then an eighth. size 96 -> 64, z -64 -> +4 -> 68 / 8.
    mem_fill(target->pixels, 0, 64 * 48 * 4);
    draw_particle(Vec3{30, 20, -64}, 96.0f, ramp, target);
    EXPECT_EQ(at(26, 16), pixel_rgb(0, 0, 200));
    EXPECT_EQ(at(25, 16), 0u);
    mem_fill(target->pixels, 0, 64 * 48 * 4);
    draw_particle(Vec3{30, 20, 0}, 96.0f, ramp, target); // 64 / 8 = 8: still drawn
    draw_particle(Vec3{30, 20, 0}, 95.0f, nullptr, target);
    draw_particle(Vec3{10, 10, 1}, 96.0f, ramp, target); // 63 / 8 = 7: too small
    EXPECT_EQ(at(10, 10), 0u);
    EXPECT_NE(at(30, 20), 0u);
}

// On the eye plane a sprite projects to an infinite or undefined place and size: it is dropped
// whole (the sanitizer build checks that no arithmetic on it overflows).
TEST_F(SpriteTest, SpritesOnTheEyePlaneAreDropped) {
    RenderView *view = view_create(64, 48, 400);
    ASSERT_NE(view, nullptr);
    Face *f = new_faces(1);
    f->texture[0] = ramp;
    f->flare_radius = 5.0f;
    for (int kind : {FACE_PARTICLE, FACE_FLARE}) {
        for (float x : {0.0f, 1.0f, -1.0f}) {
            f->flags = kind;
            for (Vec3 &v : f->v) v = Vec3{x, x, -400.0f};
            for (int32_t mmx : {0, 1}) {
                has_mmx = mmx;
                submit_face(view, f, target);
            }
        }
    }
    for (int i = 0; i < 64 * 48; i++) ASSERT_EQ(target->pixels[i], 0u) << i;
}
