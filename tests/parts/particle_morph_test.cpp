// Tests of the particle morph part: the shapes and scenes it refuses. The show's digests pin its
// frames.

#include "part_fixture.h"
#include "parts/particle_morph.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using ParticleMorphTest = PartFixture;

TEST_F(ParticleMorphTest, RefusesAShapeOfOtherPointsAndASceneWithoutTheCloud) {
    write_points_object(data + "/pmorph4.lwo", 3);
    EXPECT_EQ(particle_morph_load(), 0);
    EXPECT_NE(error().find("pmorph4.lwo: 3 points"), std::string::npos) << error();
    restore_data("pmorph4.lwo");
    write_data("ptl_scen.lws", scene_text({}));
    EXPECT_EQ(particle_morph_load(), 0);
    EXPECT_NE(error().find("ptl_scen.lws: the scene has no objects"), std::string::npos) << error();
}

} // namespace
