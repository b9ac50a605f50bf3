// writers_test.cpp -- what the forge program and its object and scene writers refuse. What they
// write is pinned by the digests of the show's frames, which draw the forge's files.
#include "helpers.h"
#include "lwo_write.h"
#include "lws_write.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

const float tri_points[] = {0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0.5f};
const LwoSurface tri_surfaces[] = {{"Moor", 10, 20, 30, 0},
                                   {"Glass", 200, 210, 220, LWO_DOUBLE_SIDED}};

TEST(LwoWriter, RefusesWhatTheFormatCannotHold) {
    Bytes out;
    const LwoTriangle past_points[] = {{{0, 1, 3}, 0}};
    LwoMesh mesh{3, tri_points, 1, past_points, 1, tri_surfaces};
    EXPECT_FALSE(lwo_encode(&out, &mesh));
    const LwoTriangle past_surfaces[] = {{{0, 1, 2}, 1}};
    mesh.triangles = past_surfaces;
    EXPECT_FALSE(lwo_encode(&out, &mesh));
    const LwoSurface long_name[] = {{"a_surface_name_of_thirty_two_chr", 0, 0, 0, 0}};
    mesh = LwoMesh{3, tri_points, 0, nullptr, 1, long_name};
    EXPECT_FALSE(lwo_encode(&out, &mesh));
    // Surface 32,768 would be stored as a negative number, which announces detail polygons.
    const std::vector<LwoSurface> many(32768, tri_surfaces[0]);
    const LwoTriangle last_surface[] = {{{0, 1, 2}, 32767}};
    mesh = LwoMesh{3, tri_points, 1, last_surface, 32768, many.data()};
    EXPECT_FALSE(lwo_encode(&out, &mesh));
    EXPECT_TRUE(out.data.empty());
    mesh.surface_count = 32767;
    mesh.triangles = past_surfaces;
    EXPECT_TRUE(lwo_encode(&out, &mesh));
}

LwsKey key_at(float frame, float z, float heading) {
    return LwsKey{0, 0, z, heading, 0, 0, 1, 1, 1, frame, 0, 0, 0, 0};
}

TEST(LwsWriter, RefusesMissingKeysBadPathsAndTargets) {
    const LwsKey k[] = {key_at(0, 0, 0)};
    LwsObject spaced[] = {{"data\\two words.lwo", 0, {1, k}}};
    LwsScene scene{0, 1, 1, spaced, 0, nullptr, {{1, k}, 0, 1}};
    Bytes out;
    EXPECT_FALSE(lws_encode(&out, &scene));
    spaced[0].path = "data\\ok.lwo";
    scene.camera.target = 2;
    EXPECT_FALSE(lws_encode(&out, &scene));
    scene.camera = LwsCamera{{0, nullptr}, 0, 1};
    EXPECT_FALSE(lws_encode(&out, &scene));
}

TEST(ForgeProgram, BadArgumentsAndUnwritableFoldersFailWithAMessage) {
    TempDir dir;
    const std::string prog = FORGE_PROGRAM, blocked = dir + "/file";
    EXPECT_NE(run_command(prog).status, 0);
    EXPECT_NE(run_command(prog + " --out").status, 0);
    write_text(blocked, "x"); // a plain file where the output folder should be
    const CommandResult r = run_command(prog + " --out " + blocked);
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find(blocked), std::string::npos) << r.err;
}

} // namespace
