// writers_test.cpp -- the forge's file writers, byte for byte against the formats
#include "bytes.h"
#include "lwo_write.h"
#include "lws_write.h"
#include "picture_write.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<uint8_t> bytes_of(std::initializer_list<int> list) {
    return std::vector<uint8_t>(list.begin(), list.end());
}

void append(std::vector<uint8_t> *to, std::initializer_list<int> list) {
    to->insert(to->end(), list.begin(), list.end());
}

TEST(TgaWriter, EncodesRunsAndLiteralsBottomRowFirst) {
    // Top row: red, red, blue; bottom row: three greens.
    const uint8_t rgb[] = {255, 0, 0, 255, 0, 0, 0, 0, 255, 0, 9, 0, 0, 9, 0, 0, 9, 0};
    Bytes out;
    tga_encode(&out, 3, 2, rgb);
    std::vector<uint8_t> want = bytes_of({0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 2, 0, 24, 0});
    // Bottom row: one run of three greens (stored blue, green, red).
    append(&want, {0x82, 0, 9, 0});
    // Top row: a run of two reds, then a literal of one blue.
    append(&want, {0x81, 0, 0, 255, 0x00, 255, 0, 0});
    EXPECT_EQ(out.data, want);
}

const float tri_points[] = {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0.5f};
const LwoSurface tri_surfaces[] = {{"Moor", 10, 20, 30, 0},
                                   {"Glass", 200, 210, 220, LWO_DOUBLE_SIDED}};

TEST(LwoWriter, SmallObjectMatchesReferenceBytes) {
    const LwoTriangle tri[] = {{{0, 1, 2}, 0}};
    LwoMesh mesh{3, tri_points, 1, tri, 1, tri_surfaces};
    Bytes out;
    ASSERT_TRUE(lwo_encode(&out, &mesh));
    std::vector<uint8_t> want = bytes_of(
        {'F', 'O', 'R', 'M', 0, 0, 0, 112, 'L', 'W', 'O', 'B', 'P', 'N', 'T', 'S', 0, 0, 0, 36});
    const int floats[9][4] = {{0, 0, 0, 0},       {0, 0, 0, 0},       {0, 0, 0, 0},
                              {0x3F, 0x80, 0, 0}, {0, 0, 0, 0},       {0, 0, 0, 0},
                              {0, 0, 0, 0},       {0x3F, 0x80, 0, 0}, {0, 0, 0, 0}};
    for (auto &f : floats)
        for (int b : f) want.push_back((uint8_t)b);
    // "Moor" + NUL is odd: one pad byte.
    append(&want, {'S', 'R', 'F', 'S', 0, 0, 0, 6, 'M', 'o', 'o', 'r', 0, 0});
    append(&want, {'P', 'O', 'L', 'S', 0, 0, 0, 10, 0, 3, 0, 0, 0, 1, 0, 2, 0, 1});
    append(&want, {'S', 'U', 'R', 'F', 0,  0,  0,  24, 'M', 'o', 'o', 'r', 0, 0, 'C', 'O',
                   'L', 'R', 0,   4,   10, 20, 30, 0,  'F', 'L', 'A', 'G', 0, 2, 0,   0});
    EXPECT_EQ(out.data, want);
}

TEST(LwoWriter, RefusesWhatTheFormatCannotHold) {
    Bytes out;
    const LwoTriangle past_points[] = {{{0, 1, 3}, 0}};
    LwoMesh mesh{3, tri_points, 1, past_points, 1, tri_surfaces};
    EXPECT_FALSE(lwo_encode(&out, &mesh));
    const LwoTriangle past_surfaces[] = {{{0, 1, 2}, 1}};
    mesh.triangles = past_surfaces;
    EXPECT_FALSE(lwo_encode(&out, &mesh));
    const LwoSurface long_name[] = {{"a_surface_name_of_thirty_two_chr", 0, 0, 0, 0}};
    mesh = LwoMesh{3, tri_points, 0, nullptr, 1, long_name};
    EXPECT_FALSE(lwo_encode(&out, &mesh));
    EXPECT_TRUE(out.data.empty());
}

LwsKey key_at(float frame, float z, float heading) {
    return LwsKey{0, 0, z, heading, 0, 0, 1, 1, 1, frame, 0, 0, 0, 0};
}

TEST(LwsWriter, SmallSceneMatchesReferenceText) {
    const LwsKey obj_key[] = {key_at(0, 0, 0)};
    const LwsKey cam_keys[] = {key_at(0, -300, 90), key_at(140, -250.5f, 0)};
    const LwsObject objects[] = {{"NullObject", 1, {1, obj_key}}};
    const LwsLight lights[] = {{{1, obj_key}, 1, 255, 240, 200, 0.75f}};
    LwsScene scene{0, 140, 1, objects, 1, lights, {{2, cam_keys}, 1, 3.2f}};
    Bytes out;
    ASSERT_TRUE(lws_encode(&out, &scene));
    const char *want = "LWSC\r\n1\r\n\r\n"
                       "FirstFrame 0\r\nLastFrame 140\r\nFrameStep 1\r\nFramesPerSecond 70\r\n\r\n"
                       "AddNullObject NullObject\r\nShowObject 6 7\r\n"
                       "ObjectMotion (unnamed)\r\n  9\r\n  1\r\n"
                       "  0 0 0 0 0 0 1 1 1\r\n  0 0 0 0 0\r\n"
                       "EndBehavior 1\r\nShadowOptions 7\r\n\r\n"
                       "AddLight\r\nLightName Light\r\nShowLight 0 7\r\n"
                       "LightMotion (unnamed)\r\n  9\r\n  1\r\n"
                       "  0 0 0 0 0 0 1 1 1\r\n  0 0 0 0 0\r\n"
                       "EndBehavior 1\r\nTargetObject 1\r\nLightColor 255 240 200\r\n"
                       "LgtIntensity 0.75\r\nLightType 1\r\nShadowType 1\r\n\r\n"
                       "ShowCamera 1 7\r\nCameraMotion (unnamed)\r\n  9\r\n  2\r\n"
                       "  0 0 -300 90 0 0 1 1 1\r\n  0 0 0 0 0\r\n"
                       "  0 0 -250.5 0 0 0 1 1 1\r\n  140 0 0 0 0\r\n"
                       "EndBehavior 1\r\nTargetObject 1\r\nZoomFactor 3.2\r\n\r\n";
    EXPECT_EQ(std::string(out.data.begin(), out.data.end()), want);
}

TEST(LwsWriter, RefusesMissingKeysBadPathsAndTargets) {
    const LwsKey k[] = {key_at(0, 0, 0)};
    LwsObject spaced[] = {{"data\\two words.lwo", 0, {1, k}}};
    LwsScene scene{0, 1, 1, spaced, 0, nullptr, {{1, k}, 0, 1}};
    Bytes out;
    EXPECT_FALSE(lws_encode(&out, &scene));
    spaced[0].path = "data\\ok.lwo";
    scene.camera.target = 2;
    EXPECT_FALSE(lws_encode(&out, &scene));
    scene.camera = LwsCamera{{0, nullptr}, 0, 1};
    EXPECT_FALSE(lws_encode(&out, &scene));
}

} // namespace
