// Tests of the additive sprites: the packed path against the plain one, and sprites the show
// never draws (off the target, too small, on the eye plane).

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
        // Exactly sized targets, so that the sanitizer sees any write past them.
        target = image_create(64, 48, 0);
        // A ramp: red = column, green = row, blue 200, mask byte 0x5A.
        ramp = image_create(256, 256, 0);
        for (int y = 0; y < 256; y++)
            for (int x = 0; x < 256; x++) ramp->pixels[y * 256 + x] = pixel_rgb(x, y, 200) | 0x5A;
    }
    void TearDown() override {
        cpu_detect();
        mem_free_all();
    }
    uint32_t at(int x, int y) const { return target->pixels[y * target->width + x]; }

    Image *target = nullptr;
    Image *ramp = nullptr;
};

} // namespace

// Sprites wholly off the target, only touching its far edges, or under two pixels wide draw
// nothing; a picture-less flare is one white pixel, never on column 0.
TEST_F(SpriteTest, OutlyingAndTinySpritesDrawNothing) {
    draw_sprite_add(-8, 10, target, ramp, 16);
    draw_sprite_add(70, 10, target, ramp, 8);
    draw_sprite_add(10, 10, target, ramp, 1);
    draw_sprite_add(64 + 4, 48 + 4, target, ramp, 8);    // first column and row at the far edges
    draw_sprite_add(64 + 4, 24, target, ramp, 8);        // only the first column at the far edge
    draw_sprite_add(24, 48 + 4, target, ramp, 8);        // only the first row
    draw_particle(Vec3{10, 10, 1}, 96.0f, ramp, target); // 63 / 8 = 7: too small
    draw_particle(Vec3{30, 20, 0}, 95.0f, nullptr, target);
    Face *f = new_faces(1);
    f->flags = FACE_FLARE;
    f->v[0] = Vec3{0, 20, 0};
    draw_flare(f, target);
    for (int i = 0; i < 64 * 48; i++) ASSERT_EQ(target->pixels[i], 0u) << i;
    f->v[0] = Vec3{30, 20, 0};
    draw_flare(f, target);
    EXPECT_EQ(at(30, 20), COLOUR_WHITE);
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
