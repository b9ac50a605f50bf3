// object.cpp -- reads LightWave LWOB objects into meshes of faces and surfaces

#include "engine/object.h"

#include "data/archive.h"
#include "data/error.h"
#include "data/memory.h"

#include <cmath>
#include <cstring>

// The reader keeps whole names for matching; the engine surface keeps the first 31 characters.
constexpr int READER_NAME_SIZE = 256;

static const char FLARE_SURFACE[] = "QVX_FLARE";
static const char PARTICLE_SURFACE[] = "QVX_PARTICLE";
// "QVX_WIREFRAME" is reserved and has no effect yet: its faces load as ordinary faces.

// A surface as the file describes it.
struct SurfaceDef {
    char name[READER_NAME_SIZE];
    uint32_t colour; // colour word
    int flags;       // the file's flag word
};

// A polygon as the file gives it: its point indices (count big-endian words, in file order,
// left in the file's data) and its surface, 1-based.
struct Polygon {
    int count;
    const uint8_t *index;
    int surface;
};

struct ObjectFile {
    const char *path;
    const uint8_t *data;
    size_t size;
    bool have_points;
    int point_count;
    Vec3 *points; // unscaled
    int surface_count;
    SurfaceDef *surfaces;
    int polygon_count;
    Polygon *polygons;
    int face_count; // triangles the polygons make
};

// A chunk or sub-chunk body: [at, end) inside the file.
struct Span {
    const uint8_t *at;
    const uint8_t *end;
};

static uint16_t get_u16(const uint8_t *p) {
    return uint16_t(p[0] << 8 | p[1]);
}

static uint32_t get_u32(const uint8_t *p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

static float get_f32(const uint8_t *p) {
    uint32_t bits = get_u32(p);
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

static bool chunk_is(const uint8_t *id, const char *tag) {
    return std::memcmp(id, tag, 4) == 0;
}

static size_t offset_of(const ObjectFile *f, const uint8_t *p) {
    return size_t(p - f->data);
}

// Copies the NUL-terminated name at s.at into dst (cut to cap - 1 characters) and returns the
// bytes it occupies: name, terminator and the pad byte that makes the total even (a pad the span
// cannot hold is not required). 0 when the name has no terminator inside the span.
static size_t read_name(Span s, char *dst, size_t cap) {
    const uint8_t *nul = static_cast<const uint8_t *>(std::memchr(s.at, 0, size_t(s.end - s.at)));
    if (!nul) return 0;
    size_t len = size_t(nul - s.at);
    size_t keep = len < cap - 1 ? len : cap - 1;
    std::memcpy(dst, s.at, keep);
    dst[keep] = '\0';
    size_t used = (len + 1 + 1) & ~size_t(1);
    size_t room = size_t(s.end - s.at);
    return used < room ? used : room;
}

static void *reader_alloc(const ObjectFile *f, size_t count, size_t each) {
    void *p = count <= SIZE_MAX / each ? mem_alloc(count * each) : nullptr;
    if (!p) data_error("%s: out of memory", f->path);
    return p;
}

static bool read_pnts(ObjectFile *f, Span s) {
    size_t n = size_t(s.end - s.at) / 12;
    Vec3 *points = static_cast<Vec3 *>(reader_alloc(f, n, sizeof(Vec3)));
    if (!points) return false;
    for (size_t i = 0; i < n; i++) {
        const uint8_t *p = s.at + i * 12;
        points[i] = Vec3{get_f32(p), get_f32(p + 4), get_f32(p + 8)};
    }
    // A second point list replaces the first.
    mem_free(f->points);
    f->points = points;
    f->point_count = int(n);
    f->have_points = true;
    return true;
}

static bool read_srfs(ObjectFile *f, Span s) {
    char scratch[READER_NAME_SIZE];
    int n = 0;
    for (Span w = s; w.at < w.end; n++) {
        size_t used = read_name(w, scratch, sizeof scratch);
        if (!used) {
            data_error("%s: surface name at offset %zu has no terminator", f->path,
                       offset_of(f, w.at));
            return false;
        }
        w.at += used;
    }
    SurfaceDef *defs = static_cast<SurfaceDef *>(reader_alloc(f, size_t(n), sizeof(SurfaceDef)));
    if (!defs) return false;
    Span w = s;
    for (int i = 0; i < n; i++) {
        w.at += read_name(w, defs[i].name, sizeof defs[i].name);
        defs[i].colour = COLOUR_WHITE;
    }
    mem_free(f->surfaces);
    f->surfaces = defs;
    f->surface_count = n;
    return true;
}

// The polygon at s.at, the number-th of its chunk (from 1). Returns the bytes it occupies, or 0
// with the reason recorded when it runs past the chunk, has no points or names no surface. A
// negative surface number says that detail polygons follow: their count comes next, then the
// detail polygons themselves, each read as a polygon of its own.
static size_t read_polygon(const ObjectFile *f, Span s, int number, Polygon *out) {
    size_t room = size_t(s.end - s.at);
    int n = room >= 2 ? get_u16(s.at) : 0;
    size_t used = 2 + 2 * size_t(n) + 2;
    if (room < 2 || used > room) {
        data_error("%s: polygon %d at offset %zu runs past the end of its POLS chunk", f->path,
                   number, offset_of(f, s.at));
        return 0;
    }
    int surface = int16_t(get_u16(s.at + used - 2));
    if (surface < 0) {
        surface = -surface;
        used += 2;
        if (used > room) {
            data_error("%s: polygon %d at offset %zu: its count of detail polygons runs past the "
                       "end of its POLS chunk",
                       f->path, number, offset_of(f, s.at));
            return 0;
        }
    }
    if (n == 0 || surface == 0) {
        data_error(n == 0 ? "%s: polygon %d at offset %zu has no points"
                          : "%s: polygon %d at offset %zu has no surface (surface number 0)",
                   f->path, number, offset_of(f, s.at));
        return 0;
    }
    *out = Polygon{n, s.at + 2, surface};
    return used;
}

// Triangles a polygon is drawn as: a fan of count - 2 for three points and more, else one face
// (a point or a line).
static int triangles_of(int count) {
    return count >= 3 ? count - 2 : 1;
}

static bool read_pols(ObjectFile *f, Span s) {
    if (!f->have_points) {
        data_error("%s: polygons at offset %zu come before the points", f->path,
                   offset_of(f, s.at) - 8);
        return false;
    }
    Polygon poly;
    int n = 0;
    size_t faces = 0;
    for (Span w = s; w.at < w.end; n++) {
        size_t used = read_polygon(f, w, n + 1, &poly);
        if (!used) return false;
        faces += size_t(triangles_of(poly.count));
        w.at += used;
    }
    if (faces > size_t(INT32_MAX)) {
        data_error("%s: the polygons at offset %zu make more than %d triangles", f->path,
                   offset_of(f, s.at) - 8, INT32_MAX);
        return false;
    }
    Polygon *polys = static_cast<Polygon *>(reader_alloc(f, size_t(n), sizeof(Polygon)));
    if (!polys) return false;
    Span w = s;
    for (int i = 0; i < n; i++) w.at += read_polygon(f, w, i + 1, &polys[i]);
    // A second polygon list replaces the first.
    mem_free(f->polygons);
    f->polygons = polys;
    f->polygon_count = n;
    f->face_count = int(faces);
    return true;
}

// The last surface definition with exactly this name, or null.
static SurfaceDef *find_surface(ObjectFile *f, const char *name) {
    for (int i = f->surface_count - 1; i >= 0; i--)
        if (std::strcmp(f->surfaces[i].name, name) == 0) return &f->surfaces[i];
    return nullptr;
}

static bool read_surf_field(ObjectFile *f, SurfaceDef *def, const uint8_t *id, Span data) {
    size_t len = size_t(data.end - data.at);
    if (chunk_is(id, "COLR")) {
        if (len < 3) {
            data_error("%s: COLR at offset %zu holds %zu bytes, not 3", f->path,
                       offset_of(f, data.at) - 6, len);
            return false;
        }
        if (def)
            def->colour =
                uint32_t(data.at[0]) << 8 | uint32_t(data.at[1]) << 16 | uint32_t(data.at[2]) << 24;
    } else if (chunk_is(id, "FLAG")) {
        if (len < 2) {
            data_error("%s: FLAG at offset %zu holds %zu bytes, not 2", f->path,
                       offset_of(f, data.at) - 6, len);
            return false;
        }
        if (def) def->flags = get_u16(data.at);
    }
    return true;
}

static bool read_surf(ObjectFile *f, Span s) {
    char name[READER_NAME_SIZE];
    size_t used = read_name(s, name, sizeof name);
    if (!used) {
        data_error("%s: surface name at offset %zu has no terminator", f->path, offset_of(f, s.at));
        return false;
    }
    // A surface the name list does not know is read for well-formedness and otherwise ignored.
    SurfaceDef *def = find_surface(f, name);
    for (const uint8_t *p = s.at + used; p < s.end;) {
        if (s.end - p < 6) {
            data_error("%s: sub-chunk header at offset %zu is cut off", f->path, offset_of(f, p));
            return false;
        }
        size_t len = get_u16(p + 4);
        if (len > size_t(s.end - (p + 6))) {
            data_error("%s: sub-chunk %.4s at offset %zu runs past its surface (%zu bytes)",
                       f->path, reinterpret_cast<const char *>(p), offset_of(f, p), len);
            return false;
        }
        if (!read_surf_field(f, def, p, Span{p + 6, p + 6 + len})) return false;
        p += 6 + len;
    }
    return true;
}

// The form types of the later LightWave objects, so that such a file is refused by its name.
struct LaterForm {
    const char *type;
    const char *refusal;
};

static const LaterForm LATER_FORMS[] = {
    {"LWLO", "LightWave layered object (LWLO) -- only LightWave 5 objects (LWOB) are read"},
    {"LWO2", "LightWave 6 object (LWO2) -- only LightWave 5 objects (LWOB) are read"},
    {"LWO3", "LightWave 2015 object (LWO3) -- only LightWave 5 objects (LWOB) are read"},
};

static const char *form_type_refusal(const uint8_t *type) {
    for (const LaterForm &form : LATER_FORMS)
        if (chunk_is(type, form.type)) return form.refusal;
    return "not a LightWave object (form type is not LWOB)";
}

static bool read_chunks(ObjectFile *f) {
    if (f->size < 12) {
        data_error("%s: %zu bytes are too few for an object", f->path, f->size);
        return false;
    }
    if (!chunk_is(f->data + 8, "LWOB")) {
        data_error("%s: %s", f->path, form_type_refusal(f->data + 8));
        return false;
    }
    const uint8_t *end = f->data + f->size;
    for (const uint8_t *p = f->data + 12; p < end;) {
        if (end - p < 8) {
            data_error("%s: chunk header at offset %zu is cut off", f->path, offset_of(f, p));
            return false;
        }
        size_t len = get_u32(p + 4);
        if (len > size_t(end - (p + 8))) {
            data_error("%s: chunk %.4s at offset %zu runs past the end of the file (%zu bytes)",
                       f->path, reinterpret_cast<const char *>(p), offset_of(f, p), len);
            return false;
        }
        Span body{p + 8, p + 8 + len};
        bool ok = true;
        if (chunk_is(p, "PNTS"))
            ok = read_pnts(f, body);
        else if (chunk_is(p, "SRFS"))
            ok = read_srfs(f, body);
        else if (chunk_is(p, "POLS"))
            ok = read_pols(f, body);
        else if (chunk_is(p, "SURF"))
            ok = read_surf(f, body);
        if (!ok) return false;
        p = body.end;
    }
    return true;
}

// Every index and surface number must lie inside the tables they select from.
static bool check_polygons(const ObjectFile *f) {
    for (int i = 0; i < f->polygon_count; i++) {
        const Polygon &poly = f->polygons[i];
        if (poly.surface > f->surface_count) {
            data_error("%s: polygon %d uses surface %d, but there are %d", f->path, i + 1,
                       poly.surface, f->surface_count);
            return false;
        }
        for (int k = 0; k < poly.count; k++) {
            int index = get_u16(poly.index + 2 * k);
            if (index >= f->point_count) {
                data_error("%s: polygon %d uses point %d, but there are %d", f->path, i + 1, index,
                           f->point_count);
                return false;
            }
        }
    }
    return true;
}

static void free_object_file(ObjectFile *f) {
    mem_free(f->points);
    mem_free(f->surfaces);
    mem_free(f->polygons);
}

Face *new_faces(int n) {
    if (n < 0 || size_t(n) > SIZE_MAX / sizeof(Face)) return nullptr;
    Face *faces = static_cast<Face *>(mem_alloc(size_t(n) * sizeof(Face)));
    if (!faces) return nullptr;
    for (int i = 0; i < n; i++) {
        Face &f = faces[i];
        f.vertex_count = 3;
        f.flags = FACE_SOLID;
        f.colour = COLOUR_WHITE;
        f.clip_stride = 3;
        f.surface_index = -1;
        f.env_scale = 128.0f;
    }
    return faces;
}

Surface *new_surfaces(int n) {
    if (n < 0 || size_t(n) > SIZE_MAX / sizeof(Surface)) return nullptr;
    Surface *surfaces = static_cast<Surface *>(mem_alloc(size_t(n) * sizeof(Surface)));
    if (!surfaces) return nullptr;
    for (int i = 0; i < n; i++) {
        Surface &s = surfaces[i];
        s.colour = COLOUR_WHITE;
        s.texture_size = Vec3{1.0f, 1.0f, 1.0f};
        s.texture_centre = Vec3{1.0f, 1.0f, 1.0f};
        s.wrap = SurfaceWrap{1.0f, 1.0f};
    }
    return surfaces;
}

SceneObject *new_empty_object() {
    return static_cast<SceneObject *>(mem_alloc(sizeof(SceneObject)));
}

// The points' bounding box, starting from corners at -start (max) and +start (min).
static void bounding_box(const SceneObject *obj, float start, Vec3 &lo, Vec3 &hi) {
    lo = Vec3{start, start, start};
    hi = Vec3{-start, -start, -start};
    for (int i = 0; i < obj->point_count; i++) {
        const Vec3 &p = obj->points[i];
        if (p.x < lo.x) lo.x = p.x;
        if (p.y < lo.y) lo.y = p.y;
        if (p.z < lo.z) lo.z = p.z;
        if (p.x > hi.x) hi.x = p.x;
        if (p.y > hi.y) hi.y = p.y;
        if (p.z > hi.z) hi.z = p.z;
    }
}

// The length of the diagonal of the points' bounding box; with no points, that of the initial
// box whose corners are +-999999.9.
static float object_diagonal(const SceneObject *obj) {
    Vec3 lo, hi, d;
    bounding_box(obj, 999999.9f, lo, hi);
    vec_sub(d, hi, lo);
    return vec_length(d);
}

static void compute_radius(SceneObject *obj) {
    Vec3 lo, hi;
    bounding_box(obj, 99999.9f, lo, hi);
    float r = (hi.x - lo.x) / 2.0f;
    if ((hi.y - lo.y) / 2.0f > r) r = (hi.y - lo.y) / 2.0f;
    if ((hi.z - lo.z) / 2.0f > r) r = (hi.z - lo.z) / 2.0f;
    obj->radius = r;
}

// Point normals: the average of the normals of the faces that use the point, not renormalised
// (creases come out shorter than 1). A face without area has no direction: it adds nothing and
// is not counted, so one degenerate face cannot turn its points' normals into NaN.
static bool compute_normals(SceneObject *obj) {
    int *uses = static_cast<int *>(mem_alloc(size_t(obj->point_count) * sizeof(int)));
    if (!uses) return false;
    for (int i = 0; i < obj->point_count; i++) obj->point_normals[i] = Vec3{0.0f, 0.0f, 0.0f};
    for (int i = 0; i < obj->face_count; i++) {
        const int *idx = obj->faces[i].point_index;
        Vec3 a, b, n;
        vec_sub(a, obj->points[idx[0]], obj->points[idx[1]]);
        vec_sub(b, obj->points[idx[2]], obj->points[idx[1]]);
        vec_cross(n, a, b);
        vec_normalize(n, n);
        if (!std::isfinite(n.x) || !std::isfinite(n.y) || !std::isfinite(n.z)) continue;
        for (int k = 0; k < 3; k++) {
            vec_add(obj->point_normals[idx[k]], obj->point_normals[idx[k]], n);
            uses[idx[k]]++;
        }
    }
    for (int i = 0; i < obj->point_count; i++)
        if (uses[i]) vec_scale(obj->point_normals[i], 1.0f / float(uses[i]), obj->point_normals[i]);
    mem_free(uses);
    return true;
}

static bool alloc_points(SceneObject *obj, int n) {
    size_t bytes = size_t(n) * sizeof(Vec3);
    obj->point_count = n;
    obj->points = static_cast<Vec3 *>(mem_alloc(bytes));
    obj->point_normals = static_cast<Vec3 *>(mem_alloc(bytes));
    obj->view_points = static_cast<Vec3 *>(mem_alloc(bytes));
    obj->view_normals = static_cast<Vec3 *>(mem_alloc(bytes));
    return obj->points && obj->point_normals && obj->view_points && obj->view_normals;
}

static void free_points_and_faces(SceneObject *obj) {
    mem_free(obj->points);
    mem_free(obj->point_normals);
    mem_free(obj->view_points);
    mem_free(obj->view_normals);
    mem_free(obj->faces);
    obj->points = obj->point_normals = obj->view_points = obj->view_normals = nullptr;
    obj->faces = nullptr;
}

static void release_object(SceneObject *obj) {
    free_points_and_faces(obj);
    mem_free(obj->surfaces);
    mem_free(obj);
}

static bool copy_surfaces(SceneObject *obj, const ObjectFile *f) {
    obj->surface_count = f->surface_count;
    obj->surfaces = new_surfaces(f->surface_count);
    if (!obj->surfaces) return false;
    for (int i = 0; i < f->surface_count; i++) {
        Surface &s = obj->surfaces[i];
        const SurfaceDef &def = f->surfaces[i];
        std::memcpy(s.name, def.name, SURFACE_NAME_SIZE - 1);
        s.name[SURFACE_NAME_SIZE - 1] = '\0';
        s.colour = def.colour;
        if (def.flags & SURF_DOUBLE_SIDED) s.flags |= SURF_DOUBLE_SIDED;
    }
    return true;
}

// One face of a polygon: the triangle of its first point and points k and k + 1 (a fan, which
// draws convex polygons exactly and concave ones as other readers of the format do), or for a
// point or a line its indices with zeros after them.
static void polygon_face(Face &face, const Polygon &poly, int k) {
    int index[3] = {0, 0, 0};
    if (poly.count >= 3) {
        index[0] = get_u16(poly.index);
        index[1] = get_u16(poly.index + 2 * k);
        index[2] = get_u16(poly.index + 2 * (k + 1));
    } else {
        for (int j = 0; j < poly.count; j++) index[j] = get_u16(poly.index + 2 * j);
    }
    face.vertex_count = poly.count;
    // The file lists vertices clockwise seen from the front; the engine wants them reversed.
    face.point_index[0] = index[2];
    face.point_index[1] = index[1];
    face.point_index[2] = index[0];
}

static bool copy_faces(SceneObject *obj, const ObjectFile *f) {
    obj->face_count = f->face_count;
    obj->faces = new_faces(f->face_count);
    if (!obj->faces) return false;
    Face *face = obj->faces;
    for (int i = 0; i < f->polygon_count; i++) {
        const Polygon &poly = f->polygons[i];
        const Surface &s = obj->surfaces[poly.surface - 1];
        for (int k = 1; k <= triangles_of(poly.count); k++, face++) {
            polygon_face(*face, poly, k);
            face->surface_index = poly.surface - 1;
            face->colour = s.colour;
            face->flags = FACE_SOLID | FACE_FLAT;
            if (s.flags & SURF_DOUBLE_SIDED) face->flags |= FACE_DOUBLE_SIDED;
        }
    }
    return true;
}

static bool has_surface(const ObjectFile *f, const char *name) {
    for (int i = 0; i < f->surface_count; i++)
        if (std::strcmp(f->surfaces[i].name, name) == 0) return true;
    return false;
}

// A flare object is one point at the origin and one flare face as wide as the mesh was.
static bool make_flare(SceneObject *obj) {
    float d = object_diagonal(obj);
    free_points_and_faces(obj);
    if (!alloc_points(obj, 1)) return false;
    obj->face_count = 1;
    obj->faces = new_faces(1);
    if (!obj->faces) return false;
    obj->faces[0].flags = FACE_FLARE;
    obj->faces[0].flare_radius = d;
    return true;
}

static SceneObject *build_object(const ObjectFile *f, float scale) {
    SceneObject *obj = new_empty_object();
    if (!obj) return nullptr;
    bool ok = copy_surfaces(obj, f) && alloc_points(obj, f->point_count);
    if (ok) {
        for (int i = 0; i < f->point_count; i++) vec_scale(obj->points[i], scale, f->points[i]);
        ok = copy_faces(obj, f);
    }
    if (ok && has_surface(f, FLARE_SURFACE)) ok = make_flare(obj);
    if (ok && has_surface(f, PARTICLE_SURFACE))
        for (int i = 0; i < obj->face_count; i++) obj->faces[i].flags = FACE_PARTICLE;
    if (ok) {
        compute_radius(obj);
        ok = compute_normals(obj);
    }
    if (ok) return obj;
    data_error("%s: out of memory", f->path);
    release_object(obj);
    return nullptr;
}

SceneObject *load_object(const char *path, float scale) {
    ObjectFile f{};
    f.path = path;
    f.data = file_load(path, &f.size);
    if (!f.data) return nullptr;
    SceneObject *obj = nullptr;
    if (read_chunks(&f) && check_polygons(&f)) obj = build_object(&f, scale);
    free_object_file(&f);
    mem_free(const_cast<uint8_t *>(f.data));
    return obj;
}
