// Whole frames of small scenes built by hand, where the show's scenes never go: more faces than
// the depth list holds, and scenes without a picture or a camera.

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
Motion *still(Vec3 p) {
    Motion *m = new_motion();
    MotionKey *k = new_key();
    k->value[MOTION_X] = p.x;
    k->value[MOTION_Y] = p.y;
    k->value[MOTION_Z] = p.z;
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

uint32_t centre_pixel(const Scene *s) {
    return s->target->pixels[128 * 512 + 256];
}

class RenderSceneTest : public ::testing::Test {
  protected:
    void SetUp() override { hook_calls = 0; }
    void TearDown() override { mem_free_all(); }
};

} // namespace

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
