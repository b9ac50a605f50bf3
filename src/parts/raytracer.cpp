// raytracer.cpp -- bouncing spheres before a textured wall, traced coarse and refined in blocks

#include "parts/raytracer.h"

#include "data/cpu.h"
#include "data/memory.h"
#include "data/packed.h"
#include "engine/scalar.h"

#include <cmath>
#include <cstring>

constexpr float SHADOW_DARKEN = 60.0f; // light lost in shadow or facing away
constexpr float DIFFUSE_SCALE = 127.0f;
constexpr float LIGHT_LIMIT = 100.0f;
constexpr int32_t SPLIT_LIGHT = 32;   // corner lights further apart than this split a block
constexpr int32_t SPLIT_LEVELS = 3;   // ... down to this level
constexpr float SWAY_START = 16.0f;   // tracer clock at which the view plane starts to sway
constexpr float SWAY_RATE = 0.2f;     // phase per tracer second
constexpr float FLOOR_Y = -1.0f;      // lowest centre of a bouncing sphere
constexpr float PLANAR_SCALE = 32.0f; // texels per unit on planes

static const float fall_growth[3] = {0.1f, 0.2f, 0.4f};

static_assert(sizeof(TraceSample) == 14, "a sample is seven 16-bit values");
static_assert(TRACE_SLOTS <= 32, "merge_candidates keeps the objects seen in a 32-bit mask");

// ---- intersections and texture coordinates ------------------------------------------------

static float axis_value(const Vec3 &v, int32_t shape) {
    return shape == SHAPE_PLANE_X ? v.x : shape == SHAPE_PLANE_Y ? v.y : v.z;
}

static inline float sphere_t(TraceObject *o, const Vec3 &origin, const Vec3 &d) {
    Vec3 oc;
    vec_sub(oc, origin, o->position);
    float b = vec_dot(d, oc);
    if (o->recompute) {
        o->sphere_constant = vec_dot(oc, oc) - o->radius * o->radius;
        o->recompute = 0;
    }
    float disc = b * b - o->sphere_constant;
    if (disc < 0.0f) return -1.0f;
    if (disc == 0.0f) return -b;
    return -b - std::sqrt(disc);
}

static float sphere_intersect(TraceObject *o, const Vec3 &origin, const Vec3 &d) {
    return sphere_t(o, origin, d);
}

// A ray along its plane never meets it (rather than a division by zero).
static float plane_intersect(TraceObject *o, const Vec3 &origin, const Vec3 &d) {
    float along = axis_value(d, o->shape);
    if (along == 0.0f) return -1.0f;
    return (axis_value(o->position, o->shape) - axis_value(origin, o->shape)) / along;
}

void tracer_camera_constants(TraceScene *sc) {
    const Vec3 &origin = sc->cameras[sc->current_camera].position;
    for (int32_t i = 0; i < sc->object_count; i++) {
        TraceObject *o = &sc->objects[i];
        vec_sub(o->camera_offset, origin, o->position);
        if (o->shape == SHAPE_SPHERE)
            o->camera_constant =
                vec_dot(o->camera_offset, o->camera_offset) - o->radius * o->radius;
        else
            o->camera_constant = axis_value(o->position, o->shape) - axis_value(origin, o->shape);
    }
}

// sphere_intersect and plane_intersect with the camera as origin, their operations in order.
static inline float camera_intersect(const TraceObject *o, const Vec3 &d) {
    if (o->shape != SHAPE_SPHERE) {
        float along = axis_value(d, o->shape);
        if (along == 0.0f) return -1.0f;
        return o->camera_constant / along;
    }
    float b = vec_dot(d, o->camera_offset);
    float disc = b * b - o->camera_constant;
    if (disc < 0.0f) return -1.0f;
    if (disc == 0.0f) return -b;
    return -b - std::sqrt(disc);
}

float tracer_camera_intersect(const TraceObject *o, const Vec3 &d) {
    return camera_intersect(o, d);
}

// tracer_camera_intersect where t comes out above 0, and -1 where it cannot: a plane's quotient
// is only worked out when its sign can be positive (half the floor's rays look away from it).
static inline float camera_t(const TraceObject *o, const Vec3 &d) {
    if (o->shape != SHAPE_SPHERE) {
        float along = axis_value(d, o->shape);
        float gap = o->camera_constant;
        if (!(gap > 0.0f && along > 0.0f) && !(gap < 0.0f && along < 0.0f)) return -1.0f;
        return gap / along;
    }
    return camera_intersect(o, d);
}

static void planar_coords(const TraceObject *o, const Vec3 &p, TraceSample *s) {
    s->u = int16_t(int32_t((o->position.x - p.x) * PLANAR_SCALE) & 255);
    s->v = int16_t(int32_t((o->position.y - p.y) * PLANAR_SCALE) & 255);
}

static void spherical_coords(const TraceObject *o, const Vec3 &p, TraceSample *s) {
    Vec3 d;
    vec_sub(d, p, o->position);
    vec_normalize(d, d);
    s->u = int16_t(127 + int32_t(127.0f * scalar_cos(scalar_atan2(d.x, d.z))));
    s->v = int16_t(127 + int32_t(127.0f * scalar_sin(d.y)));
}

// ---- shading ------------------------------------------------------------------------------

static Vec3 surface_normal(const TraceObject *o, const Vec3 &p) {
    switch (o->shape) {
    case SHAPE_PLANE_X:
        return Vec3{-1.0f, 0.0f, 0.0f};
    case SHAPE_PLANE_Y:
        return Vec3{0.0f, 1.0f, 0.0f};
    case SHAPE_PLANE_Z:
        return Vec3{0.0f, 0.0f, -1.0f};
    default:
        break;
    }
    Vec3 n;
    vec_sub(n, p, o->position);
    vec_normalize(n, n);
    return n;
}

// sphere_t from an origin of its own, its operations in order, for the t above 0 only: t is
// -b less a root, never above -b, so a sphere that b does not put ahead is a miss before its
// constant is worked out (most shadow rays leave the other spheres behind or beside them).
static inline float sphere_t_ahead(const TraceObject *o, const Vec3 &origin, const Vec3 &d) {
    Vec3 oc;
    vec_sub(oc, origin, o->position);
    float b = vec_dot(d, oc);
    if (!(b < 0.0f)) return -1.0f;
    float disc = b * b - (vec_dot(oc, oc) - o->radius * o->radius);
    if (disc < 0.0f) return -1.0f;
    if (disc == 0.0f) return -b;
    return -b - std::sqrt(disc);
}

// The scene's own routines are inlined, and the sphere's asks nothing of the camera's cached
// constant; a plane's quotient is only worked out when its sign can be positive.
static inline int blocks_light(TraceObject *o, const Vec3 &p, const Vec3 &l, float dist) {
    float t;
    if (o->intersect == plane_intersect) {
        float along = axis_value(l, o->shape);
        float gap = axis_value(o->position, o->shape) - axis_value(p, o->shape);
        if (!(gap > 0.0f && along > 0.0f) && !(gap < 0.0f && along < 0.0f)) return 0;
        t = gap / along;
    } else if (o->intersect == sphere_intersect) {
        t = sphere_t_ahead(o, p, l);
    } else {
        o->recompute = 1; // a cached constant belongs to the camera
        t = o->intersect(o, p, l);
        o->recompute = 1;
    }
    return t > 0.0f && t < dist;
}

int tracer_blocks_light(TraceObject *o, const Vec3 &p, const Vec3 &l, float dist) {
    return blocks_light(o, p, l, dist);
}

// 1 when an object other than number self lies on the ray from p within dist.
static int shadowed(TraceScene *sc, int32_t self, const Vec3 &p, const Vec3 &l, float dist) {
    for (int32_t i = 0; i < sc->object_count; i++) {
        if (i == self) continue;
        if (blocks_light(&sc->objects[i], p, l, dist)) return 1;
    }
    return 0;
}

static inline float unit_and_length(Vec3 &v) {
#if QM_PACKED
    if (has_mmx) {
        float l = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
        alignas(16) float q[4];
        _mm_store_ps(q, _mm_div_ps(_mm_setr_ps(v.x, v.y, v.z, 0.0f), _mm_set1_ps(l)));
        v = Vec3{q[0], q[1], q[2]};
        return l;
    }
#endif
    return vec_normalize_len(v, v);
}

float tracer_unit(Vec3 &v) {
    return unit_and_length(v);
}

static void diffuse_shade(TraceScene *sc, int32_t index, const Vec3 &p, TraceSample *s) {
    const TraceObject *o = &sc->objects[index];
    const Vec3 n = surface_normal(o, p);
    float value = 0.0f;
    for (int32_t i = 0; i < sc->light_count; i++) {
        if (sc->lights[i].kind != LIGHT_POINT) continue;
        Vec3 l;
        vec_sub(l, sc->lights[i].position, p);
        float dist = unit_and_length(l);
        float facing = vec_dot(n, l);
        if (!(facing > 0.0f) || shadowed(sc, index, p, l, dist)) value -= SHADOW_DARKEN;
        float lit = facing < 0.0f ? 0.0f : facing > 1.0f ? 1.0f : facing;
        value += (lit - 0.5f) * DIFFUSE_SCALE;
    }
    if (value < -LIGHT_LIMIT) value = -LIGHT_LIMIT;
    if (value > LIGHT_LIMIT) value = LIGHT_LIMIT;
    int16_t light = int16_t(value);
    if (o->material->kind == MATERIAL_TEXTURED) {
        s->shade_red = s->shade_green = s->shade_blue = light;
    } else {
        s->u = s->v = s->shade_red = light;
    }
    s->light = light;
}

// ---- pixels -------------------------------------------------------------------------------

// byte + the signed low byte of offset, held to 0..255.
static uint32_t lit_channel(uint32_t byte, int32_t offset) {
    int32_t v = int32_t(byte) + int8_t(uint8_t(offset));
    return uint32_t(v < 0 ? 0 : v > 255 ? 255 : v);
}

static uint32_t tracer_rgb(uint32_t r, uint32_t g, uint32_t b) {
    return r | g << 8 | b << 16;
}

// The five channels u, v and the three shades, as whole numbers, through the material.
static uint32_t material_pixel(const TraceMaterial *m, const int32_t c[5]) {
    if (m->kind != MATERIAL_TEXTURED)
        return tracer_rgb(lit_channel(m->red, c[0]), lit_channel(m->green, c[1]),
                          lit_channel(m->blue, c[2]));
    uint32_t texel = m->texture[(c[1] & 255) * TRACE_TEXTURE_SIDE + (c[0] & 255)];
    return tracer_rgb(lit_channel(texel & 255, c[2]), lit_channel(texel >> 8 & 255, c[3]),
                      lit_channel(texel >> 16 & 255, c[4]));
}

static void sample_channels(const TraceSample *s, int32_t c[5]) {
    c[0] = s->u;
    c[1] = s->v;
    c[2] = s->shade_red;
    c[3] = s->shade_green;
    c[4] = s->shade_blue;
}

static uint32_t sample_pixel(const TraceMaterial *m, const TraceSample *s) {
    int32_t c[5];
    sample_channels(s, c);
    return material_pixel(m, c);
}

#if QM_PACKED
// sample_pixel in 16-bit lanes: the three channels' low bytes, sign-extended, added to the
// colour's bytes and held to 0..255 by the packing. The fourth lane's sum is dropped.
static inline uint32_t sample_pixel_packed(const TraceMaterial *m, const TraceSample *s) {
    const int16_t *first = &s->u; // a plain material adds u, v, shade_red
    uint32_t colour = uint32_t(m->red) | uint32_t(m->green) << 8 | uint32_t(m->blue) << 16;
    if (m->kind == MATERIAL_TEXTURED) {
        first = &s->shade_red;
        colour = m->texture[(s->v & 255) * TRACE_TEXTURE_SIDE + (s->u & 255)] & 0xFFFFFF;
    }
    __m128i c = _mm_loadl_epi64(reinterpret_cast<const __m128i *>(first));
    __m128i shade = _mm_srai_epi16(_mm_slli_epi16(c, 8), 8);
    __m128i sum = _mm_add_epi16(
        _mm_unpacklo_epi8(_mm_cvtsi32_si128(int32_t(colour)), _mm_setzero_si128()), shade);
    return uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(sum, sum))) & 0xFFFFFF;
}
#endif

// The pixel a single traced sample draws, packed with has_mmx.
static inline uint32_t sample_pixel_fast(const TraceMaterial *m, const TraceSample *s) {
#if QM_PACKED
    if (has_mmx) return sample_pixel_packed(m, s);
#endif
    return sample_pixel(m, s);
}

// ---- rays ---------------------------------------------------------------------------------

// Prepares the camera for rows rows: rotated top corners and the steps down both sides.
static void camera_setup(TraceCamera *cam, int32_t rows) {
    Vec3 bottom_left, bottom_right;
    vec_mul_mat(cam->row_left, cam->top_left, cam->rotation);
    vec_mul_mat(cam->row_right, cam->top_right, cam->rotation);
    vec_mul_mat(bottom_left, cam->bottom_left, cam->rotation);
    vec_mul_mat(bottom_right, cam->bottom_right, cam->rotation);
    float per_row = 1.0f / float(rows);
    vec_sub(cam->step_left, bottom_left, cam->row_left);
    vec_scale(cam->step_left, per_row, cam->step_left);
    vec_sub(cam->step_right, bottom_right, cam->row_right);
    vec_scale(cam->step_right, per_row, cam->step_right);
    for (int32_t r = 0; r < rows && r < TRACE_HEIGHT; r++) {
        Vec3 left, right, end;
        vec_scale(left, float(r), cam->step_left);
        vec_add(cam->row_start[r], left, cam->row_left);
        vec_scale(right, float(r), cam->step_right);
        vec_add(end, right, cam->row_right);
        vec_sub(cam->row_span[r], end, cam->row_start[r]);
    }
}

// The unit direction through row row at fraction across (0 left .. 1 right). Compiled into
// every caller: the call cost a ray more than its few operations.
[[gnu::always_inline]] static inline Vec3 camera_ray(const TraceCamera *cam, int32_t row,
                                                     float across) {
    Vec3 span, p;
    vec_scale(span, across, cam->row_span[row]);
    vec_add(p, cam->row_start[row], span);
    vec_normalize(p, p);
    return p;
}

// The nearest hit among the listed objects for a ray from the camera (t above 0 and below the
// far limit; the earlier object keeps a tie): its 0-based number, or -1. With seen, every
// object whose t came out above 0 is added to it. routines 1 asks each object's own routine
// (the reference), 0 uses the camera constants.
static int32_t nearest_hit(TraceScene *sc, const Vec3 &d, const uint8_t *list, int32_t count,
                           int routines, float *t_hit, TraceCandidates *seen) {
    const Vec3 &origin = sc->cameras[sc->current_camera].position;
    int32_t best = -1;
    float nearest = sc->far_limit / 255.0f;
    for (int32_t k = 0; k < count; k++) {
        TraceObject *o = &sc->objects[list[k]];
        float t = routines ? o->intersect(o, origin, d) : camera_t(o, d);
        if (!(t > 0.0f)) continue;
        if (seen) seen->index[seen->count++] = list[k];
        if (t < nearest) {
            nearest = t;
            best = list[k];
        }
    }
    *t_hit = nearest;
    return best;
}

// Fills the sample for a hit on object index at distance t along the ray.
static void record_hit(TraceScene *sc, int32_t index, const Vec3 &origin, const Vec3 &d, float t,
                       TraceSample *s) {
    Vec3 p;
    vec_scale(p, t, d);
    vec_add(p, origin, p);
    s->depth = int16_t(t * 255.0f);
    TraceObject *o = &sc->objects[index];
    // The scene's own routines are called directly, so that they are compiled in.
    if (o->tex_coords == planar_coords)
        planar_coords(o, p, s);
    else if (o->tex_coords)
        o->tex_coords(o, p, s);
    if (o->shade == diffuse_shade)
        diffuse_shade(sc, index, p, s);
    else
        o->shade(sc, index, p, s);
}

// Traces pixel (x, y) along d against the listed objects into its sample and status.
static void trace_pixel(TraceScene *sc, int32_t x, int32_t y, const Vec3 &d, const uint8_t *list,
                        int32_t count, TraceCandidates *seen) {
    const TraceCamera *cam = &sc->cameras[sc->current_camera];
    int32_t at = y * TRACE_WIDTH + x;
    float t;
    int32_t hit = nearest_hit(sc, d, list, count, 0, &t, seen);
    if (hit < 0) {
        sc->status[at] = TRACE_MISS;
        return;
    }
    record_hit(sc, hit, cam->position, d, t, &sc->samples[at]);
    sc->status[at] = uint8_t(hit + 1);
}

// ---- blocks -------------------------------------------------------------------------------

// A difference of two channel values taken the short way round 256, so that texture
// coordinates wrapping from 255 to 0 step forward instead of back across the whole texture.
static int32_t wrap_difference(int32_t d) {
    if (d >= 128) return d - 256;
    if (d < -127) return d + 256;
    return d;
}

// Fills the w x w pixels at out (rows TRACE_WIDTH apart) by stepping the corners' channels in
// 8.8 fixed point, each lane 16 bits wide and wrapping as such (u and v only matter modulo
// 256); pixels take the integer parts, arithmetic shift, truncating toward minus infinity.
static void fill_block_plain(uint32_t *out, int32_t w, const TraceMaterial *m,
                             const TraceSample *const corner[4]) {
    int32_t tl[5], tr[5], bl[5], br[5];
    sample_channels(corner[0], tl);
    sample_channels(corner[1], tr);
    sample_channels(corner[2], bl);
    sample_channels(corner[3], br);
    int32_t scale = 256 / w;
    int16_t left[5], right[5], down_left[5], down_right[5];
    for (int i = 0; i < 5; i++) {
        left[i] = int16_t(tl[i] * 256);
        right[i] = int16_t(tr[i] * 256);
        down_left[i] = int16_t(wrap_difference(bl[i] - tl[i]) * scale);
        down_right[i] = int16_t(wrap_difference(br[i] - tr[i]) * scale);
    }
    for (int32_t row = 0; row < w; row++, out += TRACE_WIDTH) {
        int16_t value[5], step[5];
        for (int i = 0; i < 5; i++) {
            value[i] = left[i];
            step[i] = int16_t(wrap_difference((right[i] >> 8) - (left[i] >> 8)) * scale);
        }
        for (int32_t col = 0; col < w; col++) {
            int32_t c[5];
            for (int i = 0; i < 5; i++) {
                c[i] = value[i] >> 8;
                value[i] = int16_t(value[i] + step[i]);
            }
            out[col] = material_pixel(m, c);
        }
        for (int i = 0; i < 5; i++) {
            left[i] = int16_t(left[i] + down_left[i]);
            right[i] = int16_t(right[i] + down_right[i]);
        }
    }
}

#if QM_PACKED
// One lane of the block walk: the edges and their steps down, as fill_block_plain keeps them.
struct BlockLane {
    int16_t left, right, down_left, down_right;
};

static inline BlockLane block_lane(int32_t tl, int32_t tr, int32_t bl, int32_t br, int32_t scale) {
    return BlockLane{int16_t(tl * 256), int16_t(tr * 256),
                     int16_t(wrap_difference(bl - tl) * scale),
                     int16_t(wrap_difference(br - tr) * scale)};
}

// Every row's left edge value and step along the row, row r in 16-bit lane r (r * down wraps in
// 16 bits as the running sum does; wrap_difference is worked out lane by lane).
struct LaneRows {
    __m128i left, step;
};

static LaneRows lane_rows(const BlockLane &l, int32_t scale) {
    const __m128i ramp = _mm_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7), turn = _mm_set1_epi16(256);
    __m128i left =
        _mm_add_epi16(_mm_set1_epi16(l.left), _mm_mullo_epi16(ramp, _mm_set1_epi16(l.down_left)));
    __m128i right =
        _mm_add_epi16(_mm_set1_epi16(l.right), _mm_mullo_epi16(ramp, _mm_set1_epi16(l.down_right)));
    __m128i d = _mm_sub_epi16(_mm_srai_epi16(right, 8), _mm_srai_epi16(left, 8));
    __m128i above = _mm_and_si128(_mm_cmpgt_epi16(d, _mm_set1_epi16(127)), turn);
    __m128i below = _mm_and_si128(_mm_cmplt_epi16(d, _mm_set1_epi16(-127)), turn);
    d = _mm_add_epi16(_mm_sub_epi16(d, above), below);
    return LaneRows{left, _mm_mullo_epi16(d, _mm_set1_epi16(int16_t(scale)))};
}

// 16-bit lane r of v in every lane.
template <int r> static __m128i lane_broadcast(__m128i v) {
    if constexpr (r < 4) return _mm_shuffle_epi32(_mm_shufflelo_epi16(v, r * 0x55), 0x00);
    return _mm_shuffle_epi32(_mm_shufflehi_epi16(v, (r - 4) * 0x55), 0xAA);
}

// The lane's values along row r, pixel k in lane k (k * step wraps in 16 bits as the running
// sum does).
template <int r> static __m128i lane_row(const LaneRows &l) {
    const __m128i ramp = _mm_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7);
    return _mm_add_epi16(lane_broadcast<r>(l.left),
                         _mm_mullo_epi16(ramp, lane_broadcast<r>(l.step)));
}

static void store_row(uint32_t *out, int32_t w, __m128i low, __m128i high) {
    if (w == 8) {
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out), low);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out + 4), high);
    } else if (w == 4) {
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out), low);
    } else {
        _mm_storel_epi64(reinterpret_cast<__m128i *>(out), low);
    }
}

// A plain material: u, v and the red shade carry the same light, so one lane is walked. The
// whole part of a value is the signed shade already; packus holds colour + shade to 0..255.
template <int r>
static void one_colour_row(uint32_t *out, int32_t w, const TraceMaterial *m, const LaneRows &l) {
    const __m128i red = _mm_set1_epi16(m->red), green = _mm_set1_epi16(m->green);
    const __m128i blue = _mm_set1_epi16(m->blue), zero = _mm_setzero_si128();
    __m128i shade = _mm_srai_epi16(lane_row<r>(l), 8);
    __m128i rg = _mm_packus_epi16(_mm_add_epi16(shade, red), _mm_add_epi16(shade, green));
    __m128i b = _mm_packus_epi16(_mm_add_epi16(shade, blue), zero);
    __m128i pairs = _mm_unpacklo_epi8(rg, _mm_srli_si128(rg, 8));
    __m128i b0 = _mm_unpacklo_epi8(b, zero);
    store_row(out + r * TRACE_WIDTH, w, _mm_unpacklo_epi16(pairs, b0),
              _mm_unpackhi_epi16(pairs, b0));
}

static void fill_rows_one_colour(uint32_t *out, int32_t w, const TraceMaterial *m, BlockLane l,
                                 int32_t scale) {
    LaneRows rows = lane_rows(l, scale);
    one_colour_row<0>(out, w, m, rows);
    one_colour_row<1>(out, w, m, rows);
    if (w == 2) return;
    one_colour_row<2>(out, w, m, rows);
    one_colour_row<3>(out, w, m, rows);
    if (w == 4) return;
    one_colour_row<4>(out, w, m, rows);
    one_colour_row<5>(out, w, m, rows);
    one_colour_row<6>(out, w, m, rows);
    one_colour_row<7>(out, w, m, rows);
}

// Four texels plus their own shades (lanes 0..3 of shade), each held to 0..255; byte 3 is 0.
static __m128i shaded_texels(__m128i texels, __m128i shade) {
    const __m128i zero = _mm_setzero_si128(), rgb = _mm_set1_epi32(0x00FFFFFF);
    __m128i pairs = _mm_unpacklo_epi16(shade, shade);
    __m128i low = _mm_add_epi16(_mm_unpacklo_epi8(texels, zero), _mm_unpacklo_epi32(pairs, pairs));
    __m128i high = _mm_add_epi16(_mm_unpackhi_epi8(texels, zero), _mm_unpackhi_epi32(pairs, pairs));
    return _mm_and_si128(_mm_packus_epi16(low, high), rgb);
}

// A textured material: u, v and one shade lane (the three shades carry the same light).
template <int r>
static void textured_row(uint32_t *out, int32_t w, const uint32_t *t, const LaneRows &u,
                         const LaneRows &v, const LaneRows &s) {
    const __m128i high_byte = _mm_set1_epi16(int16_t(0xFF00));
    __m128i shade = _mm_srai_epi16(lane_row<r>(s), 8);
    alignas(16) uint16_t at[8];
    _mm_store_si128(
        reinterpret_cast<__m128i *>(at),
        _mm_or_si128(_mm_and_si128(lane_row<r>(v), high_byte), _mm_srli_epi16(lane_row<r>(u), 8)));
    __m128i low =
        _mm_setr_epi32(int32_t(t[at[0]]), int32_t(t[at[1]]), int32_t(t[at[2]]), int32_t(t[at[3]]));
    __m128i high = _mm_setzero_si128();
    if (w == 8)
        high = _mm_setr_epi32(int32_t(t[at[4]]), int32_t(t[at[5]]), int32_t(t[at[6]]),
                              int32_t(t[at[7]]));
    store_row(out + r * TRACE_WIDTH, w, shaded_texels(low, shade),
              shaded_texels(high, _mm_srli_si128(shade, 8)));
}

static void fill_rows_textured(uint32_t *out, int32_t w, const TraceMaterial *m, BlockLane u,
                               BlockLane v, BlockLane s, int32_t scale) {
    const uint32_t *t = m->texture;
    LaneRows us = lane_rows(u, scale), vs = lane_rows(v, scale), ss = lane_rows(s, scale);
    textured_row<0>(out, w, t, us, vs, ss);
    textured_row<1>(out, w, t, us, vs, ss);
    if (w == 2) return;
    textured_row<2>(out, w, t, us, vs, ss);
    textured_row<3>(out, w, t, us, vs, ss);
    if (w == 4) return;
    textured_row<4>(out, w, t, us, vs, ss);
    textured_row<5>(out, w, t, us, vs, ss);
    textured_row<6>(out, w, t, us, vs, ss);
    textured_row<7>(out, w, t, us, vs, ss);
}

// The packed twin of fill_block_plain for blocks whose same-light lanes agree at every
// corner, as the shading leaves them; 0 when they do not (the plain path takes those).
static int fill_block_packed(uint32_t *out, int32_t w, const TraceMaterial *m,
                             const TraceSample *const c[4]) {
    int textured = m->kind == MATERIAL_TEXTURED;
    for (int i = 0; i < 4; i++) {
        const TraceSample *s = c[i];
        int same = textured ? s->shade_red == s->shade_green && s->shade_red == s->shade_blue
                            : s->u == s->v && s->u == s->shade_red;
        if (!same) return 0;
    }
    int32_t scale = 256 / w;
    BlockLane u = block_lane(c[0]->u, c[1]->u, c[2]->u, c[3]->u, scale);
    if (!textured) {
        fill_rows_one_colour(out, w, m, u, scale);
        return 1;
    }
    BlockLane v = block_lane(c[0]->v, c[1]->v, c[2]->v, c[3]->v, scale);
    BlockLane s =
        block_lane(c[0]->shade_red, c[1]->shade_red, c[2]->shade_red, c[3]->shade_red, scale);
    fill_rows_textured(out, w, m, u, v, s, scale);
    return 1;
}
#endif

void tracer_fill_block(uint32_t *out, int32_t w, const TraceMaterial *m,
                       const TraceSample *const corner[4]) {
#if QM_PACKED
    if (has_mmx && w == 1) { // the top left corner's own pixel
        *out = sample_pixel_packed(m, corner[0]);
        return;
    }
    if (has_mmx && (w == 2 || w == 4 || w == 8) && fill_block_packed(out, w, m, corner)) return;
#endif
    fill_block_plain(out, w, m, corner);
}

struct BlockCorners {
    int32_t at[4];     // pixel numbers, y * TRACE_WIDTH + x
    int32_t status[4]; // object number, or 0 for a miss
    int32_t hits;
};

// Traces the block's untraced corners against the candidates and reads all four.
static void block_corners(TraceScene *sc, int32_t x, int32_t y, int32_t w,
                          const TraceCandidates *cand, BlockCorners *bc) {
    const TraceCamera *cam = &sc->cameras[sc->current_camera];
    const int32_t first = y * TRACE_WIDTH + x;
    const int32_t offset[4] = {0, w, w * TRACE_WIDTH, w * TRACE_WIDTH + w};
    bc->hits = 0;
    for (int i = 0; i < 4; i++) {
        int32_t at = first + offset[i];
        uint8_t status = sc->status[at];
        if (status == TRACE_UNTRACED) {
            int32_t px = x + (i & 1) * w, py = y + (i >> 1) * w;
            Vec3 d = camera_ray(cam, py, float(px) / float(TRACE_WIDTH));
            trace_pixel(sc, px, py, d, cand->index, cand->count, nullptr);
            status = sc->status[at];
        }
        bc->at[i] = at;
        bc->status[i] = status == TRACE_MISS ? 0 : status;
        bc->hits += status != TRACE_MISS;
    }
}

static int block_must_split(const TraceScene *sc, const BlockCorners *bc, int32_t level) {
    if (bc->hits < 4) return 1;
    int32_t lo = 32767, hi = -32768;
    for (int i = 0; i < 4; i++) {
        if (bc->status[i] != bc->status[0]) return 1;
        int32_t light = sc->samples[bc->at[i]].light;
        lo = light < lo ? light : lo;
        hi = light > hi ? light : hi;
    }
    return hi - lo > SPLIT_LIGHT && level < SPLIT_LEVELS;
}

// A split block of side 2 as its four single-pixel quarters draw it: their corners make a 3 x 3
// grid, every one traced, and each quarter writes its hit corners from their own samples. Here
// each hit pixel of the grid is written once.
static void refine_pixels(TraceScene *sc, int32_t x, int32_t y, const TraceCandidates *cand) {
    const TraceCamera *cam = &sc->cameras[sc->current_camera];
    for (int32_t py = y; py <= y + 2; py++) {
        for (int32_t px = x; px <= x + 2; px++) {
            int32_t at = py * TRACE_WIDTH + px;
            if (sc->status[at] == TRACE_UNTRACED) {
                Vec3 d = camera_ray(cam, py, float(px) / float(TRACE_WIDTH));
                trace_pixel(sc, px, py, d, cand->index, cand->count, nullptr);
            }
            uint8_t hit = sc->status[at];
            if (hit != TRACE_MISS)
                cam->output[at] =
                    sample_pixel_fast(sc->objects[hit - 1].material, &sc->samples[at]);
        }
    }
}

static void refine(TraceScene *sc, int32_t x, int32_t y, int32_t w, int32_t level,
                   const TraceCandidates *cand) {
    BlockCorners bc;
    block_corners(sc, x, y, w, cand, &bc);
    if (bc.hits == 0) return;
    int split = block_must_split(sc, &bc, level);
    uint32_t *output = sc->cameras[sc->current_camera].output;
    if (w == 1) {
        for (int i = 0; i < 4; i++) {
            if (!bc.status[i]) continue;
            output[bc.at[i]] =
                sample_pixel_fast(sc->objects[bc.status[i] - 1].material, &sc->samples[bc.at[i]]);
        }
    } else if (split && w == 2 && has_mmx) {
        refine_pixels(sc, x, y, cand);
    } else if (split) {
        int32_t h = w / 2;
        refine(sc, x, y, h, level + 1, cand);
        refine(sc, x + h, y, h, level + 1, cand);
        refine(sc, x, y + h, h, level + 1, cand);
        refine(sc, x + h, y + h, h, level + 1, cand);
    } else {
        const TraceSample *corner[4];
        for (int i = 0; i < 4; i++) corner[i] = &sc->samples[bc.at[i]];
        tracer_fill_block(output + y * TRACE_WIDTH + x, w, sc->objects[bc.status[0] - 1].material,
                          corner);
    }
}

// The union of four candidate lists, read position by position, without repeats.
static void merge_candidates(const TraceCandidates *lists[4], TraceCandidates *merged) {
    // Most blocks see the same objects at all four corners; a list holds no repeats, so its
    // union with copies of itself is itself. (The coarse pass leaves unused entries 0, so equal
    // lists are equal records.)
    const size_t size = sizeof(TraceCandidates);
    if (!std::memcmp(lists[0], lists[1], size) && !std::memcmp(lists[0], lists[2], size) &&
        !std::memcmp(lists[0], lists[3], size)) {
        *merged = *lists[0];
        return;
    }
    merged->count = 0;
    uint32_t known = 0;  // bit k: object k is in already (object numbers are below TRACE_SLOTS)
    int32_t longest = 0; // positions past every list add nothing
    for (int i = 0; i < 4; i++) longest = lists[i]->count > longest ? lists[i]->count : longest;
    for (int32_t pos = 0; pos < longest; pos++) {
        for (int i = 0; i < 4; i++) {
            if (pos >= lists[i]->count) continue;
            uint8_t index = lists[i]->index[pos];
            if (known >> index & 1) continue;
            known |= 1u << index;
            merged->index[merged->count++] = index;
        }
    }
}

// ---- the frame ----------------------------------------------------------------------------

static void coarse_pass(TraceScene *sc) {
    TraceCamera *cam = &sc->cameras[sc->current_camera];
    camera_setup(cam, TRACE_COARSE_ROWS);
    uint8_t all[TRACE_SLOTS];
    for (int32_t i = 0; i < sc->object_count; i++) all[i] = uint8_t(i);
    for (int32_t r = 0; r < TRACE_COARSE_ROWS; r++) {
        for (int32_t c = 0; c < TRACE_COARSE_COLUMNS; c++) {
            TraceCandidates *seen = &sc->candidates[r * TRACE_COARSE_COLUMNS + c];
            *seen = TraceCandidates{};
            Vec3 d = camera_ray(cam, r, float(c) / float(TRACE_COARSE_COLUMNS));
            trace_pixel(sc, c * TRACE_BLOCK, r * TRACE_BLOCK, d, all, sc->object_count, seen);
        }
    }
}

// Clears output rows first..last (inclusive).
static void clear_rows(uint32_t *output, int32_t first, int32_t last) {
    mem_fill(output + first * TRACE_WIDTH, 0, size_t(last - first + 1) * TRACE_WIDTH * 4);
}

// Each block row writes its own rows and the first row of the next (the corners of its split
// blocks); the rows are cleared just before the first block row that writes them, while the
// strip is about to be in the cache anyway.
static void refine_blocks(TraceScene *sc) {
    camera_setup(&sc->cameras[sc->current_camera], TRACE_HEIGHT);
    uint32_t *output = sc->cameras[sc->current_camera].output;
    for (int32_t r = 0; r + 1 < TRACE_COARSE_ROWS; r++) {
        clear_rows(output, r ? r * TRACE_BLOCK + 1 : 0, (r + 1) * TRACE_BLOCK);
        for (int32_t c = 0; c + 1 < TRACE_COARSE_COLUMNS; c++) {
            const TraceCandidates *corner[4] = {
                &sc->candidates[r * TRACE_COARSE_COLUMNS + c],
                &sc->candidates[r * TRACE_COARSE_COLUMNS + c + 1],
                &sc->candidates[(r + 1) * TRACE_COARSE_COLUMNS + c],
                &sc->candidates[(r + 1) * TRACE_COARSE_COLUMNS + c + 1]};
            TraceCandidates merged;
            merge_candidates(corner, &merged);
            if (merged.count == 0) continue;
            refine(sc, c * TRACE_BLOCK, r * TRACE_BLOCK, TRACE_BLOCK, 0, &merged);
        }
    }
    clear_rows(output, (TRACE_COARSE_ROWS - 1) * TRACE_BLOCK + 1, TRACE_HEIGHT - 1);
}

void tracer_render(TraceScene *sc) {
    mem_fill(sc->status, 0, size_t(TRACE_WIDTH) * TRACE_HEIGHT);
    for (int32_t i = 0; i < sc->object_count; i++) sc->objects[i].recompute = 1;
    tracer_camera_constants(sc);
    coarse_pass(sc);
    refine_blocks(sc);
}

static void bounce(TraceScene *sc, float s) {
    for (int i = 0; i < 3; i++) {
        TraceObject *o = &sc->objects[i];
        o->position.y -= sc->fall_speed[i] * s;
        sc->fall_speed[i] += fall_growth[i];
        if (o->position.y < FLOOR_Y) {
            o->position.y = FLOOR_Y;
            sc->fall_speed[i] = -sc->fall_speed[i];
        }
    }
}

static void sway(TraceCamera *cam, float phi) {
    float s1 = scalar_sin(phi), c1 = scalar_cos(phi + 1.57f);
    cam->top_left = Vec3{0.5f * s1 - 1.0f, 0.5f * c1 + 0.5f, 0.5f * c1 + 1.0f};
    cam->top_right = Vec3{0.5f * scalar_sin(2.0f * phi) + 1.0f, 0.2f * c1 + 0.5f, 0.5f * c1 + 1.0f};
    cam->bottom_left =
        Vec3{0.5f * s1 - 1.0f, 0.5f * c1 - 0.5f, 0.5f * scalar_cos(0.5f * phi + 1.57f) + 1.0f};
    cam->bottom_right =
        Vec3{0.5f * s1 + 1.0f, 0.7f * scalar_cos(3.0f * phi + 1.57f) - 0.5f, 0.5f * c1 + 1.0f};
}

void tracer_animate(TraceScene *sc, float s) {
    bounce(sc, s);
    sc->clock += s;
    if (sc->clock > SWAY_START) {
        sway(&sc->cameras[sc->current_camera], sc->phase);
        sc->phase += SWAY_RATE * s;
    }
}

void tracer_frame(TraceScene *sc, float s) {
    tracer_animate(sc, s);
    tracer_render(sc);
}

uint32_t tracer_reference_pixel(TraceScene *sc, int32_t x, int32_t y) {
    TraceCamera *cam = &sc->cameras[sc->current_camera];
    camera_setup(cam, TRACE_HEIGHT);
    uint8_t all[TRACE_SLOTS];
    for (int32_t i = 0; i < sc->object_count; i++) {
        all[i] = uint8_t(i);
        sc->objects[i].recompute = 1;
    }
    Vec3 d = camera_ray(cam, y, float(x) / float(TRACE_WIDTH));
    float t;
    int32_t hit = nearest_hit(sc, d, all, sc->object_count, 1, &t, nullptr);
    if (hit < 0) return 0;
    TraceSample s{};
    record_hit(sc, hit, cam->position, d, t, &s);
    return sample_pixel(sc->objects[hit].material, &s);
}

// ---- the scene ----------------------------------------------------------------------------

struct ObjectPlan {
    int32_t shape;
    Vec3 position;
    float radius;
    uint8_t kind, red, green, blue;
};

static const ObjectPlan scene_plan[] = {
    {SHAPE_SPHERE, {1.0f, 2.4f, 2.5f}, 1.0f, MATERIAL_PLAIN, 34, 134, 67},
    {SHAPE_SPHERE, {-0.5f, 2.4f, 2.7f}, 1.0f, MATERIAL_PLAIN, 234, 94, 127},
    {SHAPE_SPHERE, {-1.2f, 2.4f, 3.7f}, 0.7f, MATERIAL_PLAIN, 45, 34, 167},
    {SHAPE_PLANE_Y, {0.0f, -1.5f, 0.0f}, 0.0f, MATERIAL_PLAIN, 105, 18, 0},
    {SHAPE_PLANE_Z, {0.0f, 0.0f, 5.0f}, 0.0f, MATERIAL_TEXTURED, 78, 234, 145},
};

static void build_objects(TraceScene *sc, const uint32_t *texture) {
    sc->object_count = int32_t(sizeof scene_plan / sizeof scene_plan[0]);
    for (int32_t i = 0; i < sc->object_count; i++) {
        const ObjectPlan *plan = &scene_plan[i];
        TraceMaterial *m = &sc->materials[i];
        *m = TraceMaterial{texture, plan->kind, plan->red, plan->green, plan->blue, 0};
        TraceObject *o = &sc->objects[i];
        int plane = plan->shape != SHAPE_SPHERE;
        o->intersect = plane ? plane_intersect : sphere_intersect;
        o->tex_coords = nullptr;
        if (plan->kind == MATERIAL_TEXTURED)
            o->tex_coords = plane ? planar_coords : spherical_coords;
        o->shade = diffuse_shade;
        o->position = plan->position;
        o->material = m;
        o->radius = plan->radius;
        o->shape = plan->shape;
        o->recompute = 1;
    }
}

static void build_camera(TraceCamera *cam, uint32_t *output) {
    cam->top_left = Vec3{-1.0f, 0.5f, 1.0f};
    cam->top_right = Vec3{1.0f, 0.5f, 1.0f};
    cam->bottom_left = Vec3{-1.0f, -0.5f, 1.0f};
    cam->bottom_right = Vec3{1.0f, -0.5f, 1.0f};
    cam->rotation = Mat3{{1.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 1.0f}};
    cam->position = Vec3{0.0f, 0.0f, -3.0f};
    cam->output = output;
    cam->width = TRACE_WIDTH;
    cam->height = TRACE_HEIGHT;
    camera_setup(cam, TRACE_HEIGHT);
}

TraceScene *tracer_setup(uint32_t *output, const uint32_t *texture) {
    TraceScene *sc = static_cast<TraceScene *>(mem_alloc(sizeof(TraceScene)));
    if (!sc) return nullptr;
    size_t pixels = size_t(TRACE_WIDTH) * TRACE_HEIGHT;
    sc->samples = static_cast<TraceSample *>(mem_alloc(pixels * sizeof(TraceSample)));
    sc->status = static_cast<uint8_t *>(mem_alloc(pixels));
    if (!sc->samples || !sc->status) return nullptr;
    build_objects(sc, texture);
    sc->camera_count = 1;
    sc->current_camera = 0;
    build_camera(&sc->cameras[0], output);
    sc->light_count = 1;
    sc->lights[0] = TraceLight{LIGHT_POINT, Vec3{0.0f, 2.0f, 2.1f}};
    sc->far_limit = TRACE_FAR;
    sc->fall_speed[0] = 0.3f;
    sc->fall_speed[1] = 0.5f;
    sc->fall_speed[2] = 0.4f;
    sc->clock = 0.0f;
    sc->phase = 0.0f;
    return sc;
}
