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

TEST_F(ObjectTest, PolygonListRules) {
    Bytes pols;
    put_polygon(pols, {3}, 1);             // one point
    put_polygon(pols, {1, 2}, 2);          // a line
    put_polygon(pols, {0, 1, 2, 3, 3}, 1); // five: count and surface, no indices
    put_polygon(pols, {0, 1, 2}, 1);
    put_polygon(pols, {0, 1, 2, 3}, 1); // a quadrilateral ends the list
    put_polygon(pols, {1, 2, 3}, 2);    // counted, never read
    write("rules.lwo", lwob({pnts({0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1}), srfs({"S1", "S2"}),
                             surf("S2", 10, 20, 30), chunk("POLS", pols)}));
    SceneObject *obj = load_object("rules.lwo", 1.0f);
    ASSERT_NE(obj, nullptr) << data_last_error();
    ASSERT_EQ(obj->face_count, 6);
    const Face *f = obj->faces;
    EXPECT_EQ(f[0].vertex_count, 1);
    expect_indices(f[0], 0, 0, 3);
    EXPECT_EQ(f[1].vertex_count, 2);
    expect_indices(f[1], 0, 2, 1);
    EXPECT_EQ(f[1].colour, 0x1E140A00u);
    EXPECT_EQ(f[2].vertex_count, 5);
    expect_indices(f[2], 0, 0, 0);
    expect_indices(f[3], 2, 1, 0);
    for (int i : {4, 5}) {
        EXPECT_EQ(f[i].vertex_count, 0) << i;
        EXPECT_EQ(f[i].surface_index, -1);
        EXPECT_EQ(f[i].colour, COLOUR_WHITE);
    }
    // Degenerate faces carry no direction: the normals stay finite.
    for (int i = 0; i < obj->point_count; i++)
        ASSERT_TRUE(std::isfinite(obj->point_normals[i].x + obj->point_normals[i].z)) << i;
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

    const std::pair<Bytes, const char *> cases[] = {
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
