// Tests of the particle morph part: the rotozoom's fixed-point stepping, the dissolve from
// white, and refused data. The show's digests pin its frames.

#include "parts/particle_morph.h"

#include "../engine/object_test_files.h"
#include "data/image.h"
#include "engine/object.h"
#include "part_fixture.h"
#include "stage/stage.h"

#include <gmock/gmock.h>

#include <vector>

using ::testing::HasSubstr;

namespace {

constexpr uint32_t WHITE = 0xFFFFFF00u;

// A 256 x 256 texture whose texel n is n << 8: every pixel tells which texel it came from.
Image *numbered_texture() {
    Image *texture = image_create(256, 256, 0);
    for (uint32_t n = 0; n < 65536; n++) texture->pixels[n] = n << 8;
    return texture;
}

uint32_t texel_of(const Image *image, int x, int y) {
    return image->pixels[y * image->width + x] >> 8;
}

TEST(ParticleMorphRotozoom, StepsAndCarriesAsWorkedOutByHand) {
    Image *texture = numbered_texture();
    Image *dst = image_create(512, 256, 0);
    ASSERT_TRUE(texture && dst);
    Rotozoom rz = {256, 128, 0.0f, 1.0f, 0, 0, texture};
    particle_morph_rotozoom(&rz, dst);
    // kc = 65535, ks = 0: u starts at 256, v at 128.0; a row steps just under one texel.
    EXPECT_EQ(texel_of(dst, 0, 0), 128u * 256);
    EXPECT_EQ(texel_of(dst, 1, 0), 128u * 256 + 1);
    EXPECT_EQ(texel_of(dst, 255, 0), 128u * 256 + 255);
    // u reaches 256.0 at column 256: the index carries into the next texture row.
    EXPECT_EQ(texel_of(dst, 256, 0), 129u * 256);
    EXPECT_EQ(texel_of(dst, 0, 1), 128u * 256); // v 128 + 65535/65536
    EXPECT_EQ(texel_of(dst, 0, 2), 129u * 256);
    // Row 255: v = 128 + 255 * 65535 / 65536 = 382.996, which wraps to texture row 126.
    EXPECT_EQ(texel_of(dst, 0, 255), 126u * 256);
    mem_free_all();
}

TEST(ParticleMorphRotozoom, NegativeCoordinatesShiftArithmetically) {
    Image *texture = numbered_texture();
    Image *dst = image_create(512, 256, 0);
    ASSERT_TRUE(texture && dst);
    // Zoom -2 steps backwards: kc = -131070, ks = 0.
    Rotozoom rz = {256, 128, 0.0f, -2.0f, 0, 0, texture};
    particle_morph_rotozoom(&rz, dst);
    EXPECT_EQ(texel_of(dst, 0, 0), 128u * 256 + 767); // u = 196606 * 256 = 767.99 texels
    EXPECT_EQ(texel_of(dst, 384, 0), 128u * 256);     // u = 256
    // u = -130814: -2 after an arithmetic shift, borrowing from the texture row.
    EXPECT_EQ(texel_of(dst, 385, 0), 128u * 256 - 2);
    EXPECT_EQ(texel_of(dst, 511, 0), (128u * 256 - 254) & 0xFFFF);
    mem_free_all();
}

TEST(ParticleMorphDissolve, RevealsBelowTheThresholdAndWhitensTheRest) {
    Image *src = image_create(512, 256, 0), *mask = image_create(512, 256, 0);
    Image *dst = image_create(512, 256, 0);
    ASSERT_TRUE(src && mask && dst);
    for (int i = 0; i < 512 * 256; i++) {
        src->pixels[i] = pixel_rgb(1, 2, 3) | 0x7F; // the mask byte is copied too
        mask->pixels[i] = pixel_rgb(i % 256, 255, 255);
    }
    particle_morph_dissolve(src, mask, dst, 100);
    EXPECT_EQ(dst->pixels[99], pixel_rgb(1, 2, 3) | 0x7F);
    EXPECT_EQ(dst->pixels[100], WHITE); // equal to the threshold: still white
    EXPECT_EQ(dst->pixels[511 + 255 * 512], WHITE);
    particle_morph_dissolve(src, mask, dst, 0);
    for (int i = 0; i < 512 * 256; i++) ASSERT_EQ(dst->pixels[i], WHITE) << i;
    mem_free_all();
}

// A cloud of one small triangle of sparks around the origin, 10 units before the camera, and
// five shapes that move its points to x = 10 * shape number.
struct ParticleMorphTest : PartFixture {
    void SetUp() override {
        PartFixture::SetUp();
        write_jpeg(data + "/ptl_back.jpg", 512, 256, [](int, int) { return ::Rgb{100, 60, 20}; });
        write_jpeg(data + "/ptl_text.jpg", 256, 256, [](int, int) { return ::Rgb{40, 40, 40}; });
        // The left half is revealed at threshold 1, the right half at 201.
        write_jpeg(data + "/ptl_alph.jpg", 512, 256, [](int x, int) {
            return x < 256 ? ::Rgb{0, 0, 0} : ::Rgb{200, 200, 200};
        });
        write_jpeg(data + "/ptl_fmap.jpg", 16, 16, [](int, int) { return ::Rgb{64, 64, 64}; });
        write_cloud("ptl_cloud.lwo", 0.0f, 3);
        for (int k = 1; k <= 5; k++)
            write_cloud("pmorph" + std::to_string(k) + ".lwo", 10.0f * k, 3);
        write_scene("data\\ptl_cloud.lwo");
    }

    // One particle triangle around (x, 0, 0) (its first `points` corners), and unused points.
    void write_cloud(const std::string &name, float x, int points) {
        std::vector<float> xyz = {x, 0.05f, 0, x + 0.05f, -0.05f, 0, x - 0.05f, -0.05f, 0};
        xyz.resize(size_t(points) * 3);
        Bytes pols;
        if (points >= 3) put_polygon(pols, {0, 1, 2}, 1);
        write_data(name, lwob({pnts(xyz), srfs({"QVX_PARTICLE"}), chunk("POLS", pols)}));
    }

    void write_scene(const std::string &object) {
        std::string s = "LWSC\r\n1\r\n\r\n";
        if (!object.empty())
            s += "LoadObject " + object +
                 "\r\nObjectMotion (unnamed)\r\n9\r\n1\r\n0 0 0 0 0 0 1 1 1\r\n0 0 0 0 0\r\n\r\n";
        s += "ShowCamera\r\nCameraMotion (unnamed)\r\n9\r\n1\r\n0 0 -10 0 0 0 1 1 1\r\n"
             "0 0 0 0 0\r\n\r\n";
        write_data("ptl_scen.lws", s);
    }
};

TEST_F(ParticleMorphTest, RefusesDataItWouldMisread) {
    write_jpeg(data + "/ptl_text.jpg", 128, 256, [](int, int) { return ::Rgb{1, 2, 3}; });
    EXPECT_EQ(particle_morph_load(), 0);
    EXPECT_THAT(data_last_error(), HasSubstr("ptl_text.jpg"));
    write_jpeg(data + "/ptl_text.jpg", 256, 256, [](int, int) { return ::Rgb{1, 2, 3}; });
    write_cloud("pmorph4.lwo", 40.0f, 2); // fewer points than the cloud
    EXPECT_EQ(particle_morph_load(), 0);
    EXPECT_THAT(data_last_error(), HasSubstr("pmorph4.lwo"));
    std::filesystem::remove(data + "/pmorph4.lwo");
    EXPECT_EQ(particle_morph_load(), 0);
    EXPECT_THAT(data_last_error(), HasSubstr("pmorph4.lwo"));
    write_scene("");
    EXPECT_EQ(particle_morph_load(), 0);
    EXPECT_THAT(data_last_error(), HasSubstr("ptl_scen.lws"));
    std::filesystem::remove(data + "/ptl_alph.jpg");
    EXPECT_EQ(particle_morph_load(), 0);
    EXPECT_THAT(data_last_error(), HasSubstr("ptl_alph.jpg"));
}

} // namespace
