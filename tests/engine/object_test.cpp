// Tests of the LWOB reader: what the show's own files never hold (odd chunks, long and twin
// names, short polygons, near-miss special names) and damaged files.

#include "engine/object.h"

#include "object_test_files.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

using ::testing::HasSubstr;

class ObjectTest : public DataFolderTest {};

static void expect_indices(const Face &f, int a, int b, int c) {
    EXPECT_EQ(f.point_index[0], a);
    EXPECT_EQ(f.point_index[1], b);
    EXPECT_EQ(f.point_index[2], c);
}

static const std::string LONG_NAME = "A_surface_name_of_forty_characters_long!";

// One triangle, padded names, a SURF before the polygons and one after, and chunks and
// sub-chunks the reader must skip.
TEST_F(ObjectTest, SkipsWhatItDoesNotKnowAndCutsLongNames) {
    Bytes pols;
    put_polygon(pols, {0, 1, 2}, 2);
    Bytes odd_surf;
    put_name(odd_surf, "Ab");
    for (const Bytes &sub : {sub_chunk("TIMG", {'x', 0}), sub_chunk("COLR", {1, 2, 3, 99})})
        odd_surf.insert(odd_surf.end(), sub.begin(), sub.end());
    write("odd.lwo", lwob({
                         pnts({0, 0, 0, 0, 1, 0, 1, 0, 0}),
                         srfs({"Red", "Ab", LONG_NAME}),
                         chunk("ZZZZ", {1, 2, 3}), // unknown, odd length, no pad byte
                         surf("Red", 255, 0, 0, 0x104),
                         chunk("POLS", pols),
                         surf("Ghost", 9, 9, 9, 0x100), // names no surface: changes nothing
                         chunk("SURF", odd_surf),
                     }));
    SceneObject *obj = load_object("odd.lwo", 2.0f);
    ASSERT_NE(obj, nullptr) << data_last_error();
    EXPECT_EQ(obj->surfaces[0].colour, 0x0000FF00u);
    EXPECT_EQ(obj->surfaces[0].flags, SURF_DOUBLE_SIDED); // only the double-sided bit is kept
    EXPECT_EQ(obj->surfaces[1].colour, 0x03020100u);
    EXPECT_EQ(std::string(obj->surfaces[2].name), LONG_NAME.substr(0, 31));
    EXPECT_EQ(obj->surfaces[2].colour, COLOUR_WHITE);
    ASSERT_EQ(obj->face_count, 1);
    expect_indices(obj->faces[0], 2, 1, 0); // reversed
    EXPECT_EQ(obj->faces[0].colour, 0x03020100u);
    EXPECT_EQ(obj->faces[0].flags, FACE_SOLID | FACE_FLAT);
}

// Points and lines stay one face each; polygons of three points and more become fans of
// triangles about their first point, every triangle with its polygon's surface and count.
TEST_F(ObjectTest, PolygonsOfAnySizeBecomeFansOfTriangles) {
    Bytes pols;
    put_polygon(pols, {3}, 1);             // one point
    put_polygon(pols, {1, 2}, 2);          // a line
    put_polygon(pols, {0, 1, 2, 3, 4}, 1); // a pentagon: three triangles
    put_polygon(pols, {0, 1, 2}, 1);
    put_polygon(pols, {4, 3, 2, 1}, 2); // a quadrilateral: two
    put_polygon(pols, {1, 2, 3}, 2);
    // A unit square and a point over its middle, and a concave quadrilateral (a dart).
    write("rules.lwo", lwob({pnts({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 0.5f, 0.5f, 1}),
                             srfs({"S1", "S2"}), surf("S2", 10, 20, 30), chunk("POLS", pols)}));
    SceneObject *obj = load_object("rules.lwo", 1.0f);
    ASSERT_NE(obj, nullptr) << data_last_error();
    ASSERT_EQ(obj->face_count, 9);
    const Face *f = obj->faces;
    EXPECT_EQ(f[0].vertex_count, 1);
    expect_indices(f[0], 0, 0, 3);
    EXPECT_EQ(f[1].vertex_count, 2);
    expect_indices(f[1], 0, 2, 1);
    EXPECT_EQ(f[1].colour, 0x1E140A00u);
    expect_indices(f[2], 2, 1, 0);
    expect_indices(f[3], 3, 2, 0);
    expect_indices(f[4], 4, 3, 0);
    for (int i : {2, 3, 4}) {
        EXPECT_EQ(f[i].vertex_count, 5) << i;
        EXPECT_EQ(f[i].surface_index, 0) << i;
    }
    expect_indices(f[5], 2, 1, 0);
    expect_indices(f[6], 2, 3, 4);
    expect_indices(f[7], 1, 2, 4);
    for (int i : {6, 7}) {
        EXPECT_EQ(f[i].vertex_count, 4) << i;
        EXPECT_EQ(f[i].surface_index, 1) << i;
        EXPECT_EQ(f[i].colour, 0x1E140A00u) << i;
        EXPECT_EQ(f[i].flags, FACE_SOLID | FACE_FLAT) << i;
    }
    expect_indices(f[8], 3, 2, 1);
    // Degenerate faces carry no direction: the normals stay finite.
    for (int i = 0; i < obj->point_count; i++)
        ASSERT_TRUE(std::isfinite(obj->point_normals[i].x + obj->point_normals[i].z)) << i;
}

// A negative surface number says that detail polygons follow, after their count; they are
// polygons of their own, and the ones after them are read on as usual.
TEST_F(ObjectTest, DetailPolygonsAreReadAsPolygons) {
    Bytes pols;
    put_polygon(pols, {0, 1, 2, 3}, 0x10000 - 2); // surface 2, with details
    put_u16(pols, 2);
    put_polygon(pols, {0, 1, 2}, 1);
    put_polygon(pols, {1, 2, 3}, 1);
    put_polygon(pols, {3, 2, 1, 0}, 2);
    write("detail.lwo", lwob({pnts({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}), srfs({"S1", "S2"}),
                              surf("S2", 10, 20, 30, 0x100), chunk("POLS", pols)}));
    SceneObject *obj = load_object("detail.lwo", 1.0f);
    ASSERT_NE(obj, nullptr) << data_last_error();
    ASSERT_EQ(obj->face_count, 6);
    const int surface[] = {1, 1, 0, 0, 1, 1};
    for (int i = 0; i < 6; i++) EXPECT_EQ(obj->faces[i].surface_index, surface[i]) << i;
    EXPECT_EQ(obj->faces[0].flags, FACE_SOLID | FACE_FLAT | FACE_DOUBLE_SIDED);
    expect_indices(obj->faces[3], 3, 2, 1);
    expect_indices(obj->faces[5], 0, 1, 3);
}

// Only the exact special names count, the reserved wireframe name changes nothing, and of two
// surfaces of one name a SURF chunk sets the last.
TEST_F(ObjectTest, SurfacesByTheirExactAndLastName) {
    Bytes pols;
    put_polygon(pols, {0, 1, 2}, 1);
    put_polygon(pols, {0, 2, 1}, 2);
    for (const char *name : {"qvx_flare", "QVX_FLARES", "QVX_WIREFRAME"}) {
        write("plain.lwo", lwob({pnts({0, 0, 0, 1, 0, 0, 0, 1, 0}), srfs({name, name}),
                                 chunk("POLS", pols), surf(name, 4, 5, 6, 0x100)}));
        SceneObject *obj = load_object("plain.lwo", 1.0f);
        ASSERT_NE(obj, nullptr) << data_last_error();
        EXPECT_EQ(obj->point_count, 3) << name;
        EXPECT_EQ(obj->faces[0].colour, COLOUR_WHITE) << name;
        EXPECT_EQ(obj->faces[0].flags, FACE_SOLID | FACE_FLAT) << name;
        EXPECT_EQ(obj->faces[1].colour, 0x06050400u) << name;
        EXPECT_EQ(obj->faces[1].flags, FACE_SOLID | FACE_FLAT | FACE_DOUBLE_SIDED) << name;
    }
}

TEST_F(ObjectTest, DamagedFilesFailWithAReasonAndLeakNothing) {
    Bytes tri;
    put_polygon(tri, {0, 1, 2}, 1);
    const Bytes points = pnts({0, 0, 0, 1, 0, 0, 0, 1, 0});
    Bytes bad_index, bad_surface, no_name_end, bad_sub, short_colr;
    put_polygon(bad_index, {0, 1, 3}, 1);
    put_polygon(bad_surface, {0, 1, 2}, 2);
    no_name_end = {'S', 'u', 'r', 'f'};
    Bytes surf_head;
    put_name(surf_head, "S");
    bad_sub = surf_head;
    put_tag(bad_sub, "COLR");
    put_u16(bad_sub, 40);
    bad_sub.insert(bad_sub.end(), {1, 2, 3, 4});
    short_colr = surf_head;
    Bytes colr2 = sub_chunk("COLR", {1, 2});
    short_colr.insert(short_colr.end(), colr2.begin(), colr2.end());
    Bytes past_end = lwob({points});
    past_end[16 + 3] += 1; // PNTS claims one byte more than the file has
    Bytes not_lwob = lwob({points});
    not_lwob[11] = 'X';
    Bytes cut_header = lwob({});
    cut_header.insert(cut_header.end(), {'P', 'N'});

    Bytes no_points, no_surface, cut_polygon, cut_detail;
    put_polygon(no_points, {}, 1);
    put_polygon(no_surface, {0, 1, 2}, 1);
    put_polygon(no_surface, {0, 1, 2}, 0);
    put_polygon(cut_polygon, {0, 1, 2}, 1);
    put_u16(cut_polygon, 5); // five points, the chunk holds three words more
    put_polygon(cut_polygon, {0, 1}, 1);
    put_polygon(cut_detail, {0, 1, 2}, 0xFFFF);
    Bytes lwo2 = lwob({points}), lwo3 = lwob({points});
    lwo2[11] = '2';
    lwo3[11] = '3';

    const std::pair<Bytes, const char *> cases[] = {
        {lwob({points, srfs({"S"}), chunk("POLS", no_points)}), "polygon 1 at offset 74 has no "
                                                                "points"},
        {lwob({points, srfs({"S"}), chunk("POLS", no_surface)}), "polygon 2 at offset 84 has no "
                                                                 "surface"},
        {lwob({points, srfs({"S"}), chunk("POLS", cut_polygon)}), "polygon 2 at offset 84 runs "
                                                                  "past the end of its POLS"},
        {lwob({points, srfs({"S"}), chunk("POLS", cut_detail)}), "polygon 1 at offset 74: its "
                                                                 "count of detail polygons"},
        {lwo2, "LightWave 6 object (LWO2) -- only LightWave 5 objects (LWOB) are read"},
        {lwo3, "(LWO3) -- only LightWave 5 objects (LWOB) are read"},
        {{'F', 'O', 'R', 'M', 0, 0}, "too few"},
        {not_lwob, "LWOB"},
        {past_end, "runs past the end"},
        {cut_header, "cut off"},
        {lwob({srfs({"S"}), chunk("POLS", tri), points}), "before the points"},
        {lwob({points, srfs({"S"}), chunk("POLS", bad_index)}), "point 3"},
        {lwob({points, srfs({"S"}), chunk("POLS", bad_surface)}), "surface 2"},
        {lwob({srfs({"S"}), chunk("SURF", no_name_end)}), "no terminator"},
        {lwob({srfs({"S"}), chunk("SURF", bad_sub)}), "runs past its surface"},
        {lwob({srfs({"S"}), chunk("SURF", short_colr)}), "COLR"},
    };
    for (const auto &[file, reason] : cases) {
        write("bad.lwo", file);
        data_clear_error();
        int before = mem_live_blocks();
        EXPECT_EQ(load_object("bad.lwo", 1.0f), nullptr) << reason;
        EXPECT_THAT(data_last_error(), HasSubstr("bad.lwo"));
        EXPECT_THAT(data_last_error(), HasSubstr(reason));
        EXPECT_EQ(mem_live_blocks(), before) << reason << " leaks";
    }
    data_clear_error();
    EXPECT_EQ(load_object("missing.lwo", 1.0f), nullptr);
    EXPECT_THAT(data_last_error(), HasSubstr("missing.lwo"));
}
