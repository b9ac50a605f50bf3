// render.h -- the per-frame pipeline that turns a scene into triangles for the fillers:
// animation, camera-space transform, back-face test, radix depth sort, clipping against the
// four side planes, lighting, projection, and the additive sprites of flares and particles.
//
// The pipeline keeps global scratch state (the depth list and its sort arrays, the clip
// buffers) and the view's scratch face: it is not re-entrant and allocates nothing per frame.
#pragma once

#include "engine/math3d.h"

#include <cstdint>

struct Face;
struct Image;
struct Light;
struct Scene;

// Faces the depth list holds in one frame. A sorted frame with more visible faces draws the
// first DEPTH_LIST_SIZE of them (in scene order) and drops the rest.
constexpr int DEPTH_LIST_SIZE = 10000;

// Bias added to the sort key so that faces a little behind the eye still sort as unsigned.
constexpr int DEPTH_KEY_BIAS = 65535;

// Largest side of an additive sprite, in pixels.
constexpr int SPRITE_MAX_SIZE = 512;

// Projection, clip planes and light list of one scene (made by view_create).
struct RenderView {
    int kind;        // 0
    Vec3 left_plane; // a point p (eye coordinates) is inside a plane when plane . p < 0
    Vec3 right_plane;
    Vec3 top_plane;
    Vec3 bottom_plane;
    Vec3 near_plane; // (0, 0, -1), not used by the clipper
    Vec3 far_plane;  // (0, 0, 1), not used by the clipper
    float near;      // focal: distance from the eye to the projection plane
    float scale_x;   // focal
    float scale_y;   // focal
    float centre_x;  // width / 2
    float centre_y;  // height / 2
    float width;
    float height;
    Face *scratch; // the face handed to fillers, rewritten for every triangle
    int light_count;
    Light **lights; // grown by one slot per scene_add_light
    Image *target;  // target of the face being submitted
};

// Draws one frame of scene into scene->target: advances the scene clock by ticks x speed and
// evaluates the motions (unless frozen), transforms, culls, sorts (when the scene asks) and
// submits every face. Does nothing when scene, its target, view or camera is missing.
void render_scene_ticks(Scene *scene, float ticks);

// The view of a width x height picture with the given focal length, and its scratch face. Null
// when memory runs out. Valid until mem_free_all.
RenderView *view_create(float width, float height, float focal);

// dst = src projected to the screen (x, y in pixels, z kept). dst may be src.
void project_point(const RenderView *view, Vec3 &dst, const Vec3 &src);

// The on-screen size of a length r at the camera-space depth of p.
float project_size(const RenderView *view, const Vec3 &p, float r);

// One light's intensity (0 or more, uncapped) at camera-space point p with normal n.
float light_intensity(const Light *light, const Vec3 &p, const Vec3 &n);

// 1 when face passes the back-face test (or is a kind that skips it), else 0.
int face_visible(const RenderView *view, const Face *face);

// 1 when each of the three eye-space points c[k] lies strictly inside all four side planes of
// view (plane . c < 0), else 0. The packed path tests the four planes at once; the plain one is
// what it must equal.
int view_triangle_inside(const RenderView *view, const float c[3][3]);
int view_triangle_inside_plain(const RenderView *view, const float c[3][3]);

// The screen x, y of n camera-space points (project_point's) into xy, two floats a point. The
// packed path projects four points at once; the plain one is what it must equal.
void view_project_xy(const RenderView *view, const Vec3 *points, int n, float *xy);
void view_project_xy_plain(const RenderView *view, const Vec3 *points, int n, float *xy);

// Lights, clips, projects and draws one face into target (through its draw_hook or
// dispatch_fill). Rewrites the face's lighting, environment coordinates and, for points and
// flares, vertex 0.
void submit_face(RenderView *view, Face *face, Image *target);

// Clips the polygon in (n vertices of stride floats, position first) against the planes a and b
// into out and returns the vertex count written (at most 2n). Every float of a vertex is
// interpolated.
int clip_polygon_pair(const Vec3 &a, const Vec3 &b, const float *in, int n, int stride, float *out);

// Sorts faces far to near by depth_key (unsigned), as four byte-wide stable counting passes and
// then the list reversed would: faces with equal keys come out in the reverse of their order in
// the list. Only the bytes the keys' span needs take a pass, the last one writing in reverse.
// scratch holds count pointers. count is at most DEPTH_LIST_SIZE (beyond it, only that many are
// sorted). Nothing is allocated.
void depth_sort(Face **faces, Face **scratch, int count);

// Adds the s x s sprite image (scaled, bytes 1..3 saturating) into target, centred on (x, y).
// Takes the packed path when has_mmx is set; both paths give the same pixels.
void draw_sprite_add(int x, int y, Image *target, const Image *image, int s);

// The flare at vertex 0 of face (projected), sized by projected_size; a single white pixel when
// the face has no texture[0].
void draw_flare(const Face *face, Image *target);

// One particle sprite of image at the projected point, sized from size and the point's depth.
void draw_particle(const Vec3 &point, float size, const Image *image, Image *target);
