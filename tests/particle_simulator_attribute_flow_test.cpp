#include <cmath>

#include <gtest/gtest.h>

#include <limits>

#include "cg_math.h"
#include "particle_data.h"
#include "particle_simulator.h"
#include "simulator_scene.h"

using namespace Zeb::Kamblo;
using namespace Zeb::Kamblo::Attribute;

namespace {

// A scene in the middle of the default container, away from its walls.
struct FlowScene : PudletTest::SimulatorScene {
    // The numbers frand would return next, without drawing them.
    float peek(int skip)
    {
        int seed = d.randSeed;
        float r = 0;
        for (int k = 0; k <= skip; ++k)
            r = sim->frand();
        d.randSeed = seed;
        return r;
    }

    int seedAfter(int draws)
    {
        int seed = d.randSeed;
        for (int k = 0; k < draws; ++k)
            sim->frand();
        int after = d.randSeed;
        d.randSeed = seed;
        return after;
    }
};

ParticleJoint jointOf(int a, int b)
{
    ParticleJoint joint;
    joint.a = a < b ? a : b;
    joint.b = a < b ? b : a;
    return joint;
}

} // namespace

// --- powder -----------------------------------------------------------------

TEST(ExpressPowder, OverlappingGrainsPushApartSymmetrically)
{
    FlowScene s;
    int a = s.addMaterial('p', {32, 24});
    int b = s.addMaterial('p', {32.5f, 24});
    s.prepare();
    int seed = s.d.randSeed;
    s.sim->expressPowder();
    EXPECT_LT(s.d.velocity[a].x, 0);
    EXPECT_GT(s.d.velocity[b].x, 0);
    EXPECT_FLOAT_EQ(s.d.velocity[a].x, -s.d.velocity[b].x);
    EXPECT_EQ(s.d.randSeed, seed) << "cold powder draws nothing";
}

TEST(ExpressPowder, GrainsAtStandardSpacingDoNotPush)
{
    FlowScene s;
    int a = s.addMaterial('p', {32, 24});
    int b = s.addMaterial('p', {32.75f, 24});
    s.prepare();
    s.sim->expressPowder();
    EXPECT_EQ(s.d.velocity[a], float2(0, 0));
    EXPECT_EQ(s.d.velocity[b], float2(0, 0));
}

TEST(ExpressPowder, BurningGrainsExplodeAndBurnOut)
{
    FlowScene cold;
    int ca = cold.addMaterial('p', {32, 24});
    cold.addMaterial('p', {32.5f, 24});
    cold.prepare();
    cold.sim->expressPowder();

    FlowScene hot;
    int ha = hot.addMaterial('p', {32, 24});
    int hb = hot.addMaterial('p', {32.5f, 24});
    hot.d.info[ha] |= Attribute::hot;
    hot.d.info[hb] |= Attribute::hot;
    hot.d.powderExtinguishProbability = 1;
    hot.prepare();
    int expectedSeed = hot.seedAfter(2);
    hot.sim->expressPowder();
    EXPECT_LT(hot.d.velocity[ha].x, cold.d.velocity[ca].x - 0.5f) << "the explosion term adds to the push";
    EXPECT_TRUE(hot.d.info[ha] & zombie);
    EXPECT_TRUE(hot.d.info[hb] & zombie);
    EXPECT_TRUE(hot.sim->context.gcRequested);
    EXPECT_EQ(hot.d.randSeed, expectedSeed) << "one draw per burning grain";
}

// --- light and dense ----------------------------------------------------------

TEST(ExpressLight, LightRisesAndPushesTheOtherDown)
{
    FlowScene s;
    int light = s.addMaterial('l', {32, 24});
    int water = s.addMaterial('q', {32.5f, 24});
    s.prepare();
    s.sim->expressLight();
    EXPECT_GT(s.d.velocity[light].y, 0);
    EXPECT_LT(s.d.velocity[water].y, 0);
    EXPECT_FLOAT_EQ(s.d.velocity[light].y, -s.d.velocity[water].y);
}

TEST(ExpressLight, TwoLightParticlesOrNoGravityExchangeNothing)
{
    FlowScene pair;
    int a = pair.addMaterial('l', {32, 24});
    int b = pair.addMaterial('l', {32.5f, 24});
    pair.prepare();
    pair.sim->expressLight();
    EXPECT_EQ(pair.d.velocity[a], float2(0, 0));
    EXPECT_EQ(pair.d.velocity[b], float2(0, 0));

    FlowScene weightless;
    int l = weightless.addMaterial('l', {32, 24});
    weightless.addMaterial('q', {32.5f, 24});
    weightless.d.gravityFlag = false;
    weightless.prepare();
    weightless.sim->expressLight();
    EXPECT_EQ(weightless.d.velocity[l], float2(0, 0));
}

TEST(ExpressDense, DenseSinksWhicheverSideOfThePairItIs)
{
    for (bool denseFirst : {true, false}) {
        FlowScene s;
        int dense = denseFirst ? s.addMaterial('d', {32, 24}) : -1;
        int water = s.addMaterial('q', {32.5f, 24});
        if (!denseFirst)
            dense = s.addMaterial('d', {33, 24});
        s.prepare();
        s.sim->expressDense();
        EXPECT_LT(s.d.velocity[dense].y, 0);
        EXPECT_GT(s.d.velocity[water].y, 0);
    }
}

// --- jet ----------------------------------------------------------------------

TEST(ExpressJet, BlowsNeighboursAwayWithoutMovingItself)
{
    FlowScene s;
    int jet = s.addMaterial('j', {32, 24});
    int left = s.addMaterial('q', {31.5f, 24});
    int right = s.addMaterial('q', {32.5f, 24});
    s.prepare();
    int seed = s.d.randSeed;
    s.sim->expressJet();
    EXPECT_EQ(s.d.velocity[jet], float2(0, 0));
    EXPECT_LT(s.d.velocity[left].x, 0);
    EXPECT_GT(s.d.velocity[right].x, 0);
    EXPECT_EQ(s.d.randSeed, seed) << "a cold jet draws nothing";
    EXPECT_EQ(s.d.fireEffect->count, 0);
}

TEST(ExpressJet, HotJetEmitsItsExhaustAsFire)
{
    FlowScene s;
    int jet = s.addMaterial('j', {32, 24});
    s.addMaterial('q', {32.5f, 24});
    s.d.info[jet] |= hot;
    s.d.fireProbability = 1;
    s.prepare();
    s.sim->expressJet();
    ASSERT_EQ(s.d.fireEffect->count, 1);
    EXPECT_EQ(s.d.fireEffect->position[0], s.d.position[jet]);
    EXPECT_LT(s.d.fireEffect->velocity[0].x, 0) << "the exhaust points away from what the jet blows";
    EXPECT_EQ(s.d.fireEffect->velocity[0], s.d.delta[jet]);

    // With fire switched off a hot jet still draws, but shows nothing.
    FlowScene off;
    int j2 = off.addMaterial('j', {32, 24});
    off.d.info[j2] |= hot;
    off.d.fireProbability = 1;
    off.d.fireFlag = false;
    off.prepare();
    int expectedSeed = off.seedAfter(1);
    off.sim->expressJet();
    EXPECT_EQ(off.d.fireEffect->count, 0);
    EXPECT_EQ(off.d.randSeed, expectedSeed);
}

// --- water --------------------------------------------------------------------

TEST(ExpressAqua, DenseWaterDrawsNothing)
{
    FlowScene s;
    int w = s.addMaterial('q', {32, 24});
    s.prepare();
    s.d.splashProbability = 1;
    s.d.splashFlag = true;
    for (float rho : {0.9f * s.d.standardDensity, s.d.standardDensity}) {
        s.d.density[w] = rho;
        int seed = s.d.randSeed;
        s.sim->expressAqua();
        EXPECT_EQ(s.d.randSeed, seed);
        EXPECT_FALSE(s.d.info[w] & aerated);
    }
    EXPECT_EQ(s.d.splashEffect->count, 0);
}

TEST(ExpressAqua, GentleSprayIsAeratedWithoutASplash)
{
    FlowScene s;
    int w = s.addMaterial('q', {32, 24});
    s.d.velocity[w] = {0.01f, 0.01f}; // a short hop: flight time 20 < 50 steps
    s.d.splashFlag = true;
    s.d.splashProbability = 1;
    s.prepare();
    int expectedSeed = s.seedAfter(1);
    s.sim->expressAqua();
    EXPECT_TRUE(s.d.info[w] & aerated);
    EXPECT_EQ(s.d.splashEffect->count, 0);
    EXPECT_EQ(s.d.randSeed, expectedSeed);
}

TEST(ExpressAqua, HighThrowMakesASplashDrop)
{
    FlowScene s;
    int w = s.addMaterial('q', {32, 24});
    s.d.velocity[w] = {0.02f, 0.1f}; // flight time 200 steps at the default gravity
    s.d.splashFlag = true;
    s.d.splashProbability = 1;
    s.prepare();
    s.sim->expressAqua();
    ASSERT_EQ(s.d.splashEffect->count, 1);
    EXPECT_EQ(s.d.splashEffect->position[0], float2(32, 24));
    EXPECT_EQ(s.d.splashEffect->velocity[0], float2(0.02f, 0.1f));
    float2 g = s.sim->gravity();
    float2 v = {0.02f, 0.1f};
    float flight = -2 * dot(v, g) / dot(g, g) - s.d.splashMinLife;
    EXPECT_FLOAT_EQ(s.d.splashEffect->life[0], 1 + flight * s.d.splashExpansion);
    EXPECT_GT(s.d.splashEffect->life[0], 1.0f);
}

TEST(ExpressAqua, NoSplashWithoutGravityOrWithSplashesOff)
{
    for (bool gravityOn : {false, true}) {
        FlowScene s;
        int w = s.addMaterial('q', {32, 24});
        s.d.velocity[w] = {0, 0.5f};
        s.d.gravityFlag = gravityOn;
        s.d.splashFlag = !gravityOn; // the one without gravity has splashes on
        s.d.splashProbability = 1;
        s.prepare();
        s.sim->expressAqua();
        EXPECT_TRUE(s.d.info[w] & aerated);
        EXPECT_EQ(s.d.splashEffect->count, 0);
    }
}

TEST(ExpressAqua, SprayFallingBackMakesABubbleFromTwoFurtherDraws)
{
    FlowScene s;
    int w = s.addMaterial('q', {32, 24});
    s.d.info[w] |= aerated;
    s.d.bubbleFlag = true;
    s.d.bubbleProbability = 1;
    s.prepare();
    s.d.density[w] = 1.5f * s.d.standardDensity;
    float expectedLife = s.peek(1);
    expectedLife += s.peek(2);
    int expectedSeed = s.seedAfter(3);
    s.sim->expressAqua();
    EXPECT_FALSE(s.d.info[w] & aerated);
    ASSERT_EQ(s.d.bubbleEffect->count, 1);
    EXPECT_EQ(s.d.bubbleEffect->life[0], expectedLife);
    EXPECT_EQ(s.d.bubbleEffect->position[0], float2(32, 24));
    EXPECT_EQ(s.d.bubbleEffect->velocity[0], float2(0, 0));
    EXPECT_EQ(s.d.randSeed, expectedSeed);
}

TEST(ExpressAqua, LandingWithBubblesOffDrawsNothing)
{
    FlowScene s;
    int w = s.addMaterial('q', {32, 24});
    s.d.info[w] |= aerated;
    s.prepare();
    s.d.density[w] = 2;
    int seed = s.d.randSeed;
    s.sim->expressAqua();
    EXPECT_FALSE(s.d.info[w] & aerated);
    EXPECT_EQ(s.d.randSeed, seed);
}

// --- fuel ---------------------------------------------------------------------

TEST(ExpressFuel, BurningFuelDrawsTwiceAndShedsFlames)
{
    FlowScene s;
    int burning = s.addMaterial('@', {32, 24});
    s.addMaterial('f', {34, 24}); // unlit fuel draws nothing
    s.d.velocity[burning] = {0.1f, 0};
    s.d.fireProbability = 1;
    s.d.fuelExtinguishProbability = 1;
    s.prepare();
    int expectedSeed = s.seedAfter(2);
    s.sim->expressFuel();
    EXPECT_EQ(s.d.randSeed, expectedSeed);
    EXPECT_TRUE(s.d.info[burning] & zombie);
    EXPECT_TRUE(s.sim->context.gcRequested);
    ASSERT_EQ(s.d.fireEffect->count, 1);
    EXPECT_EQ(s.d.fireEffect->position[0], float2(32, 24));
    EXPECT_EQ(s.d.fireEffect->velocity[0], float2(0.1f, 0));
}

// --- heat and cold --------------------------------------------------------------

TEST(ExpressHot, WaterPutsOutFuelAndBoilsToSteam)
{
    FlowScene s;
    int water = s.addMaterial('q', {32, 24});
    int burning = s.addMaterial('@', {32.5f, 24});
    s.prepare();
    s.sim->expressHot();
    EXPECT_FALSE(s.d.info[burning] & hot);
    EXPECT_TRUE(s.d.info[water] & gaseous);
    EXPECT_TRUE(s.d.info[water] & light);
}

TEST(ExpressHot, SnowMeltsAndFuelAndPowderCatchFire)
{
    FlowScene s;
    // Each touches the heater and none touches another.
    int heater = s.addMaterial('h', {32, 24});
    int snow = s.addMaterial('y', {32.9f, 24});
    int fuel = s.addMaterial('f', {31.1f, 24});
    int powder = s.addMaterial('p', {32, 23.1f});
    s.d.fuelLightProbability = 1;
    s.d.powderLightProbability = 1;
    s.prepare();
    int expectedSeed = s.seedAfter(2);
    s.sim->expressHot();
    EXPECT_FALSE(s.d.info[snow] & yuki);
    EXPECT_TRUE(s.d.info[fuel] & hot);
    EXPECT_TRUE(s.d.info[powder] & hot);
    EXPECT_TRUE(s.d.info[heater] & hot);
    EXPECT_EQ(s.d.randSeed, expectedSeed) << "one draw for the fuel, one for the powder";
}

TEST(ExpressHot, FireRunsAlongFuelWithinOneStep)
{
    FlowScene s;
    // A row in which each touches only the next: the pairs come in list
    // order, so fuel lit by one pair lights the next pair's fuel at once.
    s.addMaterial('h', {32, 24});
    int last = 0;
    for (int i = 1; i <= 3; ++i)
        last = s.addMaterial('f', {32 + 0.9f * float(i), 24});
    s.d.fuelLightProbability = 1;
    s.prepare();
    s.sim->expressHot();
    EXPECT_TRUE(s.d.info[last] & hot);
}

TEST(ExpressHot, MeltsTheJointsOfWhatTouchesHeat)
{
    FlowScene s;
    int heater = s.addMaterial('h', {32, 24});
    int touching = s.addMaterial('e', {32.75f, 24});
    int beyond = s.addMaterial('e', {33.5f, 24});
    int farAway = s.addMaterial('e', {30.8f, 24}); // 1.2 from the heater: not a neighbour
    int p = s.addMaterial('e', {40, 24});
    int q = s.addMaterial('e', {40.75f, 24});
    s.d.joints.insert(jointOf(touching, beyond));
    s.d.joints.insert(jointOf(heater, farAway));
    s.d.joints.insert(jointOf(p, q));
    s.d.joints.insert(jointOf(heater, touching));
    s.prepare();
    s.sim->expressHot();
    ASSERT_EQ(s.d.joints.size(), 2u);
    EXPECT_EQ(s.d.joints.count(jointOf(heater, farAway)), 1u) << "the hot particle's own joint survives";
    EXPECT_EQ(s.d.joints.count(jointOf(p, q)), 1u);
}

TEST(ExpressHot, JointsNamingMissingParticlesAreLeftAlone)
{
    FlowScene s;
    s.addMaterial('h', {32, 24});
    int touching = s.addMaterial('e', {32.75f, 24});
    s.d.joints.insert(jointOf(touching, 5000));
    s.d.joints.insert(jointOf(-3, 0));
    s.prepare();
    s.sim->expressHot();
    EXPECT_EQ(s.d.joints.size(), 2u);
}

TEST(ExpressCold, SteamCondensesButGasStaysGas)
{
    FlowScene s;
    int steam = s.addMaterial('q', {32, 24});
    s.d.info[steam] |= gaseous | light;
    int cooler = s.addMaterial('c', {32.5f, 24});
    int gas = s.addMaterial('g', {33, 24});
    s.prepare();
    s.sim->expressCold();
    EXPECT_EQ(s.d.info[steam], aqua);
    EXPECT_EQ(s.d.info[gas], gaseous | light);
    EXPECT_EQ(s.d.info[cooler], cold | wall);
}

// --- inflow and outflow -----------------------------------------------------------

TEST(ExpressInflow, SurroundedSourceEmitsNothing)
{
    // Four neighbours on the lattice, plus one that tilts the free direction
    // towards the left neighbour: no direction points away from all of them.
    for (bool tilted : {false, true}) {
        FlowScene s;
        s.addMaterial('i', {32, 24});
        s.addMaterial('w', {31.25f, 24});
        s.addMaterial('w', {32.75f, 24});
        s.addMaterial('w', {32, 23.25f});
        s.addMaterial('w', {32, 24.75f});
        if (tilted)
            s.addMaterial('w', {32.5f, 24.5f});
        s.prepare();
        int before = s.d.count;
        s.sim->expressInflow();
        EXPECT_EQ(s.d.count, before);
    }
}

TEST(ExpressInflow, LoneSourceEmitsNothing)
{
    FlowScene s;
    s.addMaterial('i', {32, 24});
    s.prepare();
    s.sim->expressInflow();
    EXPECT_EQ(s.d.count, 1);
}

TEST(ExpressInflow, SourceAtAFreeSurfaceEmitsOneCopyOutward)
{
    FlowScene s;
    int source = s.addMaterial('i', {32, 24});
    s.addMaterial('q', {31.25f, 24});
    s.d.color[source] = Color{1, 2, 3, 4};
    s.d.info[source] |= users | rigid;
    s.prepare();
    s.sim->expressInflow();
    ASSERT_EQ(s.d.count, 3);
    int copy = 2;
    EXPECT_EQ(s.d.info[copy], aqua);
    EXPECT_FLOAT_EQ(s.d.position[copy].x, 32.75f);
    EXPECT_FLOAT_EQ(s.d.position[copy].y, 24);
    EXPECT_EQ(s.d.anchor[copy], float2(32, 24));
    EXPECT_EQ(s.d.velocity[copy], float2(0, 0));
    EXPECT_EQ(s.d.color[copy].red, 1);
    EXPECT_EQ(s.d.color[copy].alpha, 4);
    EXPECT_EQ(s.d.body[copy], 0);

    // Every step with a free direction emits again; the copy is no source.
    s.d.position[copy] = {40, 24};
    s.prepare();
    s.sim->expressInflow();
    EXPECT_EQ(s.d.count, 4);
}

TEST(ExpressInflow, ManySourcesGrowingTheArraysAllEmit)
{
    FlowScene s;
    for (int k = 0; k < 200; ++k)
        s.addMaterial('i', {2.0f + float(k % 20) * 2, 2.0f + float(k / 20) * 2});
    for (int k = 0; k < 200; ++k)
        s.addMaterial('q', {2.0f + float(k % 20) * 2 - 0.75f, 2.0f + float(k / 20) * 2});
    s.prepare();
    ASSERT_EQ(s.d.capacity, 512);
    s.sim->expressInflow();
    ASSERT_EQ(s.d.count, 600);
    for (int k = 0; k < 200; ++k)
        EXPECT_FLOAT_EQ(s.d.position[400 + k].x, s.d.position[k].x + 0.75f);
}

TEST(ExpressOutflow, SwallowsOnlyWhatSharesNoAttribute)
{
    FlowScene s;
    int drain = s.addMaterial('o', {32, 24});
    int water = s.addMaterial('q', {32.5f, 24});
    int wall = s.addMaterial('w', {31.5f, 24});
    int otherDrain = s.addMaterial('o', {32, 24.5f});
    s.prepare();
    s.sim->expressOutflow();
    EXPECT_TRUE(s.d.info[water] & zombie);
    EXPECT_FALSE(s.d.info[wall] & zombie) << "shares the wall attribute";
    EXPECT_FALSE(s.d.info[otherDrain] & zombie);
    EXPECT_FALSE(s.d.info[drain] & zombie);
    EXPECT_TRUE(s.sim->context.gcRequested);
}

TEST(ExpressOutflow, NothingTouchingLeavesNoGcRequest)
{
    FlowScene s;
    s.addMaterial('o', {32, 24});
    s.addMaterial('q', {40, 24});
    s.prepare();
    s.sim->expressOutflow();
    EXPECT_FALSE(s.sim->context.gcRequested);
}

// --- the steered character ------------------------------------------------------

TEST(ExpressUsers, WithoutGravityNeverGroundedAndOnlyRuns)
{
    FlowScene s;
    int u = s.addMaterial('u', {32, 0.9f}); // in the floor's reach
    s.addMaterial('w', {32, 0.2f});        // and on a wall
    s.d.gravityFlag = false;
    s.d.usersX = 1;
    s.d.usersY = 1; // "up" has no meaning without gravity
    s.d.usersCharge = 3;
    s.prepare();
    ASSERT_EQ(s.d.boundNormal[u], float2(0, 1)) << "the floor is in reach";
    s.sim->expressUsers();
    EXPECT_EQ(s.d.usersCharge, 2) << "not grounded: the charge runs down";
    // Only the horizontal gain acts: |in|^2 x usersForceX towards run.
    float h = 2 * s.d.usersForceX;
    EXPECT_FLOAT_EQ(s.d.velocity[u].x, h * s.d.usersSpeedX);
    EXPECT_FLOAT_EQ(s.d.velocity[u].y, h * s.d.usersSpeedX);
}

TEST(ExpressUsers, ChargeFromAFileAtTheSmallestIntRunsDownToZero)
{
    FlowScene s;
    s.addMaterial('u', {32, 24});
    s.d.gravityFlag = false;
    s.d.usersCharge = std::numeric_limits<int>::min();
    s.prepare();
    s.sim->expressUsers();
    EXPECT_EQ(s.d.usersCharge, 0);
}

TEST(ExpressUsers, GroundedOnAWallRechargesAndJumpsWhileCharged)
{
    FlowScene s;
    int u = s.addMaterial('u', {32, 24.75f});
    s.addMaterial('w', {32, 24});
    s.d.usersCharge = 0;
    s.prepare();
    s.sim->expressUsers();
    EXPECT_EQ(s.d.usersCharge, s.d.usersMaxCharge);

    // Holding up while grounded keeps the charge and pushes up.
    s.d.usersY = 1;
    s.d.usersCharge = 7;
    s.d.velocity[u] = {0, 0};
    s.sim->expressUsers();
    EXPECT_EQ(s.d.usersCharge, 7);
    EXPECT_GT(s.d.velocity[u].y, 0.0f);
    EXPECT_NEAR(s.d.velocity[u].y, s.d.usersForceY * s.d.usersSpeedY, 1e-6f);
}

TEST(ExpressUsers, AirborneJumpLastsOnlyWhileChargeRemains)
{
    FlowScene s;
    int u = s.addMaterial('u', {32, 24});
    s.d.usersY = 1;
    s.d.usersCharge = 1;
    s.prepare();
    s.sim->expressUsers();
    EXPECT_EQ(s.d.usersCharge, 0);
    EXPECT_FLOAT_EQ(s.d.velocity[u].y, 0) << "the charge ran out this step: no jump force";
    s.d.usersCharge = 2;
    s.d.velocity[u] = {0, 0};
    s.sim->expressUsers();
    EXPECT_EQ(s.d.usersCharge, 1);
    EXPECT_GT(s.d.velocity[u].y, 0.0f);
}

TEST(ExpressUsers, WallPlatformMovesItsAnchorAndTexture)
{
    FlowScene s;
    int platform = s.addMaterial('w', {32, 24});
    s.d.info[platform] |= users;
    s.d.bodies[0].textureMin = {1, 1};
    s.d.bodies[0].textureMax = {2, 2};
    s.d.usersX = -1;
    s.prepare();
    s.sim->expressUsers();
    float run = -s.d.usersSpeedX;
    EXPECT_FLOAT_EQ(s.d.anchor[platform].x, 32 + run);
    EXPECT_EQ(s.d.velocity[platform], float2(0, 0));
    EXPECT_FLOAT_EQ(s.d.bodies[0].textureMin.x, 1 + run);
    EXPECT_FLOAT_EQ(s.d.bodies[0].textureMax.x, 2 + run);
}

TEST(FlowPasses, AbsentAttributesLeaveTheSceneAlone)
{
    FlowScene s;
    int w = s.addMaterial('w', {32, 24});
    s.addMaterial('w', {32.5f, 24});
    s.prepare();
    s.d.usersX = 1;
    s.d.fireProbability = 1;
    int seed = s.d.randSeed;
    s.sim->expressPowder();
    s.sim->expressLight();
    s.sim->expressDense();
    s.sim->expressJet();
    s.sim->expressAqua();
    s.sim->expressFuel();
    s.sim->expressHot();
    s.sim->expressCold();
    s.sim->expressInflow();
    s.sim->expressOutflow();
    s.sim->expressUsers();
    EXPECT_EQ(s.d.randSeed, seed);
    EXPECT_EQ(s.d.count, 2);
    EXPECT_EQ(s.d.velocity[w], float2(0, 0));
    EXPECT_EQ(s.d.info[w], novel | wall);
    EXPECT_FALSE(s.sim->context.gcRequested);
}

TEST(FlowPasses, FullEffectPoolTakesNoMoreButTheDrawsStay)
{
    FlowScene s;
    int burning = s.addMaterial('@', {32, 24});
    s.d.fireProbability = 1;
    ParticleEffect& fire = *s.d.fireEffect;
    fire.setCapacity(kMaxEffectCount);
    fire.count = kMaxEffectCount;
    s.prepare();
    int expectedSeed = s.seedAfter(2);
    s.sim->expressFuel();
    EXPECT_EQ(fire.count, kMaxEffectCount);
    EXPECT_EQ(fire.capacity, kMaxEffectCount);
    EXPECT_EQ(s.d.randSeed, expectedSeed);

    fire.count = kMaxEffectCount - 1;
    s.sim->expressFuel();
    EXPECT_EQ(fire.count, kMaxEffectCount);
    EXPECT_EQ(fire.position[kMaxEffectCount - 1], s.d.position[burning]);
}

// --- through whole steps ------------------------------------------------------------

TEST(FlowStep, DrainedWaterIsGoneAtTheEndOfTheStep)
{
    FlowScene s;
    s.addMaterial('o', {32, 24});
    s.addMaterial('q', {32.6f, 24});
    s.addMaterial('q', {40, 24});
    s.sim->simulate();
    ASSERT_EQ(s.d.count, 2);
    EXPECT_EQ(s.d.info[0], outflow | wall);
    EXPECT_EQ(s.d.info[1], aqua);
    EXPECT_FALSE(s.sim->context.gcRequested);
}

TEST(FlowStep, FlamesFromBurningFuelRiseInTheStepTheyAppear)
{
    FlowScene s;
    s.addMaterial('@', {32, 24});
    s.d.fireProbability = 1;
    s.d.fuelExtinguishProbability = 0;
    s.sim->simulate();
    ASSERT_EQ(s.d.fireEffect->count, 1);
    EXPECT_GT(s.d.fireEffect->position[0].y, s.d.position[0].y);
    EXPECT_FLOAT_EQ(s.d.fireEffect->life[0], 1 - 1 / s.d.fireLife);
}
