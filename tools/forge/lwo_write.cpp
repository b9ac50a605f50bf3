// lwo_write.cpp -- LightWave object writer
#include "lwo_write.h"

#include <cstdio>
#include <cstring>

// A polygon's surface number is a signed word: one above 32,767 reads as a negative number, which
// announces detail polygons.
static constexpr int LWO_MAX_SURFACES = 32767;

static int mesh_valid(const LwoMesh *mesh) {
    if (mesh->point_count < 0 || mesh->point_count > 65536 || mesh->surface_count < 1 ||
        mesh->surface_count > LWO_MAX_SURFACES || mesh->triangle_count < 0) {
        fprintf(stderr, "forge: object: %d points or %d surfaces out of range\n", mesh->point_count,
                mesh->surface_count);
        return 0;
    }
    for (int i = 0; i < mesh->surface_count; i++) {
        size_t len = strlen(mesh->surfaces[i].name);
        if (len == 0 || len > 31) {
            fprintf(stderr, "forge: object: surface name \"%s\" must have 1 to 31 characters\n",
                    mesh->surfaces[i].name);
            return 0;
        }
    }
    for (int i = 0; i < mesh->triangle_count; i++) {
        const LwoTriangle &t = mesh->triangles[i];
        int bad = t.surface >= mesh->surface_count;
        for (int k = 0; k < 3; k++) bad |= t.point[k] >= mesh->point_count;
        if (bad) {
            fprintf(stderr, "forge: object: triangle %d refers past the points or surfaces\n", i);
            return 0;
        }
    }
    return 1;
}

// A name, its terminator and one more zero when that makes the length odd: always even.
static void put_name(Bytes *out, const char *name) {
    size_t len = strlen(name);
    bytes_raw(out, name, len + 1);
    if ((len + 1) & 1) bytes_u8(out, 0);
}

// Starts a chunk and returns where its length goes.
static size_t begin_chunk(Bytes *out, const char *id) {
    bytes_text(out, id);
    bytes_u32be(out, 0);
    return out->data.size() - 4;
}

static void end_chunk(Bytes *out, size_t length_at) {
    bytes_patch_u32be(out, length_at, (uint32_t)(out->data.size() - length_at - 4));
}

static void put_surface(Bytes *out, const LwoSurface *s) {
    size_t at = begin_chunk(out, "SURF");
    put_name(out, s->name);
    bytes_text(out, "COLR");
    bytes_u16be(out, 4);
    bytes_u8(out, s->red);
    bytes_u8(out, s->green);
    bytes_u8(out, s->blue);
    bytes_u8(out, 0);
    bytes_text(out, "FLAG");
    bytes_u16be(out, 2);
    bytes_u16be(out, s->flags);
    end_chunk(out, at);
}

int lwo_encode(Bytes *out, const LwoMesh *mesh) {
    if (!mesh_valid(mesh)) return 0;
    size_t form = begin_chunk(out, "FORM");
    bytes_text(out, "LWOB");
    size_t at = begin_chunk(out, "PNTS");
    for (int i = 0; i < mesh->point_count * 3; i++) bytes_f32be(out, mesh->points[i]);
    end_chunk(out, at);
    at = begin_chunk(out, "SRFS");
    for (int i = 0; i < mesh->surface_count; i++) put_name(out, mesh->surfaces[i].name);
    end_chunk(out, at);
    at = begin_chunk(out, "POLS");
    for (int i = 0; i < mesh->triangle_count; i++) {
        const LwoTriangle &t = mesh->triangles[i];
        bytes_u16be(out, 3);
        for (int k = 0; k < 3; k++) bytes_u16be(out, t.point[k]);
        bytes_u16be(out, t.surface + 1u);
    }
    end_chunk(out, at);
    for (int i = 0; i < mesh->surface_count; i++) put_surface(out, &mesh->surfaces[i]);
    end_chunk(out, form);
    return 1;
}

int lwo_save(const char *path, const LwoMesh *mesh) {
    Bytes out;
    if (!lwo_encode(&out, mesh)) {
        fprintf(stderr, "forge: %s: not written\n", path);
        return 0;
    }
    return bytes_save(&out, path);
}
