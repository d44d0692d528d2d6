// The bundled demo scenes load and run: each keeps its particles inside the
// scene with finite positions over a few hundred steps.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "particle_beat_implements.h"

using namespace Zeb::Kamblo;

namespace {

class DemoScene : public ::testing::TestWithParam<const char*> {};

} // namespace

TEST_P(DemoScene, LoadsAndRuns)
{
    std::string path = std::string(PUDLET_SCENES_DIR) + "/" + GetParam();
    auto engine = autorelease(new RevivezoRoraImplements());
    ASSERT_TRUE(engine->load(path.c_str())) << path;
    int loaded = engine->countParticles();
    ASSERT_GT(loaded, 100);
    for (int step = 0; step < 300; ++step)
        engine->simulate();
    ParticleData& d = *engine->data;
    ASSERT_GT(d.count, 0);
    for (int i = 0; i < d.count; ++i) {
        ASSERT_TRUE(std::isfinite(d.position[i].x) && std::isfinite(d.position[i].y)) << i;
        EXPECT_GT(d.position[i].x, d.boundsLeft - 1);
        EXPECT_LT(d.position[i].x, d.boundsRight + 1);
        EXPECT_GT(d.position[i].y, d.boundsBottom - 1);
        EXPECT_LT(d.position[i].y, d.boundsTop + 1);
        ASSERT_LT(d.body[i], d.bodies.size());
    }
}

INSTANTIATE_TEST_SUITE_P(Bundled, DemoScene,
                         ::testing::Values("dam-break.pdl", "wheel-and-boxes.pdl", "fire-fuel-powder.pdl",
                                           "steam-cycle.pdl", "flow-and-toys.pdl"));
