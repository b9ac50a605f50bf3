// texmap.cpp -- planar, cylindrical, spherical, angular and normal-based texture coordinates

#include "engine/texmap.h"

#include "engine/math3d.h"
#include "engine/object.h"
#include "engine/scalar.h"

#include <cmath>

static constexpr float PI = 3.14159265358979323846f;
static constexpr float HALF_PI = PI / 2.0f;
// 2/pi, not 1/(2 pi): cylinders and spheres repeat the picture four times around their axis.
static constexpr float AROUND_SCALE = 0.6366197723675814f;
static constexpr float INV_PI = 0.3183098861837907f;
static constexpr float INV_TWO_PI = 0.15915494309189535f;

// Texel range of a 256 x 256 picture, and the normal mapping's centre and reach.
static constexpr float TEXEL_SPAN = 255.0f;
static constexpr float NORMAL_SCALE = 128.0f;
static constexpr float NORMAL_CENTRE = 127.0f;

// Kinds of face apply_surface_textures converts, from which pictures the surface has.
static constexpr int HAS_TEXTURE = 0x04;
static constexpr int HAS_ENV = 0x10;
static constexpr int HAS_EXTRA1 = 0x40;
static constexpr int HAS_EXTRA2 = 0x200;

static constexpr int MAP_PROJECTIONS =
    MAP_SPHERICAL | MAP_CYLINDRICAL | MAP_PLANAR | MAP_ANGULAR | MAP_NORMALS;

float heading_of(float x, float, float z) {
    if (z == 0.0f) {
        if (x == 0.0f) return 0.0f;
        return x < 0.0f ? HALF_PI : -HALF_PI;
    }
    if (z < 0.0f) return PI - scalar_atan(x / z);
    return -scalar_atan(x / z);
}

void heading_pitch_of(float x, float y, float z, float &heading, float &pitch) {
    heading = heading_of(x, y, z);
    const float d = std::sqrt(x * x + z * z);
    if (x == 0.0f && z == 0.0f)
        pitch = y == 0.0f ? 0.0f : (y < 0.0f ? -HALF_PI : HALF_PI);
    else if (d == 0.0f) // x and z so small that their squares vanish
        pitch = y < 0.0f ? -HALF_PI : HALF_PI;
    else
        pitch = scalar_atan(y / d);
}

// a - trunc(a): negative for negative a.
static float frac(float a) {
    return a - std::trunc(a);
}

// p in the frame where the mapping axis is y, as the cylinder and sphere take it.
static Vec3 axis_frame(int flags, const Vec3 &p) {
    if (flags & MAP_AXIS_X) return Vec3{p.z, p.x, -p.y};
    if (flags & MAP_AXIS_Y) return Vec3{-p.x, p.y, p.z};
    return Vec3{-p.x, p.z, -p.y};
}

// The coordinate along the mapping axis, in texture sizes.
static float along_axis(int flags, const Vec3 &p, const Vec3 &size) {
    if (flags & MAP_AXIS_X) return p.x / size.x;
    if (flags & MAP_AXIS_Y) return p.y / size.y;
    return p.z / size.z;
}

static float wrapped(float a, float wrap) {
    return wrap != 1.0f ? a * wrap : a;
}

void map_point(const Surface *s, const Vec3 &point, float &u, float &v) {
    Vec3 p;
    vec_sub(p, point, s->texture_centre);
    const Vec3 &size = s->texture_size;
    const int flags = s->flags;
    if (flags & MAP_PLANAR) {
        const float a = ((flags & MAP_AXIS_X) ? p.z / size.z : p.x / size.x) + 0.5f;
        const float b = 0.5f - ((flags & MAP_AXIS_Y) ? p.z / size.z : p.y / size.y);
        u = frac(a);
        v = frac(b);
    } else if (flags & MAP_CYLINDRICAL) {
        const Vec3 r = axis_frame(flags, p);
        const float h = heading_of(r.x, r.y, r.z);
        u = frac(wrapped(1.0f - h * AROUND_SCALE, s->wrap.u));
        v = frac(0.5f - along_axis(flags, p, size));
    } else if (flags & MAP_SPHERICAL) {
        const Vec3 r = axis_frame(flags, p);
        float h, q;
        heading_pitch_of(r.x, r.y, r.z, h, q);
        u = frac(wrapped(1.0f - h * AROUND_SCALE, s->wrap.u));
        v = frac(wrapped(0.5f - q * INV_PI, s->wrap.v));
    } else if (flags & MAP_ANGULAR) {
        u = (scalar_atan2(p.x, p.z) + PI) * INV_TWO_PI;
        v = (scalar_atan2(p.y, p.z) + PI) * INV_TWO_PI;
    }
}

// The surface of a face, or null for none (or an index past the table).
static const Surface *surface_of(const SceneObject *object, const Face &face) {
    if (face.surface_index < 0 || face.surface_index >= object->surface_count) return nullptr;
    return &object->surfaces[face.surface_index];
}

static void map_face(const SceneObject *object, const Surface *s, Face &face) {
    // A layer offset past the uv array would write outside the face.
    const int at = face.uv_layer[0];
    if (at < 0 || at > FACE_UV_FLOATS - 6) return;
    for (int k = 0; k < 3; k++) {
        const int index = face.point_index[k];
        if (index < 0 || index >= object->point_count) return;
    }
    for (int k = 0; k < 3; k++) {
        const int index = face.point_index[k];
        float u, v;
        if (s->flags & MAP_NORMALS) {
            const Vec3 &n = object->point_normals[index];
            u = NORMAL_SCALE * n.x + NORMAL_CENTRE;
            v = NORMAL_SCALE * n.y + NORMAL_CENTRE;
        } else {
            map_point(s, object->points[index], u, v);
            u = TEXEL_SPAN * u;
            v = TEXEL_SPAN * v;
        }
        face.uv[at + 2 * k] = u;
        face.uv[at + 2 * k + 1] = v;
    }
}

void map_object_coordinates(SceneObject *object) {
    if (!object) return;
    for (int i = 0; i < object->face_count; i++) {
        Face &face = object->faces[i];
        const Surface *s = surface_of(object, face);
        // Surfaces that name no projection leave their faces' coordinates as they were.
        if (s && (s->flags & MAP_PROJECTIONS)) map_face(object, s, face);
    }
}

static int pictures_of(const Surface *s) {
    return (s->texture_image ? HAS_TEXTURE : 0) | (s->env_image ? HAS_ENV : 0) |
           (s->extra_image1 ? HAS_EXTRA1 : 0) | (s->extra_image2 ? HAS_EXTRA2 : 0);
}

static void set_face_kind(Face &face, const Surface *s) {
    const int sided = (s->flags & SURF_DOUBLE_SIDED) ? FACE_DOUBLE_SIDED : 0;
    switch (pictures_of(s)) {
    case HAS_TEXTURE:
        face.flags = FACE_TEXTURED | sided;
        face.uv_layer[0] = 0;
        face.texture[0] = s->texture_image;
        break;
    case HAS_ENV:
        face.flags = FACE_ENVMAP | sided;
        face.uv_layer[1] = 0;
        face.texture[1] = s->env_image;
        break;
    default: // other combinations are not drawn by one filler: the face stays as it is
        return;
    }
    face.uv_count = 6;
    face.clip_stride = 5;
}

void apply_surface_textures(SceneObject *object) {
    if (!object) return;
    for (int i = 0; i < object->face_count; i++) {
        Face &face = object->faces[i];
        const Surface *s = surface_of(object, face);
        if (s) set_face_kind(face, s);
    }
    map_object_coordinates(object);
}
