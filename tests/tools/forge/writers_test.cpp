// writers_test.cpp -- the forge's file writers, byte for byte and against the show's readers
#include "bytes.h"
#include "lwo_write.h"
#include "lws_write.h"
#include "picture_write.h"

#include "data/image.h"
#include "engine/object.h"
#ifdef FORGE_TEST_SCENE_READER
#include "engine/motion.h"
#include "engine/scene.h"
#endif

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// A fresh folder under /tmp, removed with the test object.
struct TempDir {
    std::string path;
    TempDir() {
        char name[] = "/tmp/forge_test_XXXXXX";
        path = mkdtemp(name);
    }
    ~TempDir() { std::system(("rm -rf " + path).c_str()); }
    std::string file(const char *name) const { return path + "/" + name; }
};

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

// Walks the packets row by row as the show's loader does and checks none crosses a row end.
void expect_rows_closed(const Bytes &tga, int width, int height) {
    size_t at = 18;
    for (int row = 0; row < height; row++) {
        int filled = 0;
        while (filled < width) {
            ASSERT_LT(at, tga.data.size());
            uint8_t h = tga.data[at++];
            int n = (h & 0x7F) + 1;
            at += (h & 0x80) ? 3 : 3 * (size_t)n;
            filled += n;
        }
        ASSERT_EQ(filled, width) << "a packet runs past the end of row " << row;
    }
    EXPECT_EQ(at, tga.data.size());
}

TEST(TgaWriter, LongRowsSplitIntoPacketsThatTheLoaderReadsBack) {
    TempDir dir;
    const int w = 300, h = 5;
    std::vector<uint8_t> rgb((size_t)w * h * 3);
    for (int y = 0; y < h; y++) {
        for (int x = 0; x < w; x++) {
            uint8_t *p = &rgb[((size_t)y * w + x) * 3];
            // Row 0 one long run, row 1 all different, the rest mixed runs and literals.
            int v = y == 0 ? 7 : (y == 1 ? x : (x / 3) * (y + 1));
            p[0] = (uint8_t)v, p[1] = (uint8_t)(v * 3), p[2] = (uint8_t)(255 - v);
        }
    }
    Bytes out;
    tga_encode(&out, w, h, rgb.data());
    expect_rows_closed(out, w, h);
    ASSERT_TRUE(bytes_save(&out, dir.file("long.tga").c_str()));
    Image *img = load_tga(dir.file("long.tga").c_str(), 0);
    ASSERT_NE(img, nullptr);
    ASSERT_EQ(img->width, w);
    ASSERT_EQ(img->height, h);
    for (int i = 0; i < w * h; i++) {
        const uint8_t *p = &rgb[(size_t)i * 3];
        ASSERT_EQ(img->pixels[i], pixel_rgb(p[0], p[1], p[2])) << "pixel " << i;
    }
    image_free(img);
}

TEST(JpegWriter, ThreeComponentPictureLoadsCloseToItsPixels) {
    TempDir dir;
    const int w = 64, h = 32;
    std::vector<uint8_t> rgb((size_t)w * h * 3);
    for (int i = 0; i < w * h; i++) {
        rgb[i * 3] = (uint8_t)(i % w * 4);
        rgb[i * 3 + 1] = (uint8_t)(i / w * 8);
        rgb[i * 3 + 2] = 128;
    }
    ASSERT_TRUE(jpeg_save(dir.file("g.jpg").c_str(), w, h, rgb.data(), 92));
    Image *img = load_jpeg(dir.file("g.jpg").c_str(), 0);
    ASSERT_NE(img, nullptr);
    ASSERT_EQ(img->width, w);
    ASSERT_EQ(img->height, h);
    int worst = 0;
    for (int i = 0; i < w * h; i++) {
        for (int c = 0; c < 3; c++) {
            int got = (int)(img->pixels[i] >> (8 * (c + 1)) & 0xFF);
            worst = std::max(worst, std::abs(got - rgb[i * 3 + c]));
        }
    }
    EXPECT_LE(worst, 6);
    image_free(img);
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

TEST(LwoWriter, ObjectReaderSeesTheCountsSurfacesAndWinding) {
    TempDir dir;
    const LwoTriangle tris[] = {{{0, 1, 2}, 0}, {{1, 3, 2}, 1}};
    LwoMesh mesh{4, tri_points, 2, tris, 2, tri_surfaces};
    std::string path = dir.file("quad.lwo");
    ASSERT_TRUE(lwo_save(path.c_str(), &mesh));
    SceneObject *obj = load_object(path.c_str(), 1.0f);
    ASSERT_NE(obj, nullptr);
    EXPECT_EQ(obj->point_count, 4);
    EXPECT_EQ(obj->face_count, 2);
    ASSERT_EQ(obj->surface_count, 2);
    EXPECT_STREQ(obj->surfaces[1].name, "Glass");
    EXPECT_EQ(obj->surfaces[0].colour, pixel_rgb(10, 20, 30));
    EXPECT_EQ(obj->faces[0].flags, 0x101);
    EXPECT_EQ(obj->faces[1].flags, 0x501); // the double-sided surface
    // The reader reverses the order of the written indices.
    EXPECT_EQ(obj->faces[1].point_index[0], 2);
    EXPECT_EQ(obj->faces[1].point_index[2], 1);
    EXPECT_FLOAT_EQ(obj->points[3].z, 0.5f);
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

#ifdef FORGE_TEST_SCENE_READER
TEST(LwsWriter, SceneReaderSeesObjectsLightsTargetsAndKeys) {
    TempDir dir;
    const LwoTriangle tris[] = {{{0, 1, 2}, 0}};
    LwoMesh mesh{3, tri_points, 1, tris, 1, tri_surfaces};
    std::string obj_path = dir.file("tri.lwo");
    ASSERT_TRUE(lwo_save(obj_path.c_str(), &mesh));
    const LwsKey one[] = {key_at(0, 0, 0)};
    const LwsKey three[] = {key_at(0, -300, 90), key_at(70, -200, 45), key_at(140, -100, 0)};
    const LwsObject objects[] = {{obj_path.c_str(), 0, {3, three}}, {"NullTarget", 1, {1, one}}};
    const LwsLight lights[] = {{{1, one}, 2, 255, 255, 255, 1}, {{1, one}, 0, 9, 9, 9, 0.5f}};
    LwsScene scene{0, 140, 2, objects, 2, lights, {{3, three}, 2, 3.2f}};
    std::string path = dir.file("s.lws");
    ASSERT_TRUE(lws_save(path.c_str(), &scene));
    Scene *s = load_scene(path.c_str(), 512, 256, 400.0f, 0x51);
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(s->object_count, 2);
    EXPECT_EQ(s->light_count, 2);
    EXPECT_EQ(s->camera_count, 1);
    EXPECT_EQ(s->objects[0]->face_count, 1);
    EXPECT_EQ(s->objects[1]->point_count, 0);
    EXPECT_EQ(s->objects[0]->motion->key_count, 3);
    EXPECT_EQ(s->cameras[0]->motion->key_count, 3);
    EXPECT_EQ(s->cameras[0]->target, s->objects[1]);
    EXPECT_EQ(s->lights[0]->target, s->objects[1]);
    EXPECT_EQ(s->lights[1]->target, nullptr);
}
#endif

} // namespace
