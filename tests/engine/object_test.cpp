// Tests of the LWOB reader: hand-written files, the polygon rules, the special surfaces and
// damaged files.

#include "engine/object.h"

#include "object_test_files.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

using ::testing::HasSubstr;

class ObjectTest : public DataFolderTest {};

static void expect_vec(const Vec3 &v, float x, float y, float z) {
    EXPECT_FLOAT_EQ(v.x, x);
    EXPECT_FLOAT_EQ(v.y, y);
    EXPECT_FLOAT_EQ(v.z, z);
}

static void expect_indices(const Face &f, int a, int b, int c) {
    EXPECT_EQ(f.point_index[0], a);
    EXPECT_EQ(f.point_index[1], b);
    EXPECT_EQ(f.point_index[2], c);
}

static const std::string LONG_NAME = "A_surface_name_of_forty_characters_long!";

// Two triangles meeting at a right angle along the edge p0-p1, listed clockwise as seen from
// their fronts (-z and -x), an unused point, padded names, a SURF before the polygons and one
// after, and chunks and sub-chunks the reader must skip.
static Bytes crease_file() {
    Bytes pols;
    put_polygon(pols, {0, 1, 2}, 1);
    put_polygon(pols, {0, 3, 1}, 2);
    Bytes odd_surf;
    put_name(odd_surf, "Ab");
    for (const Bytes &sub : {sub_chunk("TIMG", {'x', 0}), sub_chunk("COLR", {1, 2, 3, 99})}) {
        odd_surf.insert(odd_surf.end(), sub.begin(), sub.end());
    }
    return lwob({
        pnts({0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 1, 2, -3, 7}),
        srfs({"Red", "Ab", LONG_NAME}),
        chunk("ZZZZ", {1, 2, 3}), // unknown, odd length, no pad byte
        surf("Red", 255, 0, 0, 0x104),
        chunk("POLS", pols),
        surf("Ghost", 9, 9, 9, 0x100), // names no surface: changes nothing
        chunk("SURF", odd_surf),
    });
}

TEST_F(ObjectTest, ReadsAHandWrittenFileIntoEveryField) {
    write("crease.lwo", crease_file());
    SceneObject *obj = load_object("crease.lwo", 2.0f);
    ASSERT_NE(obj, nullptr) << data_last_error();

    ASSERT_EQ(obj->point_count, 5);
    expect_vec(obj->points[1], 0, 2, 0);
    expect_vec(obj->points[4], 4, -6, 14);
    ASSERT_NE(obj->view_points, nullptr);
    ASSERT_NE(obj->view_normals, nullptr);
    EXPECT_FLOAT_EQ(obj->radius, 7.0f); // z runs 0..14
    EXPECT_EQ(obj->motion, nullptr);

    ASSERT_EQ(obj->surface_count, 3);
    EXPECT_STREQ(obj->surfaces[0].name, "Red");
    EXPECT_EQ(obj->surfaces[0].colour, 0x0000FF00u);
    EXPECT_EQ(obj->surfaces[0].flags, SURF_DOUBLE_SIDED); // only the double-sided bit is kept
    EXPECT_STREQ(obj->surfaces[1].name, "Ab");
    EXPECT_EQ(obj->surfaces[1].colour, 0x03020100u);
    EXPECT_EQ(obj->surfaces[1].flags, 0);
    EXPECT_EQ(std::string(obj->surfaces[2].name), LONG_NAME.substr(0, 31));
    EXPECT_EQ(obj->surfaces[2].colour, COLOUR_WHITE);
    expect_vec(obj->surfaces[2].texture_centre, 1, 1, 1);

    ASSERT_EQ(obj->face_count, 2);
    const Face &a = obj->faces[0], &b = obj->faces[1];
    expect_indices(a, 2, 1, 0); // reversed
    expect_indices(b, 1, 3, 0);
    EXPECT_EQ(a.surface_index, 0);
    EXPECT_EQ(b.surface_index, 1);
    EXPECT_EQ(a.flags, FACE_SOLID | FACE_FLAT | FACE_DOUBLE_SIDED);
    EXPECT_EQ(b.flags, FACE_SOLID | FACE_FLAT);
    EXPECT_EQ(a.colour, 0x0000FF00u);
    EXPECT_EQ(b.colour, 0x03020100u);
    EXPECT_EQ(a.vertex_count, 3);
    EXPECT_EQ(a.env_scale, 128.0f);

    // Clockwise from the front gives normals towards the viewer; the crease points get the
    // unnormalised average, the unused point none.
    expect_vec(obj->point_normals[0], -0.5f, 0, -0.5f);
    expect_vec(obj->point_normals[1], -0.5f, 0, -0.5f);
    expect_vec(obj->point_normals[2], 0, 0, -1);
    expect_vec(obj->point_normals[3], -1, 0, 0);
    expect_vec(obj->point_normals[4], 0, 0, 0);
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
    EXPECT_EQ(f[2].surface_index, 0);
    expect_indices(f[3], 2, 1, 0);
    for (int i : {4, 5}) {
        EXPECT_EQ(f[i].vertex_count, 0) << i;
        expect_indices(f[i], 0, 0, 0);
        EXPECT_EQ(f[i].surface_index, -1);
        EXPECT_EQ(f[i].colour, COLOUR_WHITE);
        EXPECT_EQ(f[i].flags, FACE_SOLID | FACE_FLAT);
    }
    // Degenerate faces carry no direction: the normals stay finite.
    for (int i = 0; i < obj->point_count; i++) {
        ASSERT_TRUE(std::isfinite(obj->point_normals[i].x)) << i;
        ASSERT_TRUE(std::isfinite(obj->point_normals[i].z)) << i;
    }

    // An empty polygon or a missing surface number ends the list just as well.
    for (auto [count, surface] : {std::pair{0u, 1u}, std::pair{3u, 0u}}) {
        Bytes p2;
        put_polygon(p2, {0, 1, 2}, 1);
        put_polygon(p2, std::vector<unsigned>(count, 1), surface);
        put_polygon(p2, {2, 1, 0}, 1);
        write("stop.lwo",
              lwob({pnts({0, 0, 0, 1, 0, 0, 0, 1, 0}), srfs({"S"}), chunk("POLS", p2)}));
        SceneObject *o = load_object("stop.lwo", 1.0f);
        ASSERT_NE(o, nullptr) << data_last_error();
        ASSERT_EQ(o->face_count, 3);
        EXPECT_EQ(o->faces[1].surface_index, -1);
        EXPECT_EQ(o->faces[2].surface_index, -1);
        expect_indices(o->faces[2], 0, 0, 0);
    }
}

static Bytes cube_with_surface(const std::string &name) {
    Bytes pols;
    put_polygon(pols, {0, 1, 2}, 1);
    put_polygon(pols, {7, 6, 5}, 1);
    put_polygon(pols, {1, 3, 6}, 2);
    return lwob(
        {pnts({-1, -1, -1, 1, -1, -1, -1, 1, -1, 1, 1, -1, -1, -1, 1, 1, -1, 1, -1, 1, 1, 1, 1, 1}),
         srfs({"Plain", name}), surf("Plain", 1, 1, 1, 0x100), chunk("POLS", pols)});
}

TEST_F(ObjectTest, SpecialSurfaceNames) {
    write("flare.lwo", cube_with_surface("QVX_FLARE"));
    SceneObject *flare = load_object("flare.lwo", 3.0f);
    ASSERT_NE(flare, nullptr) << data_last_error();
    ASSERT_EQ(flare->point_count, 1);
    ASSERT_EQ(flare->face_count, 1);
    expect_vec(flare->points[0], 0, 0, 0);
    expect_vec(flare->point_normals[0], 0, 0, 0);
    EXPECT_EQ(flare->faces[0].flags, FACE_FLARE);
    EXPECT_EQ(flare->faces[0].surface_index, -1);
    expect_indices(flare->faces[0], 0, 0, 0);
    EXPECT_FLOAT_EQ(flare->faces[0].flare_radius, 6.0f * std::sqrt(3.0f)); // scaled diagonal
    EXPECT_EQ(flare->radius, 0.0f);
    EXPECT_EQ(flare->surface_count, 2);

    write("particle.lwo", cube_with_surface("QVX_PARTICLE"));
    SceneObject *particle = load_object("particle.lwo", 1.0f);
    ASSERT_NE(particle, nullptr) << data_last_error();
    ASSERT_EQ(particle->face_count, 3);
    for (int i = 0; i < 3; i++) EXPECT_EQ(particle->faces[i].flags, FACE_PARTICLE) << i;
    EXPECT_EQ(particle->faces[0].colour, 0x01010100u); // colours stay

    // Only the exact names count; the reserved wireframe name changes nothing.
    for (const char *name : {"qvx_flare", "QVX_FLARES", "QVX_WIREFRAME"}) {
        write("plain.lwo", cube_with_surface(name));
        SceneObject *plain = load_object("plain.lwo", 1.0f);
        ASSERT_NE(plain, nullptr) << data_last_error();
        EXPECT_EQ(plain->point_count, 8) << name;
        EXPECT_EQ(plain->faces[0].flags, FACE_SOLID | FACE_FLAT | FACE_DOUBLE_SIDED) << name;
        EXPECT_EQ(plain->faces[2].flags, FACE_SOLID | FACE_FLAT) << name;
    }
}

TEST_F(ObjectTest, SurfaceChunksMatchTheLastSurfaceOfTheirName) {
    Bytes pols;
    put_polygon(pols, {0, 1, 2}, 1);
    put_polygon(pols, {0, 1, 2}, 2);
    write("twins.lwo", lwob({pnts({0, 0, 0, 1, 0, 0, 0, 1, 0}), srfs({"Twin", "Twin"}),
                             chunk("POLS", pols), surf("Twin", 4, 5, 6, 0x100)}));
    SceneObject *obj = load_object("twins.lwo", 1.0f);
    ASSERT_NE(obj, nullptr) << data_last_error();
    EXPECT_EQ(obj->faces[0].colour, COLOUR_WHITE);
    EXPECT_EQ(obj->faces[0].flags, FACE_SOLID | FACE_FLAT);
    EXPECT_EQ(obj->faces[1].colour, 0x06050400u);
    EXPECT_EQ(obj->faces[1].flags, FACE_SOLID | FACE_FLAT | FACE_DOUBLE_SIDED);
}

TEST_F(ObjectTest, DamagedFilesFailWithAReasonAndLeakNothing) {
    Bytes tri;
    put_polygon(tri, {0, 1, 2}, 1);
    const Bytes points = pnts({0, 0, 0, 1, 0, 0, 0, 1, 0});
    Bytes bad_index, bad_surface, no_name_end, bad_sub, short_colr, cut_sub;
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
    cut_sub = surf_head;
    cut_sub.insert(cut_sub.end(), {'C', 'O', 'L'});

    Bytes past_end = lwob({points});
    past_end[16 + 3] += 1; // PNTS claims one byte more than the file has
    Bytes not_lwob = lwob({points});
    not_lwob[11] = 'X';

    struct Case {
        const char *name;
        Bytes file;
        const char *reason;
    } cases[] = {
        {"short.lwo", {'F', 'O', 'R', 'M', 0, 0}, "too few"},
        {"form.lwo", not_lwob, "LWOB"},
        {"past.lwo", past_end, "runs past the end"},
        {"header.lwo",
         [] {
             Bytes b = lwob({});
             b.insert(b.end(), {'P', 'N'});
             return b;
         }(),
         "cut off"},
        {"order.lwo", lwob({srfs({"S"}), chunk("POLS", tri), points}), "before the points"},
        {"index.lwo", lwob({points, srfs({"S"}), chunk("POLS", bad_index)}), "point 3"},
        {"nopoints.lwo", lwob({pnts({}), srfs({"S"}), chunk("POLS", tri)}),
         "point 0, but there are 0"},
        {"surface.lwo", lwob({points, srfs({"S"}), chunk("POLS", bad_surface)}), "surface 2"},
        {"srfsname.lwo", lwob({chunk("SRFS", no_name_end)}), "no terminator"},
        {"surfname.lwo", lwob({srfs({"S"}), chunk("SURF", no_name_end)}), "no terminator"},
        {"sub.lwo", lwob({srfs({"S"}), chunk("SURF", bad_sub)}), "runs past its surface"},
        {"colr.lwo", lwob({srfs({"S"}), chunk("SURF", short_colr)}), "COLR"},
        {"cutsub.lwo", lwob({srfs({"S"}), chunk("SURF", cut_sub)}), "cut off"},
    };
    for (const Case &c : cases) {
        write(c.name, c.file);
        data_clear_error();
        int before = mem_live_blocks();
        EXPECT_EQ(load_object(c.name, 1.0f), nullptr) << c.name;
        EXPECT_THAT(data_last_error(), HasSubstr(c.name));
        EXPECT_THAT(data_last_error(), HasSubstr(c.reason));
        EXPECT_EQ(mem_live_blocks(), before) << c.name << " leaks";
    }

    data_clear_error();
    EXPECT_EQ(load_object("missing.lwo", 1.0f), nullptr);
    EXPECT_THAT(data_last_error(), HasSubstr("missing.lwo"));
}

TEST_F(ObjectTest, EmptyObjectsMeasureTheInitialBox) {
    SceneObject *empty = new_empty_object();
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->faces, nullptr);
    EXPECT_FLOAT_EQ(object_diagonal(empty), 2 * 999999.9f * std::sqrt(3.0f));
    EXPECT_EQ(new_faces(-1), nullptr);
}

TEST_F(ObjectTest, RadiusIsTheLargestHalfExtentOfTheBox) {
    // Two corners, off centre, with the long side along each axis in turn: half of 10 each time,
    // and less than 5 when the two ends are added instead.
    const float corners[3][6] = {
        {-1, -3, -5, 9, 1, 2}, {-3, -9, -5, 1, 1, 2}, {-3, -5, -9, 1, 2, 1}};
    for (const auto &c : corners) {
        write("box.lwo", lwob({pnts(std::vector<float>(c, c + 6))}));
        SceneObject *obj = load_object("box.lwo", 1.0f);
        ASSERT_NE(obj, nullptr) << data_last_error();
        EXPECT_EQ(obj->radius, 5.0f) << c[3] << " " << c[4] << " " << c[5];
    }
}
