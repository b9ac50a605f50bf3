// Tests of the dispatcher and the single-dot filler, and of what every filler does with
// degenerate, missing and wild input.

#include "fillers/fillers.h"
#include "fillers/part_fillers.h"
#include "support.h"

#include <gtest/gtest.h>

namespace {

// dispatch_fill draws what the selected filler draws; bits outside the mask (double-sided,
// hidden, particle) do not change the choice (the flare bit is inside it), and unknown kinds draw
// nothing.
TEST(DispatchTest, DrawsWithTheFillerOfTheMaskedFlags) {
    Texture texture;
    struct Case {
        int flags;
        Filler direct;
    } cases[] = {{0x401, fill_flat_add},  {0x003, fill_flat_add},   {0x101, fill_flat_lit},
                 {0x8404, fill_textured}, {0x410, fill_env_mapped}, {0x081, fill_gouraud},
                 {0x408, fill_point},     {0x028, nullptr},         {0x005, nullptr},
                 {0x180, nullptr},        {0x000, nullptr}};
    for (const Case &c : cases) {
        Face f = make_face(c.flags, 3.5f, 2.0f, 25.0f, 6.0f, 9.0f, 20.0f);
        f.colour = 0x40506000u;
        f.flat_intensity = 200;
        f.gouraud_intensity[0] = 250, f.gouraud_intensity[1] = 90, f.gouraud_intensity[2] = 160;
        f.texture[0] = f.texture[1] = &texture.image;
        set_uv(f, 0, 0, 0, 90, 20, 40, 200);
        Target via(32, 24), direct(32, 24);
        dispatch_fill(&f, &via.image);
        if (c.direct) c.direct(&f, &direct.image);
        EXPECT_EQ(via.pixels, direct.pixels) << std::hex << c.flags;
        EXPECT_EQ(via.changed() > 0, c.direct != nullptr) << std::hex << c.flags;
    }
    // A dot is the pixel at the truncated vertex, corners included; the pipeline's test lets
    // x = width through.
    Target t(32, 24);
    Face dot = make_face(FACE_POINT, 31.9f, 23.9f, 0, 0, 0, 0);
    dispatch_fill(&dot, &t.image);
    dot.v[0] = {32.0f, 5.0f, 0};
    dispatch_fill(&dot, &t.image);
    dot.v[0] = {0.0f, 0.0f, 0};
    dispatch_fill(&dot, &t.image);
    EXPECT_EQ(t.at(31, 23), COLOUR_WHITE);
    EXPECT_EQ(t.at(0, 0), COLOUR_WHITE);
    EXPECT_EQ(t.changed(), 2);
}

const Face *seen_face;
Image *seen_target;

void recording_filler(const Face *face, Image *target) {
    seen_face = face;
    seen_target = target;
}

// A custom face goes to its own filler alone; without one it draws nothing.
TEST(DispatchTest, CustomFlagCallsTheFacesOwnFiller) {
    Target t(8, 8);
    Face f = make_face(FACE_CUSTOM | FACE_SOLID, 0, 0, 7, 0, 0, 7);
    f.custom_filler = recording_filler;
    dispatch_fill(&f, &t.image);
    EXPECT_EQ(seen_face, &f);
    EXPECT_EQ(seen_target, &t.image);
    seen_face = nullptr;
    f.custom_filler = nullptr;
    dispatch_fill(&f, &t.image);
    EXPECT_EQ(seen_face, nullptr);
    EXPECT_EQ(t.changed(), 0) << "the table's filler is not called";
}

struct Member {
    const char *name;
    Filler fill;
};

const Member MEMBERS[] = {
    {"point", fill_point},
    {"flat_add", fill_flat_add},
    {"flat_lit", fill_flat_lit},
    {"textured", fill_textured},
    {"env_mapped", fill_env_mapped},
    {"gouraud", fill_gouraud},
    {"flat_add_depth", fill_flat_add_depth},
    {"textured_depth", fill_textured_depth},
    {"table_shaded", fill_table_shaded},
    {"unit_textured", fill_unit_textured},
};

// Faces that give every filler what it reads: both textures, two coordinate sets, lights, a
// shade table; targets with a depth buffer far behind.
struct FamilyTest : ::testing::Test {
    Texture texture;
    std::vector<uint32_t> table = std::vector<uint32_t>(SHADE_TABLE_SIZE, 0x01020300u);
    void SetUp() override { fill_set_shade_table(table.data()); }
    void TearDown() override { fill_set_shade_table(nullptr); }
    Face ready(float x0, float y0, float x1, float y1, float x2, float y2) {
        Face f = make_face(FACE_SOLID, x0, y0, x1, y1, x2, y2);
        f.colour = 0x30405000u;
        f.flat_intensity = 200;
        f.gouraud_intensity[0] = f.gouraud_intensity[1] = f.gouraud_intensity[2] = 200;
        f.texture[0] = f.texture[1] = &texture.image;
        f.uv_layer[1] = 6;
        set_uv(f, 0, 0.1f, 0.2f, 0.9f, 0.3f, 0.5f, 0.8f);
        set_uv(f, 6, 10, 20, 200, 40, 90, 230);
        for (Vec3 &v : f.v) v.z = -20;
        return f;
    }
    static void far_depth(Target &t) { std::fill(t.depth.begin(), t.depth.end(), 1000.0f); }
};

TEST_F(FamilyTest, ATriangleOnOneRowDrawsNothing) {
    for (const Member &m : MEMBERS)
        if (m.fill != fill_point)
            for (float y1 : {3.0f, 3.9f}) {
                Target t(32, 8, 0, true);
                far_depth(t);
                Face f = ready(1.5f, 3.0f, 20, y1, 9, 3.0f);
                m.fill(&f, &t.image);
                EXPECT_EQ(t.changed(), 0) << m.name << " " << y1;
            }
}

// A missing or too small texture, a coordinate layer outside the uv array, a target without a
// depth buffer, no shade table: the fillers that need it draw nothing (and read nothing).
TEST_F(FamilyTest, MissingInputsDrawNothing) {
    Target small(255, 256);
    struct Case {
        const char *what;
        void (*spoil)(Face &f, Target &t, Image *small);
        std::vector<Filler> affected;
    } cases[] = {
        {"no texture 0",
         [](Face &f, Target &, Image *) { f.texture[0] = nullptr; },
         {fill_textured, fill_textured_depth, fill_table_shaded, fill_unit_textured}},
        {"small texture 0",
         [](Face &f, Target &, Image *s) { f.texture[0] = s; },
         {fill_textured, fill_textured_depth, fill_table_shaded, fill_unit_textured}},
        {"small texture 1",
         [](Face &f, Target &, Image *s) { f.texture[1] = s; },
         {fill_env_mapped, fill_table_shaded}},
        {"layer 0 past the end",
         [](Face &f, Target &, Image *) { f.uv_layer[0] = 31; },
         {fill_textured, fill_textured_depth, fill_table_shaded, fill_unit_textured}},
        {"negative layer 1",
         [](Face &f, Target &, Image *) { f.uv_layer[1] = -1; },
         {fill_env_mapped, fill_table_shaded}},
        {"no depth buffer",
         [](Face &, Target &t, Image *) { t.image.depth = nullptr; },
         {fill_flat_add_depth, fill_textured_depth}},
        {"no shade table",
         [](Face &, Target &, Image *) { fill_set_shade_table(nullptr); },
         {fill_table_shaded}},
    };
    for (const Case &c : cases)
        for (Filler fill : c.affected) {
            Target t(32, 32, 0, true);
            far_depth(t);
            Face f = ready(2, 2, 28, 6, 9, 27);
            fill(&f, &t.image);
            ASSERT_GT(t.changed(), 100) << c.what << ": the unspoilt face draws";
            std::fill(t.pixels.begin(), t.pixels.end(), 0);
            far_depth(t);
            c.spoil(f, t, &small.image);
            fill(&f, &t.image);
            EXPECT_EQ(t.changed(), 0) << c.what;
            fill_set_shade_table(table.data());
        }
}

} // namespace
