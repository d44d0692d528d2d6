// A long run of the mixed scene with its invariants checked as it goes. CI
// runs a few thousand steps; PUDLET_SOAK_STEPS=N runs N (see tests/fuzz/README.md).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "mixed_scene.h"
#include "particle_builder.h"
#include "particle_simulator.h"

using namespace Zeb::Kamblo;

namespace {

long soakSteps()
{
    const char* steps = std::getenv("PUDLET_SOAK_STEPS");
    if (steps && *steps)
        return std::atol(steps);
    return 1500;
}

TEST(Soak, MixedSceneKeepsItsInvariants)
{
    auto data = autorelease(new ParticleData());
    PudletTest::fillEveryMaterial(data);
    ASSERT_GT(data->count, 800);
    ASSERT_GT(data->bodies.size(), 1u);
    data->pouringFlag = true;
    auto simulator = autorelease(new ParticleSimulator(data));
    auto builder = autorelease(new ParticleBuilder(data));

    const long steps = soakSteps();
    // Bounded by the pour: it adds particles, the outflow wall and the fire
    // remove them; the total must stay within what the scene can hold.
    const int maxCount = 200000;
    int highest = 0;
    for (long step = 1; step <= steps; ++step) {
        simulator->simulate();
        // Now and then the user paints and stops pouring, so every edit path
        // meets a scene in motion.
        if (step % 500 == 250) {
            builder->setMaterial(PudletTest::kEveryMaterial[(step / 500) % (sizeof PudletTest::kEveryMaterial - 1)]);
            builder->prepareForDrawing(float2(20, 40), 1);
            builder->drawLine(float2(20, 40), float2(40, 40), 1);
        }
        if (step % 2000 == 1000)
            data->pouringFlag = !data->pouringFlag;
        if (step % 50 == 0 || step == steps) {
            const std::string broken = PudletTest::brokenInvariant(*data);
            ASSERT_EQ(broken, "") << "after step " << step;
            ASSERT_LE(data->count, maxCount) << "after step " << step;
            ASSERT_LE(data->fireEffect->count + data->splashEffect->count + data->bubbleEffect->count, 1 << 20);
            highest = std::max(highest, data->count);
        }
    }
    RecordProperty("steps", std::to_string(steps));
    RecordProperty("highestCount", std::to_string(highest));
    std::printf("soak: %ld steps, final %d particles, highest %d, %zu bodies, %zu joints\n", steps, data->count,
                highest, data->bodies.size(), data->joints.size());
}

} // namespace
