#include <climits>
#include <cmath>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "cg_math.h"
#include "particle_data.h"
#include "particle_simulator.h"
#include "simulator_scene.h"

using namespace Zeb::Kamblo;

namespace {

struct EffectScene : PudletTest::SimulatorScene {
    static int addEffect(ParticleEffect& pool, float2 position, float2 velocity, float life)
    {
        int e = pool.create();
        pool.position[e] = position;
        pool.velocity[e] = velocity;
        pool.life[e] = life;
        return e;
    }

    const ParticleSimulator::BubbleCell& cell(int x, int y) const
    {
        return sim->bubbleGrid.cells[x + sim->bubbleGrid.width * y];
    }
};

} // namespace

// --- fire ---------------------------------------------------------------------

TEST(MoveFire, FlamesDriftAndRiseAgainstGravity)
{
    EffectScene s;
    ParticleEffect& fire = *s.d.fireEffect;
    s.addEffect(fire, {10, 10}, {0.1f, 0}, 1);
    s.sim->moveFire();
    float2 g = s.sim->gravity();
    float2 expected = float2(10, 10) + (float2(0.1f, 0) - s.d.fireBuoyancyCoefficient * g);
    EXPECT_EQ(fire.position[0], expected);
    EXPECT_GT(fire.position[0].y, 10.0f);
    EXPECT_EQ(fire.velocity[0], float2(0.1f, 0));
    EXPECT_FLOAT_EQ(fire.life[0], 1 - 1 / s.d.fireLife);
}

TEST(MoveFire, WithoutGravityFlamesOnlyDrift)
{
    EffectScene s;
    s.d.gravityFlag = false;
    ParticleEffect& fire = *s.d.fireEffect;
    s.addEffect(fire, {10, 10}, {0.25f, -0.5f}, 1);
    s.sim->moveFire();
    EXPECT_EQ(fire.position[0], float2(10.25f, 9.5f));
}

TEST(MoveFire, EndedFlamesAreCompactedOnceKeepingOrder)
{
    EffectScene s;
    ParticleEffect& fire = *s.d.fireEffect;
    s.addEffect(fire, {1, 0}, {0, 0}, 0.0005f); // ends this step
    s.addEffect(fire, {2, 0}, {0, 0}, 1);
    s.addEffect(fire, {3, 0}, {0, 0}, std::numeric_limits<float>::quiet_NaN());
    s.addEffect(fire, {4, 0}, {0, 0}, 1);
    s.sim->moveFire();
    ASSERT_EQ(fire.count, 2);
    EXPECT_EQ(fire.position[0].x, 2.0f);
    EXPECT_EQ(fire.position[1].x, 4.0f);
}

TEST(MoveFire, DefaultFlameLivesAboutAThousandSteps)
{
    EffectScene s;
    ParticleEffect& fire = *s.d.fireEffect;
    s.addEffect(fire, {10, 10}, {0, 0}, 1);
    int steps = 0;
    while (fire.count > 0 && steps < 2000) {
        s.sim->moveFire();
        ++steps;
    }
    EXPECT_NEAR(steps, 1001, 2);
}

// --- splash -------------------------------------------------------------------

TEST(MoveSplash, DropsFlyBallistically)
{
    EffectScene s;
    ParticleEffect& splash = *s.d.splashEffect;
    s.addEffect(splash, {10, 10}, {0.1f, 0.2f}, 1.5f);
    s.sim->moveSplash();
    float2 g = s.sim->gravity();
    float2 v = float2(0.1f, 0.2f) + g;
    EXPECT_EQ(splash.velocity[0], v);
    EXPECT_EQ(splash.position[0], float2(10, 10) + v);
    EXPECT_EQ(splash.life[0], 1.5f - s.d.splashExpansion);
}

TEST(MoveSplash, WithoutGravityDropsFlyStraightOn)
{
    EffectScene s;
    s.d.gravityFlag = false;
    ParticleEffect& splash = *s.d.splashEffect;
    s.addEffect(splash, {10, 10}, {0.5f, 0.25f}, 1.5f);
    s.sim->moveSplash();
    s.sim->moveSplash();
    EXPECT_EQ(splash.velocity[0], float2(0.5f, 0.25f));
    EXPECT_EQ(splash.position[0], float2(11, 10.5f));
}

TEST(MoveSplash, DropEndsWhenItsLifeFallsBelowOne)
{
    EffectScene s;
    ParticleEffect& splash = *s.d.splashEffect;
    s.addEffect(splash, {10, 10}, {0, 0}, 1.000005f);
    s.addEffect(splash, {20, 10}, {0, 0}, 1.5f);
    s.sim->moveSplash();
    ASSERT_EQ(splash.count, 1);
    EXPECT_EQ(splash.position[0].x, 20.0f);
}

// --- bubbles ------------------------------------------------------------------

TEST(MoveBubble, EmptyPoolLeavesTheGridAlone)
{
    EffectScene s;
    s.addMaterial('q', {10, 10});
    s.sim->moveBubble();
    EXPECT_EQ(s.sim->bubbleGrid.width, 0);
    EXPECT_EQ(s.sim->bubbleGrid.cells, nullptr);
}

TEST(MoveBubble, SplatsWaterBilinearlyIntoTheGrid)
{
    EffectScene s;
    s.addMaterial('q', {10.25f, 20.5f}, {0.4f, -0.8f});
    s.addEffect(*s.d.bubbleEffect, {40, 40}, {0, 0}, 1);
    s.sim->moveBubble();
    ASSERT_EQ(s.sim->bubbleGrid.width, 64);
    ASSERT_EQ(s.sim->bubbleGrid.height, 48);
    EXPECT_FLOAT_EQ(s.cell(10, 20).weight, 0.75f * 0.5f);
    EXPECT_FLOAT_EQ(s.cell(11, 20).weight, 0.25f * 0.5f);
    EXPECT_FLOAT_EQ(s.cell(10, 21).weight, 0.75f * 0.5f);
    EXPECT_FLOAT_EQ(s.cell(11, 21).weight, 0.25f * 0.5f);
    EXPECT_FLOAT_EQ(s.cell(11, 21).vx, 0.4f * 0.125f);
    EXPECT_FLOAT_EQ(s.cell(10, 20).vy, -0.8f * 0.375f);
}

TEST(MoveBubble, BubbleWithoutWaterAroundItEnds)
{
    EffectScene s;
    s.addMaterial('q', {10, 10});
    s.addEffect(*s.d.bubbleEffect, {30, 30}, {0, 0}, 1);
    s.sim->moveBubble();
    EXPECT_EQ(s.d.bubbleEffect->count, 0);
}

TEST(MoveBubble, BubbleDriftsWithTheWeightedFlowAndRises)
{
    EffectScene s;
    // Two particles on the same cell corner: the flow is summed, not averaged.
    s.addMaterial('q', {20, 20}, {0.1f, 0});
    s.addMaterial('q', {20, 20}, {0.1f, 0});
    s.addEffect(*s.d.bubbleEffect, {20, 20}, {0, 0}, 1);
    s.sim->moveBubble();
    ASSERT_EQ(s.d.bubbleEffect->count, 1);
    float2 g = s.sim->gravity();
    float2 expected = float2(20, 20) + (float2(0.2f, 0) - s.d.bubbleBuoyancyCoefficient * g);
    EXPECT_EQ(s.d.bubbleEffect->position[0], expected);
    EXPECT_FLOAT_EQ(s.d.bubbleEffect->life[0], 1 - 1 / s.d.bubbleLife);
}

TEST(MoveBubble, WithoutGravityBubblesOnlyDriftWithTheWater)
{
    EffectScene s;
    s.d.gravityFlag = false;
    s.addMaterial('q', {20, 20}, {0, 0.25f});
    s.addEffect(*s.d.bubbleEffect, {20, 20}, {0, 0}, 1);
    s.sim->moveBubble();
    EXPECT_EQ(s.d.bubbleEffect->position[0], float2(20, 20.25f));
}

TEST(MoveBubble, BubbleRisingOutOfTheTopEnds)
{
    EffectScene s;
    s.addMaterial('q', {20, 47});
    s.addMaterial('q', {20, 48}); // above the grid's last row: skipped
    s.addEffect(*s.d.bubbleEffect, {20, 47.9f}, {0, 0}, 1);
    s.addEffect(*s.d.bubbleEffect, {20, 48.5f}, {0, 0}, 1); // already outside
    s.addEffect(*s.d.bubbleEffect, {20, 47}, {0, 0}, -0.5f); // life over
    s.sim->moveBubble();
    ASSERT_EQ(s.d.bubbleEffect->count, 0) << "weight 0.1 below the bubble at 47.9 is not water enough";

    s.addEffect(*s.d.bubbleEffect, {20, 47}, {0, 0}, 1);
    s.d.bubbleBuoyancyCoefficient = 2000; // rises 2 units in one step
    s.sim->moveBubble();
    ASSERT_EQ(s.d.bubbleEffect->count, 1);
    EXPECT_GT(s.d.bubbleEffect->position[0].y, 48.0f);
    s.sim->moveBubble();
    EXPECT_EQ(s.d.bubbleEffect->count, 0);
}

TEST(MoveBubble, GridKeepsItsValuesBetweenFrames)
{
    EffectScene s;
    int w = s.addMaterial('q', {20, 20}, {0.1f, 0});
    s.addEffect(*s.d.bubbleEffect, {40, 40}, {0, 0}, 1);
    s.d.timeStep = 16;
    s.sim->moveBubble();
    EXPECT_FLOAT_EQ(s.cell(20, 20).weight, 1);

    s.d.position[w] = {30, 30};
    s.addEffect(*s.d.bubbleEffect, {40, 40}, {0, 0}, 1);
    s.d.timeStep = 17;
    s.sim->moveBubble();
    EXPECT_FLOAT_EQ(s.cell(20, 20).weight, 1) << "no refresh between frames";
    EXPECT_EQ(s.cell(30, 30).weight, 0);

    s.addEffect(*s.d.bubbleEffect, {40, 40}, {0, 0}, 1);
    s.d.timeStep = 24;
    s.sim->moveBubble();
    EXPECT_EQ(s.cell(20, 20).weight, 0);
    EXPECT_FLOAT_EQ(s.cell(30, 30).weight, 1);
}

TEST(MoveBubble, ZeroOrNegativeStepsPerFrameNeverTrap)
{
    EffectScene s;
    int w = s.addMaterial('q', {20, 20});
    s.d.timeStepsPerFrame = 0;
    s.d.timeStep = 3;
    s.addEffect(*s.d.bubbleEffect, {40, 40}, {0, 0}, 1);
    s.sim->moveBubble();
    EXPECT_FLOAT_EQ(s.cell(20, 20).weight, 1);
    // A frame of no steps refreshes on every step.
    s.d.position[w] = {25, 25};
    s.d.timeStep = 5;
    s.addEffect(*s.d.bubbleEffect, {40, 40}, {0, 0}, 1);
    s.sim->moveBubble();
    EXPECT_EQ(s.cell(20, 20).weight, 0);
    EXPECT_FLOAT_EQ(s.cell(25, 25).weight, 1);

    s.d.timeStepsPerFrame = -1;
    s.d.timeStep = INT_MIN;
    s.addEffect(*s.d.bubbleEffect, {40, 40}, {0, 0}, 1);
    s.sim->moveBubble();
    EXPECT_FLOAT_EQ(s.cell(25, 25).weight, 1);
}

TEST(MoveBubble, NarrowingTheBoundsKeepsTheLeftColumns)
{
    EffectScene s;
    for (int x = 0; x < 64; x += 3)
        for (int y = 0; y < 48; y += 5)
            s.addMaterial('q', {float(x) + 0.5f, float(y) + 0.25f}, {float(x), float(y)});
    s.addEffect(*s.d.bubbleEffect, {60, 40}, {0, 0}, 1);
    s.sim->moveBubble();
    ASSERT_EQ(s.sim->bubbleGrid.width, 64);
    std::vector<ParticleSimulator::BubbleCell> before(s.sim->bubbleGrid.cells, s.sim->bubbleGrid.cells + 64 * 48);

    s.d.boundsRight = 32;
    s.d.timeStep = 1; // not a refresh step
    s.addEffect(*s.d.bubbleEffect, {60, 40}, {0, 0}, 1);
    s.sim->moveBubble();
    ASSERT_EQ(s.sim->bubbleGrid.width, 32);
    ASSERT_EQ(s.sim->bubbleGrid.height, 48);
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 32; ++x) {
            const auto& old = before[size_t(x + 64 * y)];
            EXPECT_EQ(s.cell(x, y).vx, old.vx);
            EXPECT_EQ(s.cell(x, y).vy, old.vy);
            EXPECT_EQ(s.cell(x, y).weight, old.weight);
        }
    }

    // Widening again brings back zeroed columns, not stale ones.
    s.d.boundsRight = 64;
    s.d.timeStep = 2;
    s.addEffect(*s.d.bubbleEffect, {10, 10}, {0, 0}, 1);
    s.sim->moveBubble();
    ASSERT_EQ(s.sim->bubbleGrid.width, 64);
    EXPECT_EQ(s.cell(33, 0).weight, 0);
    EXPECT_EQ(s.cell(3, 0).weight, before[3].weight);
}

TEST(MoveBubble, HugeOrNonFiniteBoundsAndPositionsStayBounded)
{
    EffectScene s;
    s.d.boundsRight = 1e30f;
    s.d.boundsTop = std::numeric_limits<float>::infinity();
    s.addMaterial('q', {5, 5});
    s.addMaterial('q', {1e20f, 5});
    s.addMaterial('q', {std::numeric_limits<float>::quiet_NaN(), 5});
    s.addMaterial('q', {-1e20f, -1e20f});
    s.addEffect(*s.d.bubbleEffect, {5, 5}, {0, 0}, 1);     // inside the grid, in water
    s.addEffect(*s.d.bubbleEffect, {5000, 5}, {0, 0}, 1);  // inside the bounds, beyond the grid
    s.addEffect(*s.d.bubbleEffect, {1e25f, 5}, {0, 0}, 1); // far beyond
    s.sim->moveBubble();
    EXPECT_EQ(s.sim->bubbleGrid.width, kMaxBubbleGridSide);
    EXPECT_EQ(s.sim->bubbleGrid.height, kMaxBubbleGridSide);
    ASSERT_EQ(s.d.bubbleEffect->count, 1);
    EXPECT_NEAR(s.d.bubbleEffect->position[0].x, 5, 1e-3);

    s.d.boundsLeft = std::numeric_limits<float>::quiet_NaN();
    s.addEffect(*s.d.bubbleEffect, {std::numeric_limits<float>::quiet_NaN(), 5}, {0, 0}, 1);
    s.sim->moveBubble();
    EXPECT_EQ(s.sim->bubbleGrid.width, 0);
    EXPECT_EQ(s.d.bubbleEffect->count, 0);

    s.d.boundsLeft = 10;
    s.d.boundsRight = 0; // inverted bounds: no cells
    s.addEffect(*s.d.bubbleEffect, {5, 5}, {0, 0}, 1);
    s.sim->moveBubble();
    EXPECT_EQ(s.sim->bubbleGrid.width, 0);
    EXPECT_EQ(s.d.bubbleEffect->count, 0);
}

TEST(EffectStep, StepsWithNoFrameLengthStillMoveBubbles)
{
    EffectScene s;
    s.d.timeStepsPerFrame = 0;
    s.d.gravityFlag = false; // water and bubble stay on one grid point
    s.addMaterial('q', {20, 20});
    s.addEffect(*s.d.bubbleEffect, {20, 20}, {0, 0}, 1);
    for (int k = 0; k < 3; ++k)
        s.sim->simulate();
    EXPECT_EQ(s.d.timeStep, 3);
    EXPECT_TRUE(std::isinf(s.d.time));
    EXPECT_EQ(s.d.bubbleEffect->count, 1) << "refreshed every step, the bubble keeps finding its water";
}
