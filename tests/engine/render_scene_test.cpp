// Whole frames of small scenes built by hand: draw order, animation, the frozen flag, lights,
// the depth list's limit, and flares.

#include "engine/render.h"

#include "data/image.h"
#include "data/memory.h"
#include "engine/motion.h"
#include "engine/object.h"
#include "engine/scene.h"

#include <gtest/gtest.h>

namespace {

int hook_calls;

void count_call(const Face *, Image *) {
    hook_calls++;
}

// A motion holding one position for ever.
Motion *still(Vec3 p, float heading = 0.0f) {
    Motion *m = new_motion();
    MotionKey *k = new_key();
    k->value[MOTION_X] = p.x;
    k->value[MOTION_Y] = p.y;
    k->value[MOTION_Z] = p.z;
    k->value[MOTION_HEADING] = heading;
    motion_insert(m, k);
    return m;
}

// A square of side 2 * half facing the camera (which looks along +z), flat-lit.
SceneObject *square(float half, uint32_t colour, Vec3 at) {
    SceneObject *o = new_empty_object();
    o->point_count = 4;
    o->points = static_cast<Vec3 *>(mem_alloc(4 * sizeof(Vec3)));
    o->point_normals = static_cast<Vec3 *>(mem_alloc(4 * sizeof(Vec3)));
    o->view_points = static_cast<Vec3 *>(mem_alloc(4 * sizeof(Vec3)));
    o->view_normals = static_cast<Vec3 *>(mem_alloc(4 * sizeof(Vec3)));
    const Vec3 corners[4] = {
        {-half, -half, 0}, {half, -half, 0}, {half, half, 0}, {-half, half, 0}};
    for (int i = 0; i < 4; i++) {
        o->points[i] = corners[i];
        o->point_normals[i] = Vec3{0, 0, -1};
    }
    o->face_count = 2;
    o->faces = new_faces(2);
    const int index[2][3] = {{0, 1, 3}, {1, 2, 3}};
    for (int f = 0; f < 2; f++) {
        for (int k = 0; k < 3; k++) o->faces[f].point_index[k] = index[f][k];
        o->faces[f].flags = FACE_SOLID | FACE_FLAT;
        o->faces[f].colour = colour;
    }
    o->motion = still(at);
    return o;
}

// A scene of the show's size with a camera at the origin and one ambient light at half
// strength, so that a flat-lit colour c draws as trunc(c * 128 / 256).
Scene *scene_of(int flags) {
    Scene *s = static_cast<Scene *>(mem_alloc(sizeof(Scene)));
    s->flags = flags;
    s->speed = 1.0f;
    s->view = view_create(512, 256, 400);
    s->target = image_create(512, 256, 0);
    Camera *cam = static_cast<Camera *>(mem_alloc(sizeof(Camera)));
    cam->motion = still(Vec3{0, 0, 0});
    s->cameras = static_cast<Camera **>(mem_alloc(sizeof(Camera *)));
    s->cameras[0] = cam;
    s->camera_count = 1;
    Light *ambient = static_cast<Light *>(mem_alloc(sizeof(Light)));
    ambient->type = 4;
    ambient->intensity = 128.0f;
    s->lights = static_cast<Light **>(mem_alloc(sizeof(Light *)));
    s->lights[0] = ambient;
    s->light_count = 1;
    s->view->lights[0] = ambient;
    s->view->light_count = 1;
    return s;
}

void add(Scene *s, SceneObject *o) {
    s->objects = static_cast<SceneObject **>(
        mem_resize(s->objects ? static_cast<void *>(s->objects) : mem_alloc(1),
                   sizeof(SceneObject *) * (s->object_count + 1)));
    s->objects[s->object_count++] = o;
}

// Clears the target to black and draws the scene again, the clock held.
void redraw(Scene *s) {
    mem_fill(s->target->pixels, 0, 512 * 256 * 4);
    render_scene_ticks(s, 0.0f);
}

uint32_t centre_pixel(const Scene *s) {
    return s->target->pixels[128 * 512 + 256];
}

class RenderSceneTest : public ::testing::Test {
  protected:
    void SetUp() override { hook_calls = 0; }
    void TearDown() override { mem_free_all(); }
};

} // namespace

TEST_F(RenderSceneTest, SortedScenesDrawNearOverFarObjectOrderDoesNot) {
    const uint32_t red = pixel_rgb(200, 0, 0), blue = pixel_rgb(0, 0, 200);
    for (int flags : {0x51, 0x53, 0x50}) {
        Scene *s = scene_of(flags);
        add(s, square(50, red, Vec3{0, 0, 200}));  // near, listed first
        add(s, square(50, blue, Vec3{0, 0, 600})); // far, listed last
        render_scene_ticks(s, 1.0f);
        const uint32_t expected = (flags & 1) ? pixel_rgb(100, 0, 0) : pixel_rgb(0, 0, 100);
        EXPECT_EQ(centre_pixel(s), expected) << std::hex << flags;
        // The near square reaches 400 * 50 / 200 = 100 pixels from the centre, the far one 33:
        // 50 pixels out only the near one is drawn, in either order.
        EXPECT_EQ(s->target->pixels[128 * 512 + 256 + 50], pixel_rgb(100, 0, 0)) << flags;
    }
}

TEST_F(RenderSceneTest, ClockMotionsAndTheFrozenFlag) {
    Scene *s = scene_of(0x51);
    SceneObject *o = square(50, pixel_rgb(200, 200, 200), Vec3{0, 0, 200});
    add(s, o);
    s->speed = 1.5f;
    render_scene_ticks(s, 2.0f);
    EXPECT_EQ(s->time, 3.0f);
    EXPECT_EQ(o->world_position.z, 200.0f);
    // Camera space is the depth less the focal length.
    EXPECT_EQ(o->faces[0].v[0].z, -200.0f);
    // Frozen: neither the clock nor the vertices move, but the faces are drawn again.
    o->motion->first->value[MOTION_Z] = 800.0f;
    s->flags = 0x21;
    mem_fill(s->target->pixels, 0, 512 * 256 * 4);
    render_scene_ticks(s, 2.0f);
    EXPECT_EQ(s->time, 3.0f);
    EXPECT_EQ(o->faces[0].v[0].z, -200.0f);
    EXPECT_NE(centre_pixel(s), 0u);
    // Animate and frozen together animate.
    s->flags = 0x31;
    render_scene_ticks(s, 2.0f);
    EXPECT_EQ(s->time, 6.0f);
    EXPECT_EQ(o->faces[0].v[0].z, 400.0f);
}

TEST_F(RenderSceneTest, CameraAndLightsFollowTheirMotions) {
    Scene *s = scene_of(0x51);
    s->cameras[0]->motion = still(Vec3{10, 20, 30});
    Light *l = s->lights[0];
    l->motion = still(Vec3{1, 2, 3});
    SceneObject *o = square(50, pixel_rgb(200, 200, 200), Vec3{10, 20, 230});
    add(s, o);
    render_scene_ticks(s, 0.0f);
    // Lights: less the camera position in x and y, less 400 in z, unrotated.
    EXPECT_EQ(l->view_position.x, -9.0f);
    EXPECT_EQ(l->view_position.y, -18.0f);
    EXPECT_EQ(l->view_position.z, -397.0f);
    EXPECT_EQ(l->view_position_copy.z, -397.0f);
    // The object straight ahead of the camera lands on the centre of the view.
    EXPECT_NE(centre_pixel(s), 0u);
    // Turning the camera round (heading) puts the object behind it.
    s->cameras[0]->motion = still(Vec3{10, 20, 30}, 3.14159265f);
    redraw(s);
    EXPECT_EQ(centre_pixel(s), 0u);
}

TEST_F(RenderSceneTest, ATargetedCameraLooksAtItsTarget) {
    Scene *s = scene_of(0x51);
    SceneObject *o = square(50, pixel_rgb(200, 200, 200), Vec3{300, 0, 300});
    add(s, o);
    s->cameras[0]->target = o;
    render_scene_ticks(s, 0.0f);
    EXPECT_NE(centre_pixel(s), 0u);
    s->cameras[0]->target = nullptr;
    redraw(s);
    EXPECT_EQ(centre_pixel(s), 0u);
}

TEST_F(RenderSceneTest, MoreVisibleFacesThanTheDepthListDrawsTheFirst) {
    Scene *s = scene_of(0x51);
    SceneObject *o = square(50, pixel_rgb(1, 1, 1), Vec3{0, 0, 200});
    const int n = DEPTH_LIST_SIZE + 500;
    o->faces = new_faces(n);
    o->face_count = n;
    for (int i = 0; i < n; i++) {
        o->faces[i].flags = FACE_SOLID | FACE_DOUBLE_SIDED;
        o->faces[i].point_index[1] = 1;
        o->faces[i].point_index[2] = 3;
        o->faces[i].draw_hook = count_call;
    }
    add(s, o);
    render_scene_ticks(s, 1.0f);
    EXPECT_EQ(hook_calls, DEPTH_LIST_SIZE);
    // In object order there is no list: every face is drawn.
    hook_calls = 0;
    s->flags = 0x50;
    render_scene_ticks(s, 1.0f);
    EXPECT_EQ(hook_calls, n);
}

TEST_F(RenderSceneTest, IncompleteScenesDrawNothing) {
    render_scene_ticks(nullptr, 1.0f);
    Scene *s = scene_of(0x51);
    add(s, square(50, pixel_rgb(200, 0, 0), Vec3{0, 0, 200}));
    s->target = nullptr;
    render_scene_ticks(s, 1.0f);
    EXPECT_EQ(s->time, 0.0f);
    s->target = image_create(512, 256, 0);
    s->camera_count = 0;
    render_scene_ticks(s, 1.0f);
    s->camera_count = 1;
    s->current_camera = 1;
    render_scene_ticks(s, 1.0f);
    EXPECT_EQ(centre_pixel(s), 0u);
}

// A key in storage order x, y, z, pitch, heading, bank: channel c holds c + 1.
Motion *counting_key() {
    Motion *m = new_motion();
    MotionKey *k = new_key();
    for (int c = 0; c < 6; c++) k->value[c] = float(c + 1);
    motion_insert(m, k);
    return m;
}

TEST_F(RenderSceneTest, ChannelsThreeToFiveArePitchHeadingAndBankForEveryRecord) {
    Scene *s = scene_of(0x51);
    SceneObject *o = square(50, 0, Vec3{});
    o->motion = counting_key();
    add(s, o);
    s->lights[0]->motion = counting_key();
    s->cameras[0]->motion = counting_key();
    render_scene_ticks(s, 0.0f);
    const Vec3 *places[3] = {&o->world_position, &s->lights[0]->world_position,
                             &s->cameras[0]->world_position};
    const Angles *turns[3] = {&o->rotation, &s->lights[0]->rotation, &s->cameras[0]->rotation};
    for (int i = 0; i < 3; i++) {
        EXPECT_EQ(places[i]->x, 1.0f) << i;
        EXPECT_EQ(places[i]->y, 2.0f) << i;
        EXPECT_EQ(places[i]->z, 3.0f) << i;
        EXPECT_EQ(turns[i]->pitch, 4.0f) << i;
        EXPECT_EQ(turns[i]->heading, 5.0f) << i;
        EXPECT_EQ(turns[i]->bank, 6.0f) << i;
    }
}

TEST_F(RenderSceneTest, ATargetedCameraRollsAboutItsLineOfSightByItsBankAlone) {
    Scene *s = scene_of(0x51);
    SceneObject *o = square(50, 0, Vec3{0, 0, 300});
    add(s, o);
    Camera *cam = s->cameras[0];
    cam->target = o;
    // Pitch and heading are ignored; a quarter turn of bank about +z sends x to y.
    MotionKey *k = cam->motion->first;
    k->value[MOTION_PITCH] = 0.4f;
    k->value[MOTION_HEADING] = -1.1f;
    k->value[MOTION_BANK] = 1.5707963267948966f;
    render_scene_ticks(s, 0.0f);
    const float rolled[9] = {0, 1, 0, -1, 0, 0, 0, 0, 1};
    for (int i = 0; i < 9; i++) {
        EXPECT_NEAR(cam->orientation.m[i], rolled[i], 1e-6f) << "m" << i;
        EXPECT_NEAR(cam->view.m[i], rolled[(i % 3) * 3 + i / 3], 1e-6f) << "view m" << i;
    }
    // The square's corner (50, -50) seen by the rolled camera: x' = y, y' = -x.
    EXPECT_NEAR(o->view_points[1].x, -50.0f, 1e-4f);
    EXPECT_NEAR(o->view_points[1].y, -50.0f, 1e-4f);
    EXPECT_NEAR(o->view_points[1].z, -100.0f, 1e-4f);
}

TEST_F(RenderSceneTest, DepthKeysAreTheDepthSumIn26Point6TruncatedPlusTheBias) {
    Scene *s = scene_of(0x51);
    // Every vertex 200.3 - 400 deep: 64 x -599.1 = -38342.4, truncated toward zero.
    SceneObject *near = square(50, 0, Vec3{0, 0, 200.3f});
    // 2 x 1000 + 999 - 1200 = 1799 deep in all: 64 x 1799 = 115136.
    SceneObject *far = square(50, 0, Vec3{0, 0, 600});
    far->points[0].z = 400;
    far->points[1].z = 400;
    far->points[3].z = 399;
    add(s, near);
    add(s, far);
    render_scene_ticks(s, 0.0f);
    EXPECT_EQ(near->faces[0].depth_key, 65535 - 38342);
    EXPECT_EQ(far->faces[0].depth_key, 65535 + 115136);
}
