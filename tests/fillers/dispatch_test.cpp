// Tests of the filler table, the dispatcher and the single-dot filler.

#include "fillers/fillers.h"
#include "support.h"

#include <gtest/gtest.h>

namespace {

TEST(DispatchTest, TableSlotsAndTheFlagsThatSelectThem) {
    EXPECT_EQ(filler_table[FILL_SLOT_NONE], nullptr);
    EXPECT_EQ(filler_table[FILL_SLOT_SPARE], nullptr);
    struct Case {
        int kind;
        Filler filler;
    } cases[] = {{0x008, fill_point},    {0x001, fill_flat_add},   {0x101, fill_flat_lit},
                 {0x004, fill_textured}, {0x010, fill_env_mapped}, {0x081, fill_gouraud}};
    for (const Case &c : cases) EXPECT_EQ(filler_table[fill_slot_of(c.kind)], c.filler) << c.kind;
    for (int kind : {0x000, 0x005, 0x180, 0x181, 0x014, 0x100, 0x080, 0x1bd})
        EXPECT_EQ(fill_slot_of(kind), FILL_SLOT_NONE) << kind;
}

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
}

const Face *seen_face;
Image *seen_target;
int custom_calls;

void recording_filler(const Face *face, Image *target) {
    seen_face = face;
    seen_target = target;
    custom_calls++;
}

TEST(DispatchTest, CustomFlagCallsTheFacesOwnFiller) {
    Target t(8, 8);
    Face f = make_face(FACE_CUSTOM | FACE_SOLID, 0, 0, 7, 0, 0, 7);
    f.custom_filler = recording_filler;
    custom_calls = 0;
    dispatch_fill(&f, &t.image);
    EXPECT_EQ(custom_calls, 1);
    EXPECT_EQ(seen_face, &f);
    EXPECT_EQ(seen_target, &t.image);
    EXPECT_EQ(t.changed(), 0) << "the table's filler is not called as well";
    f.custom_filler = nullptr;
    dispatch_fill(&f, &t.image);
    EXPECT_EQ(custom_calls, 1);
    EXPECT_EQ(t.changed(), 0);
}

TEST(PointTest, OnePixelAtTheTruncatedVertexInsideOnly) {
    Target t(10, 6);
    Face f = make_face(FACE_POINT, 3.9f, 4.99f, 0, 0, 0, 0);
    f.colour = 0x11223300u;
    fill_point(&f, &t.image);
    EXPECT_EQ(t.at(3, 4), 0x11223300u);
    EXPECT_EQ(t.changed(), 1);
    for (Vec3 at : {Vec3{10, 2, 0}, Vec3{2, 6, 0}, Vec3{-1, 2, 0}, Vec3{2, -1.0f, 0}}) {
        Target e(10, 6);
        f.v[0] = at;
        fill_point(&f, &e.image);
        EXPECT_EQ(e.changed(), 0) << at.x << "," << at.y;
    }
}

} // namespace
