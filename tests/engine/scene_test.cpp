// Tests of the scene reader (hand-written CR LF scene files, the line and keyword rules, scenes
// the builder cannot accept) and of whole frames the show's scenes never ask for.

#include "engine/scene.h"

#include "data/image.h"
#include "engine/motion.h"
#include "engine/object.h"
#include "engine/render.h"
#include "object_test_files.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <tuple>

using ::testing::HasSubstr;

static const float PI = 3.14159265358979f;

// A motion block of the given key lines (two per key).
static std::string motion(const std::string &keyword, const std::vector<std::string> &lines) {
    std::string text = keyword + " (unnamed)\r\n9\r\n" + std::to_string(lines.size() / 2) + "\r\n";
    for (const std::string &l : lines) text += l + "\r\n";
    return text;
}

// A motion block of one key at (x, y, z) with no rotation.
static std::string one_key(const std::string &keyword, int x, int y, int z) {
    return motion(keyword, {std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(z) +
                                " 0 0 0 1 1 1",
                            "0 0 0 0 0"});
}
static const std::string CAMERA = "ShowCamera 1 2\r\n" + one_key("CameraMotion", 0, 0, -500);

static int hook_calls;

static void count_call(const Face *, Image *) {
    hook_calls++;
}

class SceneTest : public DataFolderTest {
  protected:
    void SetUp() override {
        DataFolderTest::SetUp();
        Bytes pols;
        put_polygon(pols, {0, 1, 2}, 1);
        write("objects/tri.lwo",
              lwob({pnts({0, 0, 0, 0, 1, 0, 1, 0, 0}), srfs({"S"}), chunk("POLS", pols)}));
    }
    Scene *load(const std::string &text, int flags = SCENE_PART_FLAGS) {
        write("test.lws", text);
        data_clear_error();
        return load_scene("test.lws", 512, 256, 400.0f, flags);
    }
    // A double-sided triangle in front of the camera, n times over, each face counting its
    // calls.
    Scene *many_triangles(int n) {
        Bytes pols;
        for (int i = 0; i < n; i++) put_polygon(pols, {0, 1, 2}, 1);
        write("objects/many.lwo", lwob({pnts({0, 0, 0, 0, 100, 0, 100, 0, 0}), srfs({"S"}),
                                        surf("S", 200, 200, 200, 0x100), chunk("POLS", pols)}));
        Scene *s = load("LoadObject objects\\many.lwo\r\n" + one_key("ObjectMotion", 0, 0, 0) +
                        "\r\n" + CAMERA);
        EXPECT_NE(s, nullptr) << data_last_error();
        if (s)
            for (int i = 0; i < n; i++) s->objects[0]->faces[i].draw_hook = count_call;
        hook_calls = 0;
        return s;
    }
};

// Spline parameters (the show's scenes have none), lines the reader skips, a light whose keys
// come out of order and whose own settings the engine overrides, and targets.
static const std::string FULL_SCENE =
    "LWSC\r\n1\r\n\r\nLoadObject objects\\tri.lwo\r\nShowObject 6 7\r\n" +
    motion("ObjectMotion", {"0 0 -300 90 0 0 1 1 1", "0 0 0 0 0", "10 20 30 45 -30 180 2 3 4",
                            "100 1 0.5 -0.25 0.75"}) +
    "EndBehavior 1\r\n\r\nAddNullObject NullObject\r\n" + one_key("ObjectMotion", 5, 6, 7) +
    "\r\nAddLight\r\n" +
    motion("LightMotion", {"0 0 0 0 0 0 1 1 1", "0 0 0 0 0", "-100 200 -300 0 0 0 1 1 1",
                           "100 0 0 0 0", "1 2 3 0 0 0 1 1 1", "50 0 0 0 0"}) +
    "LightColor 255 200 100\r\nLgtIntensity 0.8\r\nLightType 1\r\nTargetObject 1\r\n\r\n" +
    "ShowCamera 1 2\r\n" + motion("CameraMotion", {"0 0 -500 0 0 30 1 1 1", "0 0 0 0 0"}) +
    "TargetObject 2\r\nZoomFactor 3.2\r\n";
TEST_F(SceneTest, ReadsAHandWrittenSceneIntoEveryRecord) {
    Scene *s = load(FULL_SCENE);
    ASSERT_NE(s, nullptr) << data_last_error();
    ASSERT_EQ(s->object_count, 2);
    SceneObject *tri = s->objects[0], *null_obj = s->objects[1];
    const MotionKey *k1 = tri->motion->last;
    EXPECT_FLOAT_EQ(k1->value[MOTION_PITCH], -PI / 6); // x, y, z, heading, pitch, bank
    EXPECT_EQ(k1->tension, 0.5f);
    EXPECT_EQ(k1->continuity, -0.25f);
    EXPECT_EQ(k1->bias, 0.75f);

    ASSERT_EQ(s->light_count, 1);
    Light *light = s->lights[0];
    EXPECT_EQ(light->type, 2);
    EXPECT_EQ(light->intensity, 255.0f);
    EXPECT_EQ(light->range, 200.0f);
    EXPECT_EQ(light->target, tri);
    ASSERT_EQ(light->motion->key_count, 3);
    EXPECT_EQ(light->motion->first->next->frame, 50.0f);
    EXPECT_EQ(light->motion->last->value[MOTION_X], -100.0f);
    ASSERT_EQ(s->view->light_count, 1);
    EXPECT_EQ(s->view->lights[0], light);
    ASSERT_EQ(s->camera_count, 1);
    EXPECT_EQ(s->cameras[0]->target, null_obj);
    EXPECT_FLOAT_EQ(s->cameras[0]->motion->first->value[MOTION_BANK], PI / 6);
}

TEST_F(SceneTest, LineAndKeywordRules) {
    const std::string long_comment(1000, 'c');
    const std::string long_null = "Null" + std::string(400, 'n');
    Scene *s =
        load("LoadObjectAndMore objects\\tri.lwo\r\n" + // the first 10 letters decide
             one_key("ObjectMotionX", 1, 2, 3) + "\r\n" + long_comment + "\r\n" + "AddNullObject " +
             long_null + "\r\n" + one_key("ObjectMotion", 0, 0, 0) + "\r\n" +
             "TargetObject 1\r\n" + // outside any block: nothing
             "AddLightning\r\n" + one_key("LightMotion", 0, 0, 0) + "TargetObjects 2\r\n\r\n" +
             "ShowCamera\r\n" + one_key("CameraMotion", 1, 1, 1) + "TargetObject 1\r\n\r\n" +
             CAMERA + "TargetObject 2");
    ASSERT_NE(s, nullptr) << data_last_error();
    ASSERT_EQ(s->object_count, 2);
    EXPECT_EQ(s->objects[0]->point_count, 3);
    EXPECT_EQ(s->objects[0]->motion->first->value[MOTION_Z], 3.0f);
    ASSERT_EQ(s->light_count, 1);
    EXPECT_EQ(s->lights[0]->target, s->objects[1]);
    // Only the last camera block counts, and its last line is read though it has no end.
    ASSERT_EQ(s->camera_count, 1);
    EXPECT_EQ(s->cameras[0]->motion->first->value[MOTION_Z], -500.0f);
    EXPECT_EQ(s->cameras[0]->target, s->objects[1]);

    // A LoadObject naming "Null..." reads no file, nor does a null object of any name.
    s = load("LoadObject Nullified.lwo\r\n" + one_key("ObjectMotion", 0, 0, 0) +
             "\r\nAddNullObject Pivot\r\n" + one_key("ObjectMotion", 0, 0, 0) + "\r\n" + CAMERA);
    ASSERT_NE(s, nullptr) << data_last_error();
    ASSERT_EQ(s->object_count, 2);
    EXPECT_EQ(s->objects[0]->point_count + s->objects[1]->point_count, 0);
}

static std::string with_line_ends(std::string text, const std::string &end) {
    std::string out;
    for (size_t at; (at = text.find("\r\n")) != std::string::npos; text.erase(0, at + 2))
        out += text.substr(0, at) + end;
    return out + text;
}

// Files from Unix, Amiga and Macintosh tools end their lines otherwise; each reads as the
// CR LF file does, the last line too when it has no end.
TEST_F(SceneTest, LinesEndAtCrLfLfOrCr) {
    for (const char *end : {"\n", "\r"}) {
        Scene *s = load(with_line_ends(FULL_SCENE, end));
        ASSERT_NE(s, nullptr) << data_last_error();
        ASSERT_EQ(s->object_count, 2);
        EXPECT_EQ(s->objects[0]->point_count, 3);
        EXPECT_EQ(s->objects[0]->motion->key_count, 2);
        ASSERT_EQ(s->light_count, 1);
        EXPECT_EQ(s->lights[0]->motion->key_count, 3);
        EXPECT_EQ(s->lights[0]->target, s->objects[0]);
        EXPECT_EQ(s->cameras[0]->target, s->objects[1]) << "the last line, without an end";
    }
}

// Only version 1 of the format is read; the version may stand on the format line or the next.
// An object's file name is the rest of its line, spaces and all.
TEST_F(SceneTest, FormatVersionsAndFileNamesWithSpaces) {
    const std::string body = FULL_SCENE.substr(FULL_SCENE.find("LoadObject"));
    for (const char *head : {"LWSC\r\n3\r\n", "LWSC 2\r\n", "LWSC\r\nfive\r\n"}) {
        EXPECT_EQ(load(head + body), nullptr) << head;
        EXPECT_THAT(data_last_error(), HasSubstr("test.lws: scene format LWSC "));
        EXPECT_THAT(data_last_error(), HasSubstr(" is not supported (LWSC 1)"));
    }
    EXPECT_THAT(data_last_error(), HasSubstr("LWSC five is not"));
    EXPECT_EQ(load("\r\nLWSC\r\n"), nullptr);
    EXPECT_THAT(data_last_error(), HasSubstr("version of the scene format is missing"));
    EXPECT_NE(load("LWSC 1\r\n" + body), nullptr) << data_last_error();

    Bytes pols;
    put_polygon(pols, {0, 1, 2, 3}, 1);
    write("objects/two words.lwo",
          lwob({pnts({0, 0, 0, 0, 1, 0, 1, 1, 0, 1, 0, 0}), srfs({"S"}), chunk("POLS", pols)}));
    Scene *s = load("LWSC\n1\n\nLoadObject objects\\two words.lwo \t\n" +
                    with_line_ends(one_key("ObjectMotion", 0, 0, 0) + "\r\n" + CAMERA, "\n"));
    ASSERT_NE(s, nullptr) << data_last_error();
    EXPECT_EQ(s->objects[0]->face_count, 2);
}

TEST_F(SceneTest, CreatedScenesAnimateAndListTheirLightsTwice) {
    Scene *s = scene_create(64, 32, 400.9f, SCENE_DEPTH_SORTED);
    EXPECT_EQ(s->flags, SCENE_DEPTH_SORTED | SCENE_ANIMATE); // animated unless told otherwise
    EXPECT_NE(s->target->depth, nullptr);
    EXPECT_EQ(scene_create(64, 32, 400, SCENE_FROZEN)->flags, SCENE_FROZEN);
    Light *a = new_light(), *b = new_light();
    EXPECT_EQ(scene_add_light(s, a) + scene_add_light(s, b), 2);
    EXPECT_EQ(scene_add_light(s, nullptr), 0);
    EXPECT_EQ(s->lights[1], b);
    EXPECT_EQ(s->view->light_count, 2);
    EXPECT_EQ(s->view->lights[0], a);
}

TEST_F(SceneTest, ScenesTheBuilderCannotUseFailWithAReason) {
    const std::string obj = "AddNullObject NullObject\r\n" + one_key("ObjectMotion", 0, 0, 0);
    const std::string motion_head = "ShowCamera\r\nCameraMotion\r\n";
    struct Case {
        std::string text;
        const char *reason;
    } cases[] = {
        {"AddNullObject NullObject\r\nShowObject 6 7\r\n\r\n" + CAMERA, "object 1 (NullObject)"},
        {obj + "\r\nAddLight\r\nLightColor 1 2 3\r\n\r\n" + CAMERA, "light 1 has no motion"},
        {obj, "no camera"},
        {obj + "\r\nShowCamera 1 2\r\nZoomFactor 3.2\r\n", "camera has no motion"},
        {obj + "\r\n" + CAMERA + "TargetObject 2\r\n", "targets object 2, but there are 1"},
        {obj + "\r\nAddLight\r\n" + one_key("LightMotion", 0, 0, 0) + "TargetObject 5\r\n\r\n" +
             CAMERA,
         "light 1 targets object 5"},
        {motion_head + "9\r\n1000000\r\n0 0 0 0 0 0 1 1 1\r\n0 0 0 0 0\r\n", "1000000 keys"},
        {motion_head + "9\r\n-1\r\n", "-1 keys"},
        {motion_head + "12\r\n1\r\n0 0 0 0 0 0 1 1 1\r\n0 0 0 0 0\r\n", "12 channels"},
        {motion_head + "9\r\n1\r\n0 0 0 0 0 0 1 1\r\n0 0 0 0 0\r\n1\r\n", "nine key values"},
        {motion_head + "9\r\n1\r\n0 0 nan 0 0 0 1 1 1\r\n0 0 0 0 0\r\n", "nine key values"},
        {motion_head + "9\r\n1\r\n0 0 0 0 0 0 1 1 1\r\n0 x 0 0 0\r\n", "frame"},
        {motion_head + "9\r\n", "ends before the key count"},
        {motion_head + "nine\r\n1\r\n", "channel count"},
        {"LoadObject\r\n", "without a name"},
        {"LoadObject \t \r\n", "without a name"},
        {obj + "\r\nAddLight\r\n" + one_key("LightMotion", 0, 0, 0) + "ParentObject 2\r\n\r\n" +
             CAMERA,
         "light 1 has parent object 2, but there are 1"},
        {obj + "\r\n" + CAMERA + "ParentObject -1\r\n", "the camera has parent object -1"},
        {obj + "ParentObject 2\r\n\r\n" + CAMERA, "object 1 (NullObject) has parent object 2, "
                                                  "but there are 1"},
        {obj + "ParentObject 1\r\n\r\n" + CAMERA, "object 1 (NullObject) is its own parent"},
        {obj + "ParentObject 3\r\n\r\n" + obj + "ParentObject 3\r\n\r\n" + obj +
             "ParentObject 2\r\n\r\n" + CAMERA,
         "object 2 (NullObject) is its own parent, or its parents' parent"},
    };
    for (const Case &c : cases) {
        int before = mem_live_blocks();
        EXPECT_EQ(load(c.text), nullptr) << c.reason;
        EXPECT_THAT(data_last_error(), HasSubstr("test.lws")) << c.reason;
        EXPECT_THAT(data_last_error(), HasSubstr(c.reason));
        EXPECT_EQ(mem_live_blocks(), before) << c.reason << ": the document leaks";
    }

    // A failing object names both files.
    EXPECT_EQ(load("LoadObject objects\\gone.lwo\r\n" + one_key("ObjectMotion", 0, 0, 0) + "\r\n" +
                   CAMERA),
              nullptr);
    EXPECT_THAT(data_last_error(), HasSubstr("test.lws"));
    EXPECT_THAT(data_last_error(), HasSubstr("gone.lwo"));
    data_clear_error();
    EXPECT_EQ(load_scene("absent.lws", 512, 256, 400, SCENE_PART_FLAGS), nullptr);
    EXPECT_THAT(data_last_error(), HasSubstr("absent.lws"));
}

// Sorted, only the first DEPTH_LIST_SIZE visible faces are drawn; in object order, all.
TEST_F(SceneTest, MoreVisibleFacesThanTheDepthListDrawsTheFirst) {
    const int n = DEPTH_LIST_SIZE + 500;
    Scene *s = many_triangles(n);
    ASSERT_NE(s, nullptr);
    s->target = image_create(512, 256, 0);
    render_scene_ticks(s, 1.0f);
    EXPECT_EQ(hook_calls, DEPTH_LIST_SIZE);
    hook_calls = 0;
    s->flags = SCENE_ANIMATE | SCENE_NO_TARGET;
    render_scene_ticks(s, 1.0f);
    EXPECT_EQ(hook_calls, n);
}

// Without a picture or a camera nothing is drawn and the clock stands still.
TEST_F(SceneTest, IncompleteScenesDrawNothing) {
    render_scene_ticks(nullptr, 1.0f);
    Scene *s = many_triangles(1);
    ASSERT_NE(s, nullptr);
    render_scene_ticks(s, 1.0f); // no target (0x40)
    EXPECT_EQ(s->time, 0.0f);
    s->target = image_create(512, 256, 0);
    s->camera_count = 0;
    render_scene_ticks(s, 1.0f);
    s->camera_count = 1;
    s->current_camera = 1;
    render_scene_ticks(s, 1.0f);
    EXPECT_EQ(hook_calls, 0);
    s->current_camera = 0;
    render_scene_ticks(s, 1.0f);
    EXPECT_EQ(hook_calls, 1) << "the complete scene draws";
}

static const std::string LIT_TRIANGLE =
    "LoadObject objects\\tri.lwo\r\n" + one_key("ObjectMotion", 0, 0, 300) + "\r\nAddLight\r\n" +
    one_key("LightMotion", 0, 0, 0) + "\r\nShowCamera 1 2\r\n" + one_key("CameraMotion", 0, 0, 0);

// A Gouraud face (the loader makes none; a caller may) is lit by its points' normals of this
// frame.
TEST_F(SceneTest, GouraudFacesTakeThisFramesPointNormals) {
    Scene *s = load(LIT_TRIANGLE);
    ASSERT_NE(s, nullptr) << data_last_error();
    s->target = image_create(512, 256, 0);
    SceneObject *o = s->objects[0];
    o->faces[0].flags = FACE_GOURAUD | FACE_SOLID | FACE_DOUBLE_SIDED;
    render_scene_ticks(s, 0.0f);
    for (int k = 0; k < 3; k++) {
        const Vec3 &n = o->faces[0].vertex_normal[k], &p = o->view_normals[k];
        EXPECT_TRUE(n.x == p.x && n.y == p.y && n.z == p.z && p.z != 0.0f) << k;
    }
}

// Channels 0 to 5 of a key are x, y, z, pitch, heading and bank for objects, lights and cameras.
TEST_F(SceneTest, ChannelsThreeToFiveArePitchHeadingAndBankForEveryRecord) {
    Scene *s = load(LIT_TRIANGLE);
    ASSERT_NE(s, nullptr) << data_last_error();
    s->target = image_create(512, 256, 0);
    Motion *motions[3] = {s->objects[0]->motion, s->lights[0]->motion, s->cameras[0]->motion};
    for (Motion *m : motions)
        for (int c = 0; c < 6; c++) m->first->value[c] = float(c + 1);
    render_scene_ticks(s, 0.0f);
    const Vec3 *places[3] = {&s->objects[0]->world_position, &s->lights[0]->world_position,
                             &s->cameras[0]->world_position};
    const Angles *turns[3] = {&s->objects[0]->rotation, &s->lights[0]->rotation,
                              &s->cameras[0]->rotation};
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(places[i]->x, 1.0f) << i;
        EXPECT_EQ(places[i]->y, 2.0f) << i;
        EXPECT_EQ(places[i]->z, 3.0f) << i;
        EXPECT_EQ(turns[i]->pitch, 4.0f) << i;
        EXPECT_EQ(turns[i]->heading, 5.0f) << i;
        EXPECT_EQ(turns[i]->bank, 6.0f) << i;
    }
}

// A targeted camera ignores its pitch and heading; a quarter turn of bank about its line of sight
// (+z) sends x to y: the triangle's corner (1, 0, 0), 300 ahead, is seen at (0, -1, 300 - 400).
TEST_F(SceneTest, ATargetedCameraRollsAboutItsLineOfSightByItsBankAlone) {
    Scene *s = load(LIT_TRIANGLE + "TargetObject 1\r\n");
    ASSERT_NE(s, nullptr) << data_last_error();
    s->target = image_create(512, 256, 0);
    Camera *cam = s->cameras[0];
    cam->motion->first->value[MOTION_PITCH] = 0.4f;
    cam->motion->first->value[MOTION_HEADING] = -1.1f;
    cam->motion->first->value[MOTION_BANK] = PI / 2;
    render_scene_ticks(s, 0.0f);
    const float rolled[9] = {0, 1, 0, -1, 0, 0, 0, 0, 1};
    for (int i = 0; i < 9; i++) {
        EXPECT_NEAR(cam->orientation.m[i], rolled[i], 1e-6f) << "m" << i;
        EXPECT_NEAR(cam->view.m[i], rolled[(i % 3) * 3 + i / 3], 1e-6f) << "view m" << i;
    }
    const Vec3 corner = s->objects[0]->view_points[2];
    EXPECT_NEAR(corner.x, 0.0f, 1e-4f);
    EXPECT_NEAR(corner.y, -1.0f, 1e-4f);
    EXPECT_NEAR(corner.z, -100.0f, 1e-4f);
}

// A face's key is the sum of its three depths in 26.6 fixed point, truncated toward zero, plus
// 65535: 3 x (200.3 - 400) x 64 = -38342.4 and 3 x (1000.3 - 400) x 64 = 115257.6.
TEST_F(SceneTest, DepthKeysAreTheDepthSumIn26Point6TruncatedPlusTheBias) {
    Scene *s = many_triangles(1);
    ASSERT_NE(s, nullptr);
    s->target = image_create(512, 256, 0);
    s->cameras[0]->motion->first->value[MOTION_Z] = 0.0f;
    const float depths[2] = {200.3f, 1000.3f};
    const int keys[2] = {65535 - 38342, 65535 + 115257};
    for (int i = 0; i < 2; i++) {
        s->objects[0]->motion->first->value[MOTION_Z] = depths[i];
        render_scene_ticks(s, 0.0f);
        EXPECT_EQ(s->objects[0]->faces[0].depth_key, keys[i]) << depths[i];
    }
}

// A square stored as one quadrilateral draws the very pixels of the same square stored as two
// triangles.
TEST_F(SceneTest, AQuadrilateralDrawsAsItsTwoTriangles) {
    const std::vector<float> square = {0, 0, 0, 0, 100, 0, 100, 100, 0, 100, 0, 0};
    Bytes quad, pair;
    put_polygon(quad, {0, 1, 2, 3}, 1);
    put_polygon(pair, {0, 1, 2}, 1);
    put_polygon(pair, {0, 2, 3}, 1);
    Image *drawn[2];
    for (int i = 0; i < 2; i++) {
        write("objects/tri.lwo", lwob({pnts(square), srfs({"S"}), surf("S", 200, 100, 50, 0x100),
                                       chunk("POLS", i ? pair : quad)}));
        Scene *s = load(LIT_TRIANGLE);
        ASSERT_NE(s, nullptr) << data_last_error();
        s->target = drawn[i] = image_create(512, 256, 0);
        render_scene_ticks(s, 0.0f);
    }
    int lit = 0;
    for (int i = 0; i < 512 * 256; i++) {
        ASSERT_EQ(drawn[0]->pixels[i], drawn[1]->pixels[i]) << i;
        lit += drawn[0]->pixels[i] != 0;
    }
    EXPECT_GT(lit, 100 * 100); // the square seen from 300 away with focal length 400 is larger
}

// An object moves with its parent: its position is turned by the parent's rotation and moved by
// its position, its rotation follows the parent's, up through the parent's own parent; parents
// may come later in the file than their children. A light and the camera move with theirs
// likewise, and lights are placed from where the camera then is.
TEST_F(SceneTest, ChildrenMoveWithTheirParents) {
    const std::string keys[3][2] = {{"10 0 0 30 0 0 1 1 1", "0 0 0 0 0"},
                                    {"0 0 100 90 0 0 1 1 1", "0 0 0 0 0"},
                                    {"5 5 5 0 30 10 1 1 1", "0 0 0 0 0"}};
    Scene *s =
        load("LWSC\r\n1\r\n\r\nLoadObject objects\\tri.lwo\r\n" +
             motion("ObjectMotion", {keys[0][0], keys[0][1]}) + "ParentObject 2\r\n\r\n" +
             "AddNullObject Arm\r\n" + motion("ObjectMotion", {keys[1][0], keys[1][1]}) +
             "ParentObject 3\r\n\r\nAddNullObject Base\r\n" +
             motion("ObjectMotion", {keys[2][0], keys[2][1]}) + "\r\nAddLight\r\n" +
             one_key("LightMotion", 0, 10, 0) + "ParentObject 1\r\n\r\nShowCamera\r\n" +
             motion("CameraMotion", {"0 0 -50 0 20 0 1 1 1", "0 0 0 0 0"}) + "ParentObject 2\r\n");
    ASSERT_NE(s, nullptr) << data_last_error();
    ASSERT_EQ(s->object_count, 3);
    SceneObject *tri = s->objects[0], *arm = s->objects[1], *base = s->objects[2];
    EXPECT_EQ(tri->parent, arm);
    EXPECT_EQ(arm->parent, base);
    EXPECT_EQ(base->parent, nullptr);
    s->target = image_create(512, 256, 0);
    render_scene_ticks(s, 0.0f);

    Mat3 m[3];
    const float deg = PI / 180;
    mat_from_angles(m[0], 0, 30 * deg, 0);
    mat_from_angles(m[1], 0, 90 * deg, 0);
    mat_from_angles(m[2], 30 * deg, 0, 10 * deg);
    Mat3 arm_turn, tri_turn;
    mat_mul(arm_turn, m[1], m[2]);
    mat_mul(tri_turn, m[0], arm_turn);
    Vec3 arm_at, tri_at, p;
    vec_mul_mat(p, Vec3{0, 0, 100}, m[2]);
    vec_add(arm_at, p, Vec3{5, 5, 5});
    vec_mul_mat(p, Vec3{10, 0, 0}, arm_turn);
    vec_add(tri_at, p, arm_at);
    const Vec3 base_at = base->world_position;
    EXPECT_TRUE(base_at.x == 5 && base_at.y == 5 && base_at.z == 5);
    for (const auto &[obj, at, turn] :
         {std::tuple{arm, arm_at, arm_turn}, std::tuple{tri, tri_at, tri_turn}}) {
        EXPECT_NEAR(obj->world_position.x, at.x, 1e-3f);
        EXPECT_NEAR(obj->world_position.y, at.y, 1e-3f);
        EXPECT_NEAR(obj->world_position.z, at.z, 1e-3f);
        for (int k = 0; k < 9; k++) EXPECT_NEAR(obj->matrix.m[k], turn.m[k], 1e-6f) << k;
    }
    // The arm is 100 from the base, the triangle 10 from the arm, whatever the turns.
    Vec3 d;
    vec_sub(d, tri->world_position, arm->world_position);
    EXPECT_NEAR(vec_length(d), 10.0f, 1e-3f);
    vec_sub(d, arm->world_position, base->world_position);
    EXPECT_NEAR(vec_length(d), 100.0f, 1e-3f);

    const Light *light = s->lights[0];
    const Camera *cam = s->cameras[0];
    ASSERT_TRUE(light->parent == tri && cam->parent == arm);
    Vec3 light_at, cam_at;
    vec_mul_mat(p, Vec3{0, 10, 0}, tri_turn);
    vec_add(light_at, p, tri_at);
    vec_mul_mat(p, Vec3{0, 0, -50}, arm_turn);
    vec_add(cam_at, p, arm_at);
    Mat3 cam_own, cam_turn;
    mat_from_angles(cam_own, 20 * deg, 0, 0);
    mat_mul(cam_turn, cam_own, arm_turn);
    for (int k = 0; k < 9; k++) EXPECT_NEAR(cam->orientation.m[k], cam_turn.m[k], 1e-6f) << k;
    const float near[][2] = {{light->world_position.x, light_at.x},
                             {light->world_position.y, light_at.y},
                             {light->world_position.z, light_at.z},
                             {cam->world_position.x, cam_at.x},
                             {cam->world_position.y, cam_at.y},
                             {cam->world_position.z, cam_at.z},
                             {light->view_position.x, light_at.x - cam_at.x},
                             {light->view_position.z, light_at.z - 400.0f}};
    for (const auto &[got, want] : near) EXPECT_NEAR(got, want, 1e-3f);
}
