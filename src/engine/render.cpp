// render.cpp -- turns a scene into triangles for the fillers

#include "engine/render.h"

#include "data/cpu.h"
#include "data/image.h"
#include "data/memory.h"
#include "data/packed.h"
#include "engine/motion.h"
#include "engine/object.h"
#include "engine/scene.h"
#include "fillers/fillers.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <utility>

// A clip vertex: eye-space position, the (u, v) pair of every texture layer, then the Gouraud
// intensity. Six layers fill a face's uv array.
static constexpr int CLIP_MAX_LAYERS = FACE_UV_FLOATS / 6;
static constexpr int CLIP_MAX_STRIDE = 3 + 2 * CLIP_MAX_LAYERS + 1;
// Each pass of clip_polygon_pair at most doubles the vertex count: 3 -> 6 -> 12.
static constexpr int CLIP_MAX_VERTICES = 12;

// The four side planes of a view as the inside test reads them, taken once per frame.
struct SidePlanes {
#if QM_PACKED
    __m128 x[4], y[4], z[4]; // left, right, top, bottom, each component in every lane
#endif
};

static SidePlanes side_planes(const RenderView *view);
static void submit_face_with(RenderView *view, const SidePlanes &planes, Face *face, Image *target);

// The depth list shared by every scene, and the second array of the radix sort.
static Face *depth_list[DEPTH_LIST_SIZE];
static Face *depth_sorted[DEPTH_LIST_SIZE];
static uint32_t depth_keys[DEPTH_LIST_SIZE]; // each listed face's depth_key, beside it
static int depth_count;

RenderView *view_create(float width, float height, float focal) {
    RenderView *view = static_cast<RenderView *>(mem_alloc(sizeof(RenderView)));
    if (!view) return nullptr;
    const float f = focal + 0.5f;
    vec_normalize(view->left_plane, Vec3{-f, 0.0f, -(width + 1.0f) / 2.0f});
    vec_normalize(view->right_plane, Vec3{f, 0.0f, -width / 2.0f});
    vec_normalize(view->top_plane, Vec3{0.0f, f, -height / 2.0f});
    vec_normalize(view->bottom_plane, Vec3{0.0f, -f, -height / 2.0f});
    view->near_plane = Vec3{0.0f, 0.0f, -1.0f};
    view->far_plane = Vec3{0.0f, 0.0f, 1.0f};
    view->near = focal;
    view->scale_x = focal;
    view->scale_y = focal;
    view->centre_x = width * 0.5f;
    view->centre_y = height * 0.5f;
    view->width = width;
    view->height = height;
    view->scratch = new_faces(1);
    // One empty slot, so that adding a light is always a resize of a registered block.
    view->lights = static_cast<Light **>(mem_alloc(sizeof(Light *)));
    if (!view->scratch || !view->lights) return nullptr;
    return view;
}

void project_point(const RenderView *view, Vec3 &dst, const Vec3 &src) {
    const float k = 1.0f / (view->near + src.z);
    dst.x = view->scale_x * src.x * k + view->centre_x;
    dst.y = view->centre_y - view->scale_y * src.y * k;
    dst.z = src.z;
}

float project_size(const RenderView *view, const Vec3 &p, float r) {
    return r * view->scale_x / (view->near + p.z);
}

float light_intensity(const Light *light, const Vec3 &p, const Vec3 &n) {
    Vec3 l;
    vec_sub(l, light->view_position, p);
    switch (light->type & 0xF) {
    case 1:
    case 2: {
        vec_normalize(l, l);
        const float d = vec_dot(l, n);
        return d > 0.0f ? d * light->intensity : 0.0f;
    }
    case 4: // ambient
        return light->intensity;
    case 9:
    case 10: {
        const float d = vec_dot(l, n);
        return d > 0.0f ? light->range * light->intensity * d / vec_dot(l, l) : 0.0f;
    }
    case 12: // falls off with distance, whatever the normal
        return light->range * light->intensity / vec_length(l);
    default:
        return 0.0f;
    }
}

// ---- animation and transform

static void copy_motion(const Motion *m, Vec3 &position, Angles &rotation) {
    position = Vec3{m->value[MOTION_X], m->value[MOTION_Y], m->value[MOTION_Z]};
    rotation = Angles{m->value[MOTION_PITCH], m->value[MOTION_HEADING], m->value[MOTION_BANK]};
}

static void evaluate_motions(Scene *scene) {
    for (int i = 0; i < scene->object_count; i++) {
        SceneObject *obj = scene->objects[i];
        if (!obj->motion) continue;
        motion_evaluate(obj->motion, scene->time);
        copy_motion(obj->motion, obj->position, obj->rotation);
    }
    for (int i = 0; i < scene->light_count; i++) {
        Light *light = scene->lights[i];
        if (!light->motion) continue;
        motion_evaluate(light->motion, scene->time);
        copy_motion(light->motion, light->world_position, light->rotation);
    }
    for (int i = 0; i < scene->camera_count; i++) {
        Camera *cam = scene->cameras[i];
        if (!cam->motion) continue;
        motion_evaluate(cam->motion, scene->time);
        copy_motion(cam->motion, cam->position, cam->rotation);
    }
}

// A light's or camera's position, given in its parent's frame, placed in the world.
static void place_in_parent(const SceneObject *parent, Vec3 &position) {
    Vec3 p;
    vec_mul_mat(p, position, parent->matrix);
    vec_add(position, p, parent->world_position);
}

static void orient_camera(Camera *cam) {
    cam->world_position = cam->position;
    if (cam->target) {
        Vec3 dir;
        vec_sub(dir, cam->target->world_position, cam->world_position);
        Mat3 look, roll;
        mat_look_at(look, dir, Vec3{0.0f, 1.0f, 0.0f});
        mat_axis_angle(roll, dir, cam->rotation.bank);
        mat_mul(cam->orientation, look, roll);
    } else if (cam->parent) {
        Mat3 own;
        mat_from_angles(own, cam->rotation.pitch, cam->rotation.heading, cam->rotation.bank);
        mat_mul(cam->orientation, own, cam->parent->matrix);
    } else {
        mat_from_angles(cam->orientation, cam->rotation.pitch, cam->rotation.heading,
                        cam->rotation.bank);
    }
    mat_transpose(cam->view, cam->orientation);
}

// Lights sit relative to camera 0's position, pushed back by the projection distance of the
// show's views (400); the camera's rotation is not applied to them.
static void place_lights(Scene *scene) {
    const Vec3 eye = scene->cameras[0]->position;
    for (int i = 0; i < scene->light_count; i++) {
        Light *light = scene->lights[i];
        const Vec3 &w = light->world_position;
        light->view_position = Vec3{w.x - eye.x, w.y - eye.y, w.z - 400.0f};
        light->view_position_copy = light->view_position;
    }
}

// The object's points and normals in camera space (the depth less near).
static void transform_points(SceneObject *obj, const Camera *cam, float near) {
    Vec3 offset, p;
    vec_sub(offset, obj->world_position, cam->world_position);
    vec_mul_mat(p, offset, cam->view);
    p.z = p.z - near;
    Mat3 m;
    mat_mul(m, obj->matrix, cam->view);
    vec_array_mul_mat(obj->view_points, obj->points, obj->point_count, m);
    for (int i = 0; i < obj->point_count; i++) vec_add(obj->view_points[i], obj->view_points[i], p);
    vec_array_mul_mat(obj->view_normals, obj->point_normals, obj->point_count, m);
}

static void copy_face_vertices(Face &f, const SceneObject *obj) {
    for (int k = 0; k < 3; k++) f.v[k] = obj->view_points[f.point_index[k]];
}

// Only Gouraud lighting and environment mapping read the vertex normals, and only of faces that
// are drawn, so they are copied as such a face is about to be drawn rather than for every face. The
// view normals change only where the points are transformed, so the copy is the one a copy at the
// transform would have made.
static void copy_face_normals(Face &f, const SceneObject *obj) {
    if ((f.flags & (FACE_GOURAUD | FACE_FLAT)) != FACE_GOURAUD && !(f.flags & FACE_ENVMAP)) return;
    for (int k = 0; k < 3; k++) f.vertex_normal[k] = obj->view_normals[f.point_index[k]];
}

// A child's motion is relative to its parent: its point p is at (p x M + P) in its parent's
// frame, so its matrix is composed with every ancestor's and its position moved and turned by
// theirs, nearest first. The ancestors' own motions are read, not their results, so the order of
// the objects does not matter. The scene reader refuses parents that loop.
static void follow_parents(SceneObject *obj) {
    for (const SceneObject *up = obj->parent; up; up = up->parent) {
        Mat3 turn, m;
        mat_from_angles(turn, up->rotation.pitch, up->rotation.heading, up->rotation.bank);
        mat_mul(m, obj->matrix, turn);
        obj->matrix = m;
        Vec3 p;
        vec_mul_mat(p, obj->world_position, turn);
        vec_add(obj->world_position, p, up->position);
    }
}

// Objects, lights and cameras that move with a parent, placed in the world once every object's
// own matrix is built. Out of line: the show's scenes have no parents, and inlined into the frame's
// pass it only made that pass longer.
[[gnu::noinline]] static void place_children(Scene *scene) {
    for (int i = 0; i < scene->object_count; i++)
        if (scene->objects[i]->parent) follow_parents(scene->objects[i]);
    for (int i = 0; i < scene->light_count; i++)
        if (scene->lights[i]->parent)
            place_in_parent(scene->lights[i]->parent, scene->lights[i]->world_position);
    for (int i = 0; i < scene->camera_count; i++)
        if (scene->cameras[i]->parent)
            place_in_parent(scene->cameras[i]->parent, scene->cameras[i]->position);
}

static void animate(Scene *scene, float ticks) {
    scene->time = scene->time + ticks * scene->speed;
    evaluate_motions(scene);
    for (int i = 0; i < scene->object_count; i++) {
        SceneObject *obj = scene->objects[i];
        obj->world_position = obj->position;
        mat_from_angles(obj->matrix, obj->rotation.pitch, obj->rotation.heading,
                        obj->rotation.bank);
    }
    place_children(scene);
    place_lights(scene);
    for (int i = 0; i < scene->camera_count; i++) orient_camera(scene->cameras[i]);
}

// ---- back faces and the depth sort

int face_visible(const RenderView *view, const Face *face) {
    if (face->flags & (FACE_DOUBLE_SIDED | FACE_FLARE | FACE_POINT | FACE_PARTICLE)) return 1;
    Vec3 p[3];
    for (int k = 0; k < 3; k++) project_point(view, p[k], face->v[k]);
    const float c = (p[1].x - p[0].x) * (p[0].y - p[2].y) - (p[1].y - p[0].y) * (p[0].x - p[2].x);
    return c >= 0.0f;
}

// The screen x, y of every point of a scene's objects, projected once per frame for the
// back-face test instead of three times per face. A face's vertices are copies of its object's
// view points, so the projections are the very ones face_visible makes. Objects past the room
// left take face_visible.
static constexpr int SCREEN_POINTS = 65536;
static float screen_xy[2 * SCREEN_POINTS];

// Where each object's points start in screen_xy, -1 when they did not fit.
static int screen_start(int used, const SceneObject *obj) {
    return obj->point_count <= SCREEN_POINTS - used ? used : -1;
}

void view_project_xy_plain(const RenderView *view, const Vec3 *points, int n, float *xy) {
    for (int i = 0; i < n; i++) {
        Vec3 p;
        project_point(view, p, points[i]);
        xy[2 * i] = p.x;
        xy[2 * i + 1] = p.y;
    }
}

#if QM_PACKED
// Four points at once, a point to a lane, each lane the very operations of project_point. A
// point is read as four floats, so the last point of the array is left to the plain loop.
void view_project_xy(const RenderView *view, const Vec3 *points, int n, float *xy) {
    const __m128 near = _mm_set1_ps(view->near), one = _mm_set1_ps(1.0f);
    const __m128 scale_x = _mm_set1_ps(view->scale_x), scale_y = _mm_set1_ps(view->scale_y);
    const __m128 centre_x = _mm_set1_ps(view->centre_x), centre_y = _mm_set1_ps(view->centre_y);
    int i = 0;
    for (; i + 4 < n; i += 4) {
        __m128 x = _mm_loadu_ps(&points[i].x), y = _mm_loadu_ps(&points[i + 1].x),
               z = _mm_loadu_ps(&points[i + 2].x), w = _mm_loadu_ps(&points[i + 3].x);
        _MM_TRANSPOSE4_PS(x, y, z, w);
        const __m128 k = _mm_div_ps(one, _mm_add_ps(near, z));
        const __m128 sx = _mm_add_ps(_mm_mul_ps(_mm_mul_ps(scale_x, x), k), centre_x);
        const __m128 sy = _mm_sub_ps(centre_y, _mm_mul_ps(_mm_mul_ps(scale_y, y), k));
        _mm_storeu_ps(xy + 2 * i, _mm_unpacklo_ps(sx, sy));
        _mm_storeu_ps(xy + 2 * i + 4, _mm_unpackhi_ps(sx, sy));
    }
    view_project_xy_plain(view, points + i, n - i, xy + 2 * i);
}
#else
void view_project_xy(const RenderView *view, const Vec3 *points, int n, float *xy) {
    view_project_xy_plain(view, points, n, xy);
}
#endif

static void project_points(const RenderView *view, const SceneObject *obj, float *xy) {
    view_project_xy(view, obj->view_points, obj->point_count, xy);
}

// face_visible on the projected points i0, i1, i2 of xy, for a face with these flags. Inline: the
// pass over a large scene's faces calls it for every face.
[[gnu::always_inline]] static inline int visible_at(int flags, const float *xy, int i0, int i1,
                                                    int i2) {
    if (flags & (FACE_DOUBLE_SIDED | FACE_FLARE | FACE_POINT | FACE_PARTICLE)) return 1;
    const float *p0 = xy + 2 * i0, *p1 = xy + 2 * i1, *p2 = xy + 2 * i2;
    const float c = (p1[0] - p0[0]) * (p0[1] - p2[1]) - (p1[1] - p0[1]) * (p0[0] - p2[0]);
    return c >= 0.0f;
}

// face_visible with the face's projected points looked up in xy.
static int face_visible_projected(const Face *face, const float *xy) {
    return visible_at(face->flags, xy, face->point_index[0], face->point_index[1],
                      face->point_index[2]);
}

// The sum of the three camera-space depths in 26.6, truncated toward zero, plus the bias; read
// as unsigned, so faces far behind the eye wrap to the largest keys.
static int depth_key_of(const Face *face) {
    const float sum = face->v[0].z + face->v[1].z + face->v[2].z;
    const uint32_t key = static_cast<uint32_t>(fill_trunc(sum * 64.0f)) + DEPTH_KEY_BIAS;
    return static_cast<int>(key);
}

// One stable counting pass on the byte of (key - low) at shift: from -> to, with the keys
// alongside. The last pass fills to from its end, as if the list were reversed after it, and
// leaves the keys, which nothing reads after it.
template <bool Last>
static void sort_pass(Face *const *from, const uint32_t *from_keys, Face **to, uint32_t *to_keys,
                      int count, uint32_t low, int shift, int *slot) {
    for (int i = 0; i < count; i++) {
        int at = slot[((from_keys[i] - low) >> shift) & 0xFF]++;
        if (Last) at = count - 1 - at;
        to[at] = from[i];
        if (!Last) to_keys[at] = from_keys[i];
    }
}

// The histograms of the low passes bytes of every key - low, compiled for each count of passes
// so that the loop over the bytes unrolls.
template <int Passes>
static void count_digits(const uint32_t *keys, int count, uint32_t low, int (*start)[256]) {
    for (int i = 0; i < count; i++) {
        const uint32_t key = keys[i] - low;
        for (int b = 0; b < Passes; b++) start[b][(key >> (8 * b)) & 0xFF]++;
    }
}

// The lowest and highest key. Faces behind the eye wrap to keys just below 2^32, far from the
// others: when the keys fall in both halves of the range, the upper half's are moved down to
// follow the lower half's highest at once, which orders them as before over a far narrower span
// (fewer passes).
static void close_key_gap(uint32_t *keys, int count, uint32_t *low, uint32_t *high) {
    uint32_t lowest = UINT32_MAX, highest = 0;
    for (int i = 0; i < count; i++) {
        lowest = keys[i] < lowest ? keys[i] : lowest;
        highest = keys[i] > highest ? keys[i] : highest;
    }
    *low = lowest;
    *high = highest;
    if ((lowest >> 31) == (highest >> 31)) return; // one half holds them all
    // The lower half's highest and the upper half's lowest.
    uint32_t below = 0, above = UINT32_MAX;
    for (int i = 0; i < count; i++) {
        const uint32_t key = keys[i];
        if (key >> 31)
            above = key < above ? key : above;
        else
            below = key > below ? key : below;
    }
    const uint32_t gap = above - below - 1;
    for (int i = 0; i < count; i++) keys[i] -= (keys[i] >> 31) * gap;
    *high -= gap;
}

// depth_sort with the keys given beside the faces (keys holds count of them and is used up).
static void depth_sort_keyed(Face **faces, uint32_t *keys, Face **scratch, int count) {
    static uint32_t keys_scratch[DEPTH_LIST_SIZE];
    // Sorting by key - low orders as the key itself does, and a frame's keys span far less than
    // 32 bits: only the bytes of that span need a pass. Stable passes from the least significant
    // byte give the one stable order whatever the digits, so the order is that of four passes.
    uint32_t low = UINT32_MAX, high = 0;
    close_key_gap(keys, count, &low, &high);
    int passes = 0;
    for (uint32_t span = high - low; span != 0; span >>= 8) passes++;
    if (passes == 0) { // one key for all: far to near is the reverse of the list
        std::reverse(faces, faces + count);
        return;
    }
    int start[4][256] = {};
    switch (passes) {
    case 1:
        count_digits<1>(keys, count, low, start);
        break;
    case 2:
        count_digits<2>(keys, count, low, start);
        break;
    case 3:
        count_digits<3>(keys, count, low, start);
        break;
    default:
        count_digits<4>(keys, count, low, start);
        break;
    }
    for (int b = 0; b < passes; b++) {
        int sum = 0;
        for (int d = 0; d < 256; d++) {
            const int n = start[b][d];
            start[b][d] = sum;
            sum += n;
        }
    }
    // Ascending through the passes; the last one writes far to near.
    Face **from = faces, **to = scratch;
    uint32_t *from_keys = keys, *to_keys = keys_scratch;
    for (int b = 0; b < passes; b++) {
        if (b == passes - 1)
            sort_pass<true>(from, from_keys, to, to_keys, count, low, 8 * b, start[b]);
        else
            sort_pass<false>(from, from_keys, to, to_keys, count, low, 8 * b, start[b]);
        std::swap(from, to);
        std::swap(from_keys, to_keys);
    }
    if (from != faces) std::copy(from, from + count, faces);
}

void depth_sort(Face **faces, Face **scratch, int count) {
    // The keys travel beside the pointers, so that only this gathering reaches into the faces.
    static uint32_t keys[DEPTH_LIST_SIZE];
    if (count > DEPTH_LIST_SIZE) count = DEPTH_LIST_SIZE;
    if (count <= 0) return;
    for (int i = 0; i < count; i++) keys[i] = static_cast<uint32_t>(faces[i]->depth_key);
    depth_sort_keyed(faces, keys, scratch, count);
}

// Where each object's points start in screen_xy, -1 when they were not projected. They are
// projected only right after the object was transformed: otherwise faces keep older vertices,
// and flares and points their projected ones.
static constexpr int SCREEN_OBJECTS = 256;
static int screen_starts[SCREEN_OBJECTS];

// Projects object i's points after the used ones; returns the points used then.
static int project_object(const Scene *scene, int i, int used) {
    if (i >= SCREEN_OBJECTS) return used;
    const SceneObject *obj = scene->objects[i];
    const int start = screen_start(used, obj);
    screen_starts[i] = start;
    if (start < 0) return used;
    project_points(scene->view, obj, screen_xy + 2 * start);
    return used + obj->point_count;
}

static void forget_projections(const Scene *scene) {
    for (int i = 0; i < scene->object_count && i < SCREEN_OBJECTS; i++) screen_starts[i] = -1;
}

// Every object to camera space, its faces' vertices included, and its points projected.
static void transform_objects(Scene *scene) {
    const Camera *cam = scene->cameras[scene->current_camera];
    int used = 0;
    for (int i = 0; i < scene->object_count; i++) {
        SceneObject *obj = scene->objects[i];
        transform_points(obj, cam, scene->view->near);
        for (int j = 0; j < obj->face_count; j++) copy_face_vertices(obj->faces[j], obj);
        used = project_object(scene, i, used);
    }
}

// Object i's projected points in screen_xy, or null when they were not projected.
static const float *projected_points(int object) {
    if (object < SCREEN_OBJECTS && screen_starts[object] >= 0)
        return screen_xy + 2 * screen_starts[object];
    return nullptr;
}

static int object_face_visible(const RenderView *view, int object, const Face *face) {
    const float *xy = projected_points(object);
    return xy ? face_visible_projected(face, xy) : face_visible(view, face);
}

// Collects the visible faces of every object in scene order. The list holds DEPTH_LIST_SIZE
// faces; a frame with more draws the first ones and leaves the rest out, rather than writing
// past the list.
static void collect_faces(const Scene *scene) {
    depth_count = 0;
    for (int i = 0; i < scene->object_count; i++) {
        SceneObject *obj = scene->objects[i];
        for (int j = 0; j < obj->face_count; j++) {
            Face *f = &obj->faces[j];
            if (!object_face_visible(scene->view, i, f)) continue;
            if (depth_count == DEPTH_LIST_SIZE) return;
            copy_face_normals(*f, obj);
            f->depth_key = depth_key_of(f);
            depth_keys[depth_count] = static_cast<uint32_t>(f->depth_key);
            depth_list[depth_count++] = f;
        }
    }
}

// The leading fields of a face, which the pass below reads and writes for every face: a large
// scene's faces outgrow the caches, and their stride is too wide for the processor to see it
// coming.
static constexpr int FACE_HEAD_AHEAD = 16;

static void prefetch_face_head(const Face *face) {
    const char *p = reinterpret_cast<const char *>(face);
    __builtin_prefetch(p, 1);
    __builtin_prefetch(p + offsetof(Face, depth_key), 1);
}

// transform_objects and collect_faces in one pass over the faces, which a large scene's faces
// make worth it: each face's vertices are copied, tested and keyed while its record is at hand.
// The list fills as collect_faces fills it; the faces past it are still transformed.
static void transform_and_collect(Scene *scene) {
    const Camera *cam = scene->cameras[scene->current_camera];
    depth_count = 0;
    int used = 0;
    for (int i = 0; i < scene->object_count; i++) {
        SceneObject *obj = scene->objects[i];
        transform_points(obj, cam, scene->view->near);
        used = project_object(scene, i, used);
        const float *xy = projected_points(i);
        for (int j = 0; j < obj->face_count; j++) {
            Face *f = &obj->faces[j];
            if (j + FACE_HEAD_AHEAD < obj->face_count) prefetch_face_head(f + FACE_HEAD_AHEAD);
            // copy_face_vertices, with the indices kept for the test
            const int i0 = f->point_index[0], i1 = f->point_index[1], i2 = f->point_index[2];
            f->v[0] = obj->view_points[i0];
            f->v[1] = obj->view_points[i1];
            f->v[2] = obj->view_points[i2];
            if (depth_count == DEPTH_LIST_SIZE) continue;
            if (!(xy ? visible_at(f->flags, xy, i0, i1, i2) : face_visible(scene->view, f)))
                continue;
            copy_face_normals(*f, obj);
            f->depth_key = depth_key_of(f);
            depth_keys[depth_count] = static_cast<uint32_t>(f->depth_key);
            depth_list[depth_count++] = f;
        }
    }
}

// Sorted far to near, the faces come in no order of memory, and a scene's faces outgrow the
// caches: each would wait for its record. Asking for a face a few places ahead hides that.
static constexpr int FACE_PREFETCH_AHEAD = 4;

// Drawing a polygon reads the record up to its first two texture layers' coordinates; the rest
// (normals, flare sizes) only some faces read, and asking for it all would crowd the requests
// that count.
static constexpr size_t FACE_DRAWN_BYTES = offsetof(Face, uv) + 12 * sizeof(float);

static void prefetch_face(const Face *face) {
    const char *p = reinterpret_cast<const char *>(face);
    for (size_t at = 0; at < FACE_DRAWN_BYTES; at += 64) __builtin_prefetch(p + at);
    __builtin_prefetch(p + FACE_DRAWN_BYTES - 1);
}

static int scene_drawable(const Scene *scene) {
    return scene && scene->target && scene->view && scene->camera_count > 0 &&
           scene->current_camera >= 0 && scene->current_camera < scene->camera_count;
}

void render_scene_ticks(Scene *scene, float ticks) {
    if (!scene_drawable(scene)) return;
    const bool fresh = (scene->flags & (SCENE_ANIMATE | SCENE_FROZEN)) != SCENE_FROZEN;
    if (fresh) animate(scene, ticks);
    RenderView *view = scene->view;
    const SidePlanes planes = side_planes(view);
    if (scene->flags & SCENE_DEPTH_SORTED) {
        if (fresh) {
            transform_and_collect(scene);
        } else {
            forget_projections(scene);
            collect_faces(scene);
        }
        if (depth_count > 0) depth_sort_keyed(depth_list, depth_keys, depth_sorted, depth_count);
        for (int i = 0; i < depth_count; i++) {
            if (i + FACE_PREFETCH_AHEAD < depth_count)
                prefetch_face(depth_list[i + FACE_PREFETCH_AHEAD]);
            submit_face_with(view, planes, depth_list[i], scene->target);
        }
        return;
    }
    if (fresh)
        transform_objects(scene);
    else
        forget_projections(scene);
    for (int i = 0; i < scene->object_count; i++) {
        SceneObject *obj = scene->objects[i];
        for (int j = 0; j < obj->face_count; j++) {
            if (!object_face_visible(view, i, &obj->faces[j])) continue;
            copy_face_normals(obj->faces[j], obj);
            submit_face_with(view, planes, &obj->faces[j], scene->target);
        }
    }
}

// ---- clipping

// The clipper's routines are compiled for the strides the show's faces have (one or two texture
// layers), so that their loops over a vertex's floats have a fixed length; Stride 0 takes the
// stride given.
template <int Stride> static int stride_of(int stride) {
    return Stride ? Stride : stride;
}

// Moves p (all stride floats) along d until plane . p is 0; t = 0 leaves it where it is, also
// when the segment lies in the plane (where the division would give 0 / 0).
template <int Stride> static void slide(float *p, const float *d, int stride, float a0, float ad) {
    if (a0 == 0.0f) return;
    const float t = a0 / ad;
    for (int i = 0; i < stride_of<Stride>(stride); i++) p[i] = p[i] - t * d[i];
}

static float plane_dot(const Vec3 &n, const float *p) {
    return n.x * p[0] + n.y * p[1] + n.z * p[2];
}

// Clips segment p..q against one plane (inside: plane . p < 0). 0 when both ends are outside,
// else 1, with *clipped_end set when q moved.
template <int Stride>
static int clip_segment_plane(const Vec3 &a, float *p, float *q, const float *d, int stride,
                              bool *clipped_end) {
    const float a0 = plane_dot(a, p), a1 = plane_dot(a, q);
    if (a1 - a0 <= 0.0f) {
        if (a0 >= 0.0f) {
            if (a1 > 0.0f) return 0;
            slide<Stride>(p, d, stride, a0, plane_dot(a, d));
        }
    } else if (a1 >= 0.0f) {
        if (a0 > 0.0f) return 0;
        std::memcpy(q, p, sizeof(float) * stride_of<Stride>(stride));
        slide<Stride>(q, d, stride, a0, plane_dot(a, d));
        *clipped_end = true;
    }
    return 1;
}

// 0: the segment is outside a plane; 1: emit p; 2: emit p and the clipped q.
template <int Stride>
static int clip_segment_pair(const Vec3 &a, const Vec3 &b, float *p, float *q, int stride) {
    float d[CLIP_MAX_STRIDE];
    for (int i = 0; i < stride_of<Stride>(stride); i++) d[i] = q[i] - p[i];
    bool clipped_end = false;
    if (!clip_segment_plane<Stride>(a, p, q, d, stride, &clipped_end)) return 0;
    if (!clip_segment_plane<Stride>(b, p, q, d, stride, &clipped_end)) return 0;
    return clipped_end ? 2 : 1;
}

template <int Stride>
static int clip_polygon_strided(const Vec3 &a, const Vec3 &b, const float *in, int n, int stride,
                                float *out) {
    stride = stride_of<Stride>(stride);
    int m = 0;
    float p[CLIP_MAX_STRIDE], q[CLIP_MAX_STRIDE];
    const size_t bytes = sizeof(float) * stride;
    for (int i = 0; i < n; i++) {
        std::memcpy(p, in + i * stride, bytes);
        std::memcpy(q, in + (i + 1 < n ? i + 1 : 0) * stride, bytes);
        const int r = clip_segment_pair<Stride>(a, b, p, q, stride);
        if (r >= 1) std::memcpy(out + m++ * stride, p, bytes);
        if (r == 2) std::memcpy(out + m++ * stride, q, bytes);
    }
    return m;
}

int clip_polygon_pair(const Vec3 &a, const Vec3 &b, const float *in, int n, int stride,
                      float *out) {
    switch (stride) {
    case 5:
        return clip_polygon_strided<5>(a, b, in, n, stride, out);
    case 7:
        return clip_polygon_strided<7>(a, b, in, n, stride, out);
    default:
        return clip_polygon_strided<0>(a, b, in, n, stride, out);
    }
}

// A polygon whose every vertex lies strictly inside both planes comes through clip_polygon_pair
// unchanged (no segment reaches a plane, so nothing slides), so it is passed on as it is. A NaN
// dot product fails the test and takes the clipper.
static const float *clip_pair_if_needed(const Vec3 &a, const Vec3 &b, const float *in, int *n,
                                        int stride, float *out) {
    bool inside = true;
    for (int i = 0; i < *n && inside; i++) {
        const float *p = in + i * stride;
        inside = plane_dot(a, p) < 0.0f && plane_dot(b, p) < 0.0f;
    }
    if (inside) return in;
    *n = clip_polygon_pair(a, b, in, *n, stride, out);
    return out;
}

// ---- lighting and the polygon path

static void light_face(const RenderView *view, Face *face) {
    switch (face->flags & (FACE_GOURAUD | FACE_FLAT)) {
    case FACE_GOURAUD:
        for (int k = 0; k < 3; k++) {
            float sum = 0.0f;
            for (int i = 0; i < view->light_count; i++)
                sum += light_intensity(view->lights[i], face->v[k], face->vertex_normal[k]);
            face->gouraud_intensity[k] = sum < 255.0f ? sum : 255.0f;
        }
        break;
    case FACE_FLAT: {
        Vec3 e1, e0, centre;
        vec_sub(e1, face->v[1], face->v[2]);
        vec_sub(e0, face->v[0], face->v[2]);
        vec_cross(face->face_normal, e1, e0);
        vec_normalize(face->face_normal, face->face_normal);
        vec_add(centre, face->v[1], face->v[2]);
        vec_add(centre, centre, face->v[0]);
        vec_scale(centre, 0.33333f, centre);
        float sum = 0.0f;
        for (int i = 0; i < view->light_count; i++)
            sum += light_intensity(view->lights[i], centre, face->face_normal);
        face->flat_intensity = sum < 255.0f ? sum : 255.0f;
        break;
    }
    default:
        break;
    }
}

// Texture layers a face carries, bounded by its uv array.
static int layers_of(const Face *face) {
    const int layers = (face->uv_count + 5) / 6;
    if (layers < 0) return 0;
    return layers < CLIP_MAX_LAYERS ? layers : CLIP_MAX_LAYERS;
}

static void env_map(Face *face) {
    // A layer offset outside the uv array would write past the face.
    const int at = face->uv_layer[1];
    if (at < 0 || at > FACE_UV_FLOATS - 6) return;
    for (int k = 0; k < 3; k++) {
        const Vec3 &n = face->vertex_normal[k];
        face->uv[at + 2 * k] = face->env_scale * n.x + 127.0f;
        face->uv[at + 2 * k + 1] = face->env_scale * n.y + 127.0f;
    }
}

// The clip layout is x, y, z + near, the layers' (u, v), then the Gouraud intensity. It follows
// uv_count rather than clip_stride, so a stride set too small cannot make vertices overlap.
static int clip_layout(const Face *face, float near, float *out) {
    const int layers = layers_of(face);
    const bool gouraud = face->flags & FACE_GOURAUD;
    const int stride = 3 + 2 * layers + (gouraud ? 1 : 0);
    for (int k = 0; k < 3; k++) {
        float *c = out + k * stride;
        c[0] = face->v[k].x;
        c[1] = face->v[k].y;
        c[2] = face->v[k].z + near;
        for (int l = 0; l < layers; l++) {
            c[3 + 2 * l] = face->uv[6 * l + 2 * k];
            c[4 + 2 * l] = face->uv[6 * l + 2 * k + 1];
        }
        if (gouraud) c[3 + 2 * layers] = face->gouraud_intensity[k];
    }
    return stride;
}

// Scratch vertex k = clip vertex c, back in camera space and projected.
static void fan_vertex(const RenderView *view, Face *s, int k, const float *c, int layers,
                       bool gouraud) {
    s->v[k] = Vec3{c[0], c[1], c[2] - view->near};
    for (int l = 0; l < layers; l++) {
        s->uv[6 * l + 2 * k] = c[3 + 2 * l];
        s->uv[6 * l + 2 * k + 1] = c[4 + 2 * l];
    }
    if (gouraud) s->gouraud_intensity[k] = c[3 + 2 * layers];
    project_point(view, s->v[k], s->v[k]);
}

static void fan_move_last(Face *s, int layers) {
    s->v[1] = s->v[2];
    s->gouraud_intensity[1] = s->gouraud_intensity[2];
    // each layer's (u, v) pair as one move
    for (int l = 0; l < layers; l++) std::memcpy(s->uv + 6 * l + 2, s->uv + 6 * l + 4, 8);
}

static void copy_to_scratch(Face *s, const Face *face) {
    s->flags = face->flags;
    s->colour = face->colour;
    s->flat_intensity = face->flat_intensity;
    s->clip_stride = face->clip_stride;
    s->uv_count = face->uv_count;
    // Fixed sizes, so that the copies stay a few moves.
    std::memcpy(s->texture, face->texture, sizeof(s->texture));
    std::memcpy(s->uv_layer, face->uv_layer, sizeof(s->uv_layer));
}

// Hands the scratch face to the face's draw hook or to the filler table.
static void draw_scratch(const Face *face, Face *s, Image *target) {
    if (face->draw_hook)
        face->draw_hook(s, target);
    else
        dispatch_fill(s, target);
}

int view_triangle_inside_plain(const RenderView *view, const float c[3][3]) {
    for (int k = 0; k < 3; k++)
        if (!(plane_dot(view->left_plane, c[k]) < 0.0f &&
              plane_dot(view->right_plane, c[k]) < 0.0f &&
              plane_dot(view->top_plane, c[k]) < 0.0f &&
              plane_dot(view->bottom_plane, c[k]) < 0.0f))
            return 0;
    return 1;
}

#if QM_PACKED
// A triangle's three vertices side by side, one lane each (the fourth repeats the first).
struct TriangleLanes {
    __m128 x, y, z;
};

static SidePlanes side_planes(const RenderView *view) {
    SidePlanes planes;
    const Vec3 *sides[4] = {&view->left_plane, &view->right_plane, &view->top_plane,
                            &view->bottom_plane};
    for (int i = 0; i < 4; i++) {
        planes.x[i] = _mm_set1_ps(sides[i]->x);
        planes.y[i] = _mm_set1_ps(sides[i]->y);
        planes.z[i] = _mm_set1_ps(sides[i]->z);
    }
    return planes;
}

// Each lane forms x * p0 + y * p1 + z * p2 of its vertex in the order plane_dot does, so the
// signs are the very ones of the plain test.
static bool lanes_inside(const SidePlanes &planes, const TriangleLanes &c) {
    __m128 inside = _mm_castsi128_ps(_mm_set1_epi32(-1));
#pragma GCC unroll 4
    for (int i = 0; i < 4; i++) {
        const __m128 d =
            _mm_add_ps(_mm_add_ps(_mm_mul_ps(planes.x[i], c.x), _mm_mul_ps(planes.y[i], c.y)),
                       _mm_mul_ps(planes.z[i], c.z));
        inside = _mm_and_ps(inside, _mm_cmplt_ps(d, _mm_setzero_ps()));
    }
    return _mm_movemask_ps(inside) == 0xF;
}

int view_triangle_inside(const RenderView *view, const float c[3][3]) {
    const TriangleLanes lanes{_mm_setr_ps(c[0][0], c[1][0], c[2][0], c[0][0]),
                              _mm_setr_ps(c[0][1], c[1][1], c[2][1], c[0][1]),
                              _mm_setr_ps(c[0][2], c[1][2], c[2][2], c[0][2])};
    return lanes_inside(side_planes(view), lanes);
}

// The face's vertices as lanes: three rows of x, y, z (the fourth float of the last row is the
// field after the vertices, which lands in a lane no arithmetic reads).
static TriangleLanes face_lanes(const Face *face) {
    static_assert(sizeof(Vec3) == 3 * sizeof(float) &&
                  offsetof(Face, v) + sizeof(Face::v) < sizeof(Face));
    const float *v = &face->v[0].x;
    __m128 r0 = _mm_loadu_ps(v), r1 = _mm_loadu_ps(v + 3), r2 = _mm_loadu_ps(v + 6), r3 = r0;
    _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
    return TriangleLanes{r0, r1, r2};
}

// Lanes back to the three vertices of s, written in order so that each row's spare float is
// overwritten by the next row, and the last row's is not written.
static void store_lanes(Face *s, const TriangleLanes &p) {
    __m128 r0 = p.x, r1 = p.y, r2 = p.z, r3 = p.z;
    _MM_TRANSPOSE4_PS(r0, r1, r2, r3);
    float *v = &s->v[0].x;
    _mm_storeu_ps(v, r0);
    _mm_storeu_ps(v + 3, r1);
    _mm_storel_pi(reinterpret_cast<__m64 *>(v + 6), r2);
    _mm_store_ss(v + 8, _mm_movehl_ps(r2, r2));
}

// Each layer's coordinates of the three vertices lie side by side, so the layers in use are one
// block.
static void copy_layers(Face *s, const Face *face, int layers) {
    if (layers == 1)
        std::memcpy(s->uv, face->uv, 6 * sizeof(float));
    else
        std::memcpy(s->uv, face->uv, sizeof(float) * 6 * static_cast<size_t>(layers));
}

// A triangle inside all four planes leaves both clipping passes as it came, and the fan is the
// triangle itself: its vertices go straight from the face to the scratch face, the same floats by
// the same arithmetic as through the clip layout and project_point, a vertex to a lane. False
// when a vertex is not inside.
static bool submit_inside(RenderView *view, const SidePlanes &planes, Face *face, Image *target) {
    const __m128 near = _mm_set1_ps(view->near);
    TriangleLanes c = face_lanes(face);
    c.z = _mm_add_ps(c.z, near);
    if (!lanes_inside(planes, c)) return false;
    Face *s = view->scratch;
    copy_to_scratch(s, face);
    const int layers = layers_of(face);
    copy_layers(s, face, layers);
    if (face->flags & FACE_GOURAUD)
        std::memcpy(s->gouraud_intensity, face->gouraud_intensity, sizeof(s->gouraud_intensity));
    // z - near back in camera space; k = 1 / (near + z); x * scale * k + centre; centre - y * ...
    const __m128 z = _mm_sub_ps(c.z, near);
    const __m128 k = _mm_div_ps(_mm_set1_ps(1.0f), _mm_add_ps(near, z));
    const __m128 x = _mm_add_ps(_mm_mul_ps(_mm_mul_ps(_mm_set1_ps(view->scale_x), c.x), k),
                                _mm_set1_ps(view->centre_x));
    const __m128 y = _mm_sub_ps(_mm_set1_ps(view->centre_y),
                                _mm_mul_ps(_mm_mul_ps(_mm_set1_ps(view->scale_y), c.y), k));
    store_lanes(s, TriangleLanes{x, y, z});
    draw_scratch(face, s, target);
    fan_move_last(s, layers);
    return true;
}
#else
static SidePlanes side_planes(const RenderView *) {
    return SidePlanes{};
}

int view_triangle_inside(const RenderView *view, const float c[3][3]) {
    return view_triangle_inside_plain(view, c);
}

// The eye-space vertex k of the clip layout: x, y, z + near.
static void eye_point(const Face *face, int k, float near, float *c) {
    c[0] = face->v[k].x;
    c[1] = face->v[k].y;
    c[2] = face->v[k].z + near;
}

// A triangle inside all four planes leaves both clipping passes as it came, and the fan is the
// triangle itself: its clip vertices go straight from the face to the scratch face, the same
// floats by the same arithmetic as through the clip layout. False when a vertex is not inside.
static bool submit_inside(RenderView *view, const SidePlanes &, Face *face, Image *target) {
    const float near = view->near;
    float c[3][3];
    for (int k = 0; k < 3; k++) eye_point(face, k, near, c[k]);
    if (!view_triangle_inside_plain(view, c)) return false;
    Face *s = view->scratch;
    copy_to_scratch(s, face);
    const int layers = layers_of(face);
    const bool gouraud = face->flags & FACE_GOURAUD;
    for (int k = 0; k < 3; k++) {
        s->v[k] = Vec3{c[k][0], c[k][1], c[k][2] - near};
        for (int l = 0; l < layers; l++) {
            s->uv[6 * l + 2 * k] = face->uv[6 * l + 2 * k];
            s->uv[6 * l + 2 * k + 1] = face->uv[6 * l + 2 * k + 1];
        }
        if (gouraud) s->gouraud_intensity[k] = face->gouraud_intensity[k];
        project_point(view, s->v[k], s->v[k]);
    }
    draw_scratch(face, s, target);
    fan_move_last(s, layers);
    return true;
}
#endif

static void submit_polygon(RenderView *view, const SidePlanes &planes, Face *face, Image *target) {
    const float near = view->near;
    if (face->v[0].z < -near && face->v[1].z < -near && face->v[2].z < -near) return;
    light_face(view, face);
    if (face->flags & FACE_ENVMAP) env_map(face);
    if (submit_inside(view, planes, face, target)) return;
    float in[3 * CLIP_MAX_STRIDE];
    float mid[CLIP_MAX_VERTICES * CLIP_MAX_STRIDE];
    float out[CLIP_MAX_VERTICES * CLIP_MAX_STRIDE];
    const int stride = clip_layout(face, near, in);
    int n = 3;
    const float *sides =
        clip_pair_if_needed(view->left_plane, view->right_plane, in, &n, stride, mid);
    if (n < 3) return;
    const float *poly =
        clip_pair_if_needed(view->top_plane, view->bottom_plane, sides, &n, stride, out);
    if (n < 3) return;
    Face *s = view->scratch;
    copy_to_scratch(s, face);
    const int layers = layers_of(face);
    const bool gouraud = face->flags & FACE_GOURAUD;
    fan_vertex(view, s, 0, poly, layers, gouraud);
    fan_vertex(view, s, 1, poly + stride, layers, gouraud);
    for (int j = 2; j < n; j++) {
        fan_vertex(view, s, 2, poly + j * stride, layers, gouraud);
        draw_scratch(face, s, target);
        fan_move_last(s, layers);
    }
}

void submit_face(RenderView *view, Face *face, Image *target) {
    submit_face_with(view, side_planes(view), face, target);
}

static void submit_face_with(RenderView *view, const SidePlanes &planes, Face *face,
                             Image *target) {
    view->target = target;
    if (!target || (face->flags & FACE_HIDDEN)) return;
    const float near = view->near;
    switch (face->flags & (FACE_PARTICLE | FACE_FLARE | FACE_POINT)) {
    case FACE_POINT: {
        project_point(view, face->v[0], face->v[0]);
        const Vec3 &p = face->v[0];
        const float width = static_cast<float>(target->width);
        const float height = static_cast<float>(target->height);
        if (p.z >= -near && p.x >= 0.0f && p.x <= width && p.y >= 0.0f && p.y <= height)
            dispatch_fill(face, target);
        return;
    }
    case FACE_FLARE:
        if (face->v[0].z < -near) return;
        face->projected_size = project_size(view, face->v[0], face->flare_radius);
        project_point(view, face->v[0], face->v[0]);
        draw_flare(face, target);
        return;
    case FACE_PARTICLE:
        for (int k = 0; k < 3; k++) {
            Vec3 p;
            project_point(view, p, face->v[k]);
            draw_particle(p, project_size(view, face->v[k], static_cast<float>(k + 1)),
                          face->texture[0], target);
        }
        return;
    default:
        submit_polygon(view, planes, face, target);
        return;
    }
}

// ---- additive sprites

// One axis of a sprite: the covered target range [first, end) and the texture coordinate
// (8.8 fixed point) at first with its step per pixel.
struct SpriteSpan {
    int first;
    int end;
    int coord;
    int step;
};

// The square side 2r centred on c over a target of length limit, mapped onto texture_size
// texels. A side cut at an edge starts and ends its coordinate further in and spreads what is
// left over the remaining pixels. 0 when nothing of it is inside.
static int sprite_span(int c, int r, int limit, int texture_size, SpriteSpan *span) {
    int first = c - r, end = c + r;
    const int step = (texture_size * 256 - 256) / (2 * r);
    int start = 0, stop = texture_size * 256 - 256;
    if (first < 0) {
        start -= first * step;
        first = 0;
    }
    if (end > limit) {
        stop -= (end - limit) * step;
        end = limit;
    }
    if (end <= first) return 0;
    *span = SpriteSpan{first, end, start, (stop - start) / (end - first)};
    return 1;
}

// Bytes 1..3 of texel added to those of pixel with saturation; byte 0 of pixel kept. All bytes
// at once: the low seven bits of each byte add without crossing into the next, the top bits are
// added apart, and a byte whose sum carried out becomes 255.
static uint32_t add_saturated(uint32_t pixel, uint32_t texel) {
    texel &= 0xFFFFFF00u;
    const uint32_t low = (pixel & 0x7F7F7F7Fu) + (texel & 0x7F7F7F7Fu);
    const uint32_t sum = low ^ ((pixel ^ texel) & 0x80808080u);
    const uint32_t carry = ((pixel & texel) | ((pixel | texel) & ~sum)) & 0x80808080u;
    return sum | ((carry >> 7) * 0xFFu);
}

static void sprite_row_plain(uint32_t *dst, const uint32_t *texels, int n, int u, int du) {
    for (int i = 0; i < n; i++, u += du) dst[i] = add_saturated(dst[i], texels[u >> 8]);
}

#if QM_PACKED
// Four pixels per pass with packed saturating byte adds, the texels taken at the columns the
// sprite's rows share. The texels' byte 0 is cleared first, so the mask byte of the target stays
// as it was, exactly as on the plain path.
static void sprite_row_packed(uint32_t *dst, const uint32_t *texels, int n, const int *column) {
    const __m128i colour_bytes = _mm_set1_epi32(static_cast<int>(0xFFFFFF00u));
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        const __m128i t = _mm_set_epi32(
            static_cast<int>(texels[column[i + 3]]), static_cast<int>(texels[column[i + 2]]),
            static_cast<int>(texels[column[i + 1]]), static_cast<int>(texels[column[i]]));
        __m128i *d = reinterpret_cast<__m128i *>(dst + i);
        _mm_storeu_si128(d, _mm_adds_epu8(_mm_loadu_si128(d), _mm_and_si128(t, colour_bytes)));
    }
    // The last two pixels and the last one likewise, in the low lanes.
    if (i + 2 <= n) {
        const __m128i t =
            _mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(texels[column[i]])),
                               _mm_cvtsi32_si128(static_cast<int>(texels[column[i + 1]])));
        __m128i *d = reinterpret_cast<__m128i *>(dst + i);
        _mm_storel_epi64(d, _mm_adds_epu8(_mm_loadl_epi64(d), _mm_and_si128(t, colour_bytes)));
        i += 2;
    }
    if (i < n) {
        const __m128i t = _mm_cvtsi32_si128(static_cast<int>(texels[column[i]]));
        const __m128i d = _mm_cvtsi32_si128(static_cast<int>(dst[i]));
        dst[i] = static_cast<uint32_t>(
            _mm_cvtsi128_si32(_mm_adds_epu8(d, _mm_and_si128(t, colour_bytes))));
    }
}

// The packed rows. Every row reads the same texel columns, so they are worked out once per
// sprite (a sprite is at most SPRITE_MAX_SIZE wide), by the very sums the plain row makes.
static void sprite_rows_packed(Image *target, const Image *image, const SpriteSpan &cols,
                               const SpriteSpan &rows) {
    int column[SPRITE_MAX_SIZE];
    const int n = cols.end - cols.first;
    int u = cols.coord;
    for (int i = 0; i < n; i++, u += cols.step) column[i] = u >> 8;
    int v = rows.coord;
    uint32_t *dst = target->pixels + static_cast<size_t>(rows.first) * target->width + cols.first;
    for (int row = rows.first; row < rows.end; row++, v += rows.step, dst += target->width) {
        const uint32_t *texels = image->pixels + static_cast<size_t>(v >> 8) * image->width;
        sprite_row_packed(dst, texels, n, column);
    }
}
#endif

// The covered rows, each through row_add. A template, so that the row (a few pixels for most
// particles) is drawn inline rather than through a call.
template <class RowAdd>
static void sprite_rows(Image *target, const Image *image, const SpriteSpan &cols,
                        const SpriteSpan &rows, RowAdd row_add) {
    int v = rows.coord;
    for (int row = rows.first; row < rows.end; row++, v += rows.step) {
        uint32_t *dst = target->pixels + static_cast<size_t>(row) * target->width + cols.first;
        const uint32_t *texels = image->pixels + static_cast<size_t>(v >> 8) * image->width;
        row_add(dst, texels, cols.end - cols.first, cols.coord, cols.step);
    }
}

void draw_sprite_add(int x, int y, Image *target, const Image *image, int s) {
    if (!target || !target->pixels || !image || !image->pixels) return;
    if (image->width <= 0 || image->height <= 0) return;
    if (s > SPRITE_MAX_SIZE) s = SPRITE_MAX_SIZE;
    const int r = s / 2;
    if (r <= 0) return;
    // In 64 bits: a sprite projected from the eye plane arrives at the ends of the int range.
    const int64_t x64 = x, y64 = y;
    if (y64 - r > target->height || y64 + r <= 0 || x64 - r > target->width || x64 + r <= 0) return;
    SpriteSpan cols, rows;
    if (!sprite_span(x, r, target->width, image->width, &cols)) return;
    if (!sprite_span(y, r, target->height, image->height, &rows)) return;
#if QM_PACKED
    if (has_mmx) {
        sprite_rows_packed(target, image, cols, rows);
        return;
    }
#endif
    sprite_rows(target, image, cols, rows, sprite_row_plain);
}

void draw_flare(const Face *face, Image *target) {
    if (!target || !target->pixels) return;
    const int x = fill_trunc(face->v[0].x), y = fill_trunc(face->v[0].y);
    if (!face->texture[0]) {
        if (x > 0 && x < target->width && y > 0 && y < target->height)
            target->pixels[static_cast<size_t>(y) * target->width + x] = COLOUR_WHITE;
        return;
    }
    const int s0 = fill_trunc(face->projected_size);
    if (s0 < 8) return;
    const int s = fill_trunc(static_cast<float>(s0) - face->v[0].z / 1024.0f);
    if (s < 8) return;
    draw_sprite_add(x, y, target, face->texture[0], s);
}

void draw_particle(const Vec3 &point, float size, const Image *image, Image *target) {
    if (!image) return;
    const int s0 = fill_trunc(size * 2.0f / 3.0f);
    if (s0 < 8) return;
    const int s = fill_trunc(static_cast<float>(s0) - point.z / 16.0f) / 8;
    if (s < 8) return;
    draw_sprite_add(fill_trunc(point.x), fill_trunc(point.y), target, image, s);
}
