// light_scene.cpp -- light rising behind the moor, a page of golden lettering, and the scene of
// sparks and a halo around a lettered ring
#include "parts/parts.h"

#include "lwo_write.h"
#include "lws_write.h"
#include "noise.h"
#include "scenery.h"
#include "text.h"

#include <cstdio>
#include <vector>

// ---- the background ------------------------------------------------------------------------

// The rays of the tunnel fan out from a point 30 rows below the frame's middle: the light of
// the picture rises from there, behind the hills.
constexpr float LIGHT_X = 256.0f;
constexpr float LIGHT_Y = 286.0f;

static int paint_background(Canvas *c) {
    static const GradientStop sky[] = {{0.0f, rgb_hex(0x020308)},
                                       {0.35f, rgb_hex(0x0A0C28)},
                                       {0.7f, rgb_hex(0x1E1640)},
                                       {0.9f, rgb_hex(0x4A2850)}};
    canvas_vgradient(c, sky, 4);
    scenery_stars(c, 220, 150.0f, 0.9f, 801);
    canvas_glow(c, LIGHT_X, LIGHT_Y, 260.0f, 1.6f, rgb_hex(0x6A3A80), 0.45f);
    canvas_glow(c, LIGHT_X, LIGHT_Y - 40.0f, 120.0f, 1.4f, rgb_hex(0xFFC890), 0.6f);
    canvas_glow(c, LIGHT_X, LIGHT_Y - 60.0f, 40.0f, 1.2f, rgb_hex(0xFFF0D0), 0.5f);
    scenery_lights(c, 40, LIGHT_X, 200.0f, 220.0f, 30.0f, rgb_hex(0xFFD8A0), 0.35f, 802);
    Ridge far{214.0f, 10.0f, 0.006f, 4, 803}, near{232.0f, 12.0f, 0.009f, 5, 804};
    static const GradientStop far_hill[] = {{0.8f, rgb_hex(0x2A1E3A)}, {1.0f, rgb_hex(0x1A1426)}};
    static const GradientStop near_hill[] = {{0.85f, rgb_hex(0x120E1A)}, {1.0f, rgb_hex(0x06050A)}};
    if (!scenery_hills(c, &far, far_hill, 2)) return 0;
    scenery_mist(c, 222.0f, 8.0f, rgb_hex(0xD0A0B0), 0.35f, 805);
    if (!scenery_hills(c, &near, near_hill, 2)) return 0;
    canvas_vignette(c, 0.3f);
    return 1;
}

// ---- the lettering -------------------------------------------------------------------------

// The tunnel reads the page one column at a time along its rows, and the ring wears it all:
// lines of lettering from edge to edge, alternately gold and pale blue, on deep indigo.
struct PageLine {
    FontFace face;
    float size;
    const char *text;
    float tracking;
    int top;
    uint32_t colour;
};

static const PageLine page[] = {
    {FONT_SERIF_BOLD, 26.0f, "QUELLMOOR", 6.0f, 2, 0xFFD070},
    {FONT_SANS_CONDENSED_BOLD, 13.0f, "LIGHT RISES FROM THE SPRING", 1.0f, 35, 0xA8D8FF},
    {FONT_SERIF, 20.0f, "lumen in tenebris", 2.0f, 54, 0xFFB060},
    {FONT_SANS_BOLD, 22.0f, "STREAKS OF LIGHT", 1.0f, 80, 0xFFE6A8},
    {FONT_SERIF_BOLD, 16.0f, "over peat and heather", 1.0f, 108, 0x90C0FF},
    {FONT_SANS_CONDENSED_BOLD, 30.0f, "GLOW", 18.0f, 130, 0xFFC060},
    {FONT_SERIF, 16.0f, "the moor remembers the sun", 0.0f, 166, 0xFFD8A0},
    {FONT_SANS_BOLD, 19.0f, "SPARKS AND HALOS", 2.0f, 188, 0xB0E0FF},
    {FONT_SERIF_BOLD, 22.0f, "a ring of words", 3.0f, 212, 0xFFB868},
    {FONT_SANS_CONDENSED_BOLD, 14.0f, "QUELLMOOR  QUELLMOOR  QUELLMOOR", 3.0f, 240, 0x8CB8F0},
};

static int paint_lettering(Canvas *c) {
    static const GradientStop ink[] = {
        {0.0f, rgb_hex(0x050310)}, {0.5f, rgb_hex(0x0C0826)}, {1.0f, rgb_hex(0x040412)}};
    canvas_vgradient(c, ink, 3);
    for (int y = 0; y < c->height; y++)
        for (int x = 0; x < c->width; x++) {
            float n = noise_fbm((float)x * 0.03f, (float)y * 0.03f, 4, 0.5f, 811);
            canvas_add(c, x, y, rgb_hex(0x2A1050), n * 0.2f);
        }
    for (const PageLine &line : page) {
        int baseline = 0;
        Mask m = text_render(line.face, line.size, line.text, line.tracking, 3, &baseline);
        if (!m.a) return 0;
        Mask glow = mask_copy(&m);
        if (!glow.a) {
            return 0;
        }
        mask_blur(&glow, 3);
        int x = (c->width - m.width) / 2;
        canvas_paint(c, &glow, x, line.top, rgb_hex(line.colour), 0.45f);
        canvas_paint(c, &m, x, line.top, rgb_mix(rgb_hex(line.colour), rgb_hex(0xFFFFFF), 0.2f),
                     1.0f);
    }
    return 1;
}

// ---- objects -------------------------------------------------------------------------------

struct Mesh {
    std::vector<float> points;
    std::vector<LwoTriangle> triangles;
};

static uint16_t add_point(Mesh *mesh, float x, float y, float z) {
    mesh->points.insert(mesh->points.end(), {x, y, z});
    return (uint16_t)(mesh->points.size() / 3 - 1);
}

// Adds a triangle facing along outward: the show sees a face from the side where its points
// run clockwise, which is the side (b - a) x (c - a) points to.
static void add_triangle(Mesh *mesh, uint16_t a, uint16_t b, uint16_t c, const float outward[3]) {
    const float *p = mesh->points.data();
    float u[3], v[3];
    for (int k = 0; k < 3; k++) {
        u[k] = p[b * 3 + k] - p[a * 3 + k];
        v[k] = p[c * 3 + k] - p[a * 3 + k];
    }
    float n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
    float facing = n[0] * outward[0] + n[1] * outward[1] + n[2] * outward[2];
    if (facing >= 0.0f)
        mesh->triangles.push_back(LwoTriangle{{a, b, c}, 0});
    else
        mesh->triangles.push_back(LwoTriangle{{a, c, b}, 0});
}

// Two triangles of a quad whose corners run around its edge.
static void add_quad(Mesh *mesh, const uint16_t q[4], const float outward[3]) {
    add_triangle(mesh, q[0], q[1], q[2], outward);
    add_triangle(mesh, q[0], q[2], q[3], outward);
}

static int save_mesh(const char *dir, const char *name, const Mesh *mesh, const LwoSurface *s) {
    LwoMesh out = {(int)(mesh->points.size() / 3),
                   mesh->points.data(),
                   (int)mesh->triangles.size(),
                   mesh->triangles.data(),
                   1,
                   s};
    char path[4096];
    snprintf(path, sizeof path, "%s/%s", dir, name);
    return lwo_save(path, &out);
}

// The lettered ring: a torus about the z axis, so that it faces the camera, big radius R, tube
// radius r.
static void make_torus(Mesh *mesh, float big, float tube, int around, int across) {
    for (int i = 0; i < around; i++) {
        float a = 2.0f * FM_PI * (float)i / (float)around;
        for (int j = 0; j < across; j++) {
            float b = 2.0f * FM_PI * (float)j / (float)across;
            float d = big + tube * fm_cos(b);
            add_point(mesh, d * fm_cos(a), d * fm_sin(a), tube * fm_sin(b));
        }
    }
    for (int i = 0; i < around; i++) {
        for (int j = 0; j < across; j++) {
            int i1 = (i + 1) % around, j1 = (j + 1) % across;
            uint16_t q[4] = {(uint16_t)(i * across + j), (uint16_t)(i1 * across + j),
                             (uint16_t)(i1 * across + j1), (uint16_t)(i * across + j1)};
            // Outward: away from the tube's centre line.
            float a = 2.0f * FM_PI * ((float)i + 0.5f) / (float)around;
            float b = 2.0f * FM_PI * ((float)j + 0.5f) / (float)across;
            float out[3] = {fm_cos(b) * fm_cos(a), fm_cos(b) * fm_sin(a), fm_sin(b)};
            add_quad(mesh, q, out);
        }
    }
}

// A flat ring in the x-y plane facing the camera (-z): the halo.
static void make_annulus(Mesh *mesh, float inner, float outer, int segments) {
    static const float towards_camera[3] = {0.0f, 0.0f, -1.0f};
    for (int i = 0; i < segments; i++) {
        float a = 2.0f * FM_PI * (float)i / (float)segments;
        add_point(mesh, inner * fm_cos(a), inner * fm_sin(a), 0.0f);
        add_point(mesh, outer * fm_cos(a), outer * fm_sin(a), 0.0f);
    }
    for (int i = 0; i < segments; i++) {
        int n = (i + 1) % segments;
        uint16_t q[4] = {(uint16_t)(2 * i), (uint16_t)(2 * i + 1), (uint16_t)(2 * n + 1),
                         (uint16_t)(2 * n)};
        add_quad(mesh, q, towards_camera);
    }
}

// A spark: an octahedron stretched along y, so that it flashes as it turns.
static void make_spark(Mesh *mesh, float radius, float length) {
    const float corner[6][3] = {{radius, 0, 0},  {-radius, 0, 0}, {0, length, 0},
                                {0, -length, 0}, {0, 0, radius},  {0, 0, -radius}};
    for (const auto &p : corner) add_point(mesh, p[0], p[1], p[2]);
    for (uint16_t x : {0, 1})
        for (uint16_t y : {2, 3})
            for (uint16_t z : {4, 5}) {
                const float *px = corner[x], *py = corner[y], *pz = corner[z];
                float out[3] = {px[0] + py[0] + pz[0], px[1] + py[1] + pz[1],
                                px[2] + py[2] + pz[2]};
                add_triangle(mesh, x, y, z, out);
            }
}

// The crown behind the ring: a circle of flat-lit pyramids pointing outwards.
static void make_crown(Mesh *mesh, float inner, float outer, float half_width, int spikes) {
    for (int s = 0; s < spikes; s++) {
        float a = 2.0f * FM_PI * (float)s / (float)spikes;
        float ca = fm_cos(a), sa = fm_sin(a);
        // Base corners: either side of the spike, and one bulging towards the camera.
        uint16_t left =
            add_point(mesh, inner * ca - half_width * sa, inner * sa + half_width * ca, 0.0f);
        uint16_t right =
            add_point(mesh, inner * ca + half_width * sa, inner * sa - half_width * ca, 0.0f);
        uint16_t front = add_point(mesh, inner * ca, inner * sa, -half_width);
        uint16_t tip = add_point(mesh, outer * ca, outer * sa, 0.0f);
        float up[3] = {-sa - 0.3f * ca, ca - 0.3f * sa, -1.0f};
        float down[3] = {sa - 0.3f * ca, -ca - 0.3f * sa, -1.0f};
        add_triangle(mesh, left, front, tip, up);
        add_triangle(mesh, right, tip, front, down);
    }
}

// ---- the scene -----------------------------------------------------------------------------

// The part's scene clock runs 1.3 times the show's, about 1,500 ticks in all.
constexpr float SCENE_END = 1560.0f;
// Everything the part draws depth-tested must stay nearer than 400 units to the camera.
constexpr float RING_DEPTH = 280.0f;
constexpr int SPARKS = 6;
constexpr int SPARK_KEYS = 27; // one every 60 ticks

static LwsKey key(float frame, float x, float y, float z, float heading, float pitch, float bank) {
    return LwsKey{x, y, z, heading, pitch, bank, 1.0f, 1.0f, 1.0f, frame, 0, 0.0f, 0.0f, 0.0f};
}

// Each spark circles the ring on a tilted ellipse, some one way and some the other, spinning.
static void spark_orbit(int n, LwsKey *keys) {
    float phase = 2.0f * FM_PI * (float)n / (float)SPARKS;
    float speed = (n % 2 ? -1.0f : 1.0f) * (0.0042f + 0.0006f * (float)(n % 3));
    float lift = 30.0f + 12.0f * (float)(n % 3);
    for (int k = 0; k < SPARK_KEYS; k++) {
        float t = SCENE_END * (float)k / (float)(SPARK_KEYS - 1);
        float a = phase + speed * t;
        float x = 138.0f * fm_cos(a), z = RING_DEPTH + 80.0f * fm_sin(a);
        float y = lift * fm_sin(2.0f * a + (float)n) + 10.0f * fm_cos(a);
        keys[k] = key(t, x, y, z, t * (0.6f + 0.1f * (float)n), 20.0f * (float)n, 0.0f);
    }
}

struct SceneKeys {
    LwsKey halo[4];
    LwsKey crown[4];
    LwsKey ring[7];
    LwsKey camera[5];
    LwsKey lamp;
    LwsKey sparks[SPARKS][SPARK_KEYS];
};

static void ring_keys(SceneKeys *k) {
    for (int i = 0; i < 4; i++) {
        float t = SCENE_END * (float)i / 3.0f;
        k->halo[i] = key(t, 0.0f, 0.0f, RING_DEPTH + 10.0f, 14.0f * fm_sin((float)i * 2.1f),
                         12.0f * fm_cos((float)i * 1.7f), 0.0f);
        k->crown[i] = key(t, 0.0f, 0.0f, RING_DEPTH + 70.0f, 0.0f, 0.0f, -60.0f * (float)i);
    }
    static const float pitch[7] = {0.0f, 35.0f, -25.0f, 50.0f, -40.0f, 20.0f, 0.0f};
    for (int i = 0; i < 7; i++) {
        float t = SCENE_END * (float)i / 6.0f;
        k->ring[i] = key(t, 0.0f, 0.0f, RING_DEPTH, 120.0f * (float)i, pitch[i], 30.0f * (float)i);
    }
    static const float sway[5][2] = {{0, 0}, {-14, 6}, {10, -5}, {-8, -4}, {0, 0}};
    for (int i = 0; i < 5; i++)
        k->camera[i] = key(SCENE_END * (float)i / 4.0f, sway[i][0], sway[i][1], 0.0f,
                           sway[i][0] * 0.1f, sway[i][1] * 0.1f, 0.0f);
    k->lamp = key(0.0f, 0.0f, 0.0f, -1530.0f, 0.0f, 0.0f, 0.0f);
}

// Objects in the order the part dresses them: the halo and the sparks glow, the crown is lit,
// the ring wears the lettering.
static int write_scene(const char *dir) {
    static SceneKeys k;
    ring_keys(&k);
    LwsObject objects[SPARKS + 3];
    objects[0] = LwsObject{"data\\litehalo.lwo", 0, {4, k.halo}};
    for (int n = 0; n < SPARKS; n++) {
        spark_orbit(n, k.sparks[n]);
        objects[1 + n] = LwsObject{
            n % 2 ? "data\\litespkb.lwo" : "data\\litespka.lwo", 0, {SPARK_KEYS, k.sparks[n]}};
    }
    objects[SPARKS + 1] = LwsObject{"data\\litecrwn.lwo", 0, {4, k.crown}};
    objects[SPARKS + 2] = LwsObject{"data\\litering.lwo", 0, {7, k.ring}};
    LwsLight lamp = {{1, &k.lamp}, 0, 255, 240, 220, 1.0f};
    LwsScene scene = {0, (int)SCENE_END, SPARKS + 3, objects, 1, &lamp, {{5, k.camera}, 0, 3.2f}};
    char path[4096];
    snprintf(path, sizeof path, "%s/litescen.lws", dir);
    return lws_save(path, &scene);
}

static int write_objects(const char *dir) {
    Mesh ring, halo, spark_a, spark_b, crown;
    make_torus(&ring, 42.0f, 17.0f, 32, 14);
    make_annulus(&halo, 66.0f, 71.0f, 64);
    make_spark(&spark_a, 6.0f, 13.0f);
    make_spark(&spark_b, 5.0f, 10.0f);
    make_crown(&crown, 64.0f, 104.0f, 7.0f, 16);
    static const LwoSurface ring_surface = {"LiteRing", 255, 255, 255, 0};
    static const LwoSurface halo_surface = {"LiteHalo", 70, 48, 26, 0};
    static const LwoSurface spark_a_surface = {"LiteSparkGold", 170, 120, 40, 0};
    static const LwoSurface spark_b_surface = {"LiteSparkBlue", 50, 110, 170, 0};
    static const LwoSurface crown_surface = {"LiteCrown", 120, 130, 190, 0};
    return save_mesh(dir, "litering.lwo", &ring, &ring_surface) &&
           save_mesh(dir, "litehalo.lwo", &halo, &halo_surface) &&
           save_mesh(dir, "litespka.lwo", &spark_a, &spark_a_surface) &&
           save_mesh(dir, "litespkb.lwo", &spark_b, &spark_b_surface) &&
           save_mesh(dir, "litecrwn.lwo", &crown, &crown_surface);
}

int forge_light_scene(const char *dir) {
    Canvas back = canvas_create(512, 256);
    if (!back.rgb) return 0;
    int ok = paint_background(&back) && part_save_jpeg(dir, "liteback.jpg", &back, 81);
    canvas_free(&back);
    if (!ok) return 0;
    Canvas letters = canvas_create(256, 256);
    if (!letters.rgb) return 0;
    ok = paint_lettering(&letters) && part_save_jpeg(dir, "litetext.jpg", &letters, 82);
    canvas_free(&letters);
    return ok && write_objects(dir) && write_scene(dir);
}
