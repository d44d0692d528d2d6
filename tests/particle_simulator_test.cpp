#include "particle_simulator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "mixed_scene.h"
#include "simulator_scene.h"

using namespace Zeb::Kamblo;

using Stepper = PudletTest::SimulatorScene;

TEST(ParticleSimulator, PauseChangesNothing)
{
    Stepper s;
    s.addMaterial('q', {10, 10}, {0.1f, 0});
    s.data->pauseFlag = true;
    s.sim->simulate();
    EXPECT_EQ(s.data->timeStep, 0);
    EXPECT_EQ(s.data->time, 0);
    EXPECT_EQ(s.data->position[0], float2(10, 10));
}

TEST(ParticleSimulator, EmptyStepAdvancesTime)
{
    Stepper s;
    s.sim->simulate();
    EXPECT_EQ(s.data->timeStep, 1);
    EXPECT_FLOAT_EQ(s.data->time, 1.0f / 200);
}

TEST(ParticleSimulator, TimeStepWrapsAtTheIntegerLimit)
{
    Stepper s;
    s.data->timeStep = std::numeric_limits<int>::max();
    s.sim->simulate();
    EXPECT_EQ(s.data->timeStep, std::numeric_limits<int>::min());
}

TEST(ParticleSimulator, ZeroStepsPerSecondDoesNotTrap)
{
    Stepper s;
    s.data->timeStepsPerFrame = 0;
    s.sim->simulate();
    EXPECT_TRUE(std::isinf(s.data->time));
    s.data->time = 0;
    s.data->timeStepsPerFrame = 1 << 20;
    s.data->framesPerSecond = 1 << 20; // the product wraps to zero
    s.sim->simulate();
    EXPECT_EQ(s.data->timeStep, 2);
}

TEST(ParticleSimulator, FrandFromSeedZero)
{
    Stepper s;
    float r = s.sim->frand();
    EXPECT_EQ(s.data->randSeed, 12345);
    EXPECT_EQ(r, 12345 * 4.656613e-10f);
    s.sim->frand();
    EXPECT_EQ(s.data->randSeed, int32_t(12345u * 1103515245u + 12345u));
    for (int i = 0; i < 1000; ++i) {
        float x = s.sim->frand();
        EXPECT_GE(x, 0);
        EXPECT_LE(x, 1);
    }
}

TEST(ParticleSimulator, GravityDirection)
{
    Stepper s;
    float2 g = s.sim->gravity();
    EXPECT_NEAR(g.x, 0, 1e-10);
    EXPECT_FLOAT_EQ(g.y, -0.001f);
    s.data->gravityAngle = 1.5707964f;
    float2 n = s.sim->gravityNormal();
    EXPECT_FLOAT_EQ(n.x, 1);
    EXPECT_NEAR(n.y, 0, 1e-7);
    s.data->gravityFlag = false;
    EXPECT_EQ(s.sim->gravity(), float2(0, 0));
    EXPECT_EQ(s.sim->gravityNormal(), float2(0, 0));
}

TEST(ParticleSimulator, WallsAndGasIgnoreGravity)
{
    Stepper s;
    int water = s.addMaterial('q', {10, 10});
    int wall = s.addMaterial('w', {20, 10});
    int gas = s.addMaterial('g', {30, 10});
    s.sim->addUpInfo();
    s.sim->gravitateParticles();
    EXPECT_FLOAT_EQ(s.data->velocity[water].y, -0.001f);
    EXPECT_EQ(s.data->velocity[wall], float2(0, 0));
    EXPECT_EQ(s.data->velocity[gas], float2(0, 0));
}

TEST(ParticleSimulator, SpeedIsClampedToMaxSpeed)
{
    Stepper s;
    int slow = s.addMaterial('q', {10, 10}, {0.3f, 0.4f});
    int fast = s.addMaterial('q', {20, 10}, {3, 4});
    // Half a percent either side of the limit: kept as it is, or scaled back to the limit.
    int under = s.addMaterial('q', {30, 10}, {0.2985f, 0.398f});
    int over = s.addMaterial('q', {40, 10}, {0.3015f, 0.402f});
    s.sim->moveParticles();
    EXPECT_EQ(s.data->velocity[slow], float2(0.3f, 0.4f));
    EXPECT_EQ(s.data->velocity[under], float2(0.2985f, 0.398f));
    for (int p : {fast, over}) {
        EXPECT_FLOAT_EQ(s.data->velocity[p].x, 0.3f);
        EXPECT_FLOAT_EQ(s.data->velocity[p].y, 0.4f);
    }
    EXPECT_FLOAT_EQ(s.data->position[over].x, 40.3f);
    EXPECT_FALSE(s.sim->context.gcRequested);
}

TEST(ParticleSimulator, NotANumberVelocityIsRemovedAtTheEndOfTheStep)
{
    Stepper s;
    s.data->gravityFlag = false;
    s.addMaterial('q', {10, 10}, {std::numeric_limits<float>::quiet_NaN(), 0});
    int keep = s.addMaterial('q', {20, 10}, {0.01f, 0});
    s.data->layer[keep] = 7;
    s.sim->simulate();
    ASSERT_EQ(s.data->count, 1);
    EXPECT_EQ(s.data->layer[0], 7);
    EXPECT_FALSE(s.sim->context.gcRequested);
}

TEST(ParticleSimulator, ZeroMaxSpeedRemovesEveryParticleWithinTwoSteps)
{
    Stepper s;
    s.data->maxSpeed = 0;
    s.data->gravityFlag = false; // gravity would set a stopped particle moving again
    s.addMaterial('q', {10, 10}, {0.1f, 0});
    s.addMaterial('q', {20, 10});
    s.sim->simulate();
    EXPECT_EQ(s.data->count, 1);
    s.sim->simulate();
    EXPECT_EQ(s.data->count, 0);
}

TEST(ParticleSimulator, JoiningMakesOneJointOnce)
{
    Stepper s;
    s.data->gravityFlag = false;
    s.addMaterial('e', {10, 10});
    s.addMaterial('e', {10.75f, 10});
    s.addMaterial('q', {10, 10.75f}); // water never joins
    s.sim->simulate();
    ASSERT_EQ(s.data->joints.size(), 1u);
    const ParticleJoint& j = *s.data->joints.begin();
    EXPECT_EQ(j.a, 0);
    EXPECT_EQ(j.b, 1);
    EXPECT_NEAR(j.length, 0.75f, 1e-3);
    EXPECT_FLOAT_EQ(j.strength, 1 - j.length);
    for (int i = 0; i < s.data->count; ++i)
        EXPECT_FALSE(s.data->info[i] & Attribute::novel);
    s.sim->simulate();
    EXPECT_EQ(s.data->joints.size(), 1u);

    // A third elastic particle painted later joins its neighbours, leaving the first joint alone.
    ParticleJoint first = *s.data->joints.begin();
    s.addMaterial('e', {10.375f, 10.65f});
    s.sim->simulate();
    EXPECT_EQ(s.data->joints.size(), 3u);
    EXPECT_EQ(s.data->joints.begin()->length, first.length);
}

// A neighbour list that pairs a particle with itself (seen from the search
// with bounds near the float limit) must not make a self-joint.
TEST(ParticleSimulator, JoiningSkipsAParticlePairedWithItself)
{
    Stepper s;
    s.addMaterial('e', {10, 10});
    s.addMaterial('e', {10.75f, 10});
    ParticleData& d = *s.data;
    d.neighbors = {ParticleNeighbor{1, 1, 1, {0, 0}}, ParticleNeighbor{0, 1, 0.25f, {1, 0}}};
    s.sim->addUpInfo();
    s.sim->joinParticles();
    ASSERT_EQ(d.joints.size(), 1u);
    EXPECT_EQ(d.joints.begin()->a, 0);
    EXPECT_EQ(d.joints.begin()->b, 1);
}

TEST(ParticleSimulator, DampingSlowsApproachingPairsOnly)
{
    Stepper s;
    int a = s.addMaterial('q', {10, 10}, {0.1f, 0});
    int b = s.addMaterial('q', {10.75f, 10}, {-0.1f, 0});
    int c = s.addMaterial('q', {20, 10}, {-0.1f, 0});
    int d = s.addMaterial('q', {20.75f, 10}, {0.1f, 0});
    s.data->searchParticleNeighbors();
    s.sim->collideParticles();
    // Closing speed 0.2 loses about a tenth.
    float closing = s.data->velocity[a].x - s.data->velocity[b].x;
    EXPECT_NEAR(closing, 0.2f * (1 - 2 * 0.05f * 0.9991674f * 0.9991674f), 1e-6);
    EXPECT_FLOAT_EQ(s.data->velocity[a].x, -s.data->velocity[b].x);
    EXPECT_EQ(s.data->velocity[c].x, -0.1f);
    EXPECT_EQ(s.data->velocity[d].x, 0.1f);
}

TEST(ParticleSimulator, ResistanceSlowsSparseParticles)
{
    Stepper s;
    s.data->resistanceFlag = true;
    int p = s.addMaterial('q', {10, 10}, {0.2f, 0});
    s.data->angularVelocity[p] = 0.1f;
    s.data->density[p] = 0;
    s.sim->resistParticles();
    EXPECT_FLOAT_EQ(s.data->velocity[p].x, 0.2f * 0.98f);
    EXPECT_FLOAT_EQ(s.data->angularVelocity[p], 0.1f * 0.98f);
    s.data->density[p] = 2;
    s.sim->resistParticles();
    EXPECT_FLOAT_EQ(s.data->velocity[p].x, 0.2f * 0.98f);
}

TEST(ParticleSimulator, PourTiming)
{
    Stepper s;
    s.data->pouringFlag = true;
    s.data->gravityFlag = false;
    std::vector<int> rowSteps;
    int last = 0;
    for (int step = 1; step <= 40; ++step) {
        s.sim->pourParticles();
        if (s.data->count != last) {
            EXPECT_EQ(s.data->count - last, 6);
            rowSteps.push_back(step);
            last = s.data->count;
        }
    }
    ASSERT_GE(rowSteps.size(), 4u);
    EXPECT_EQ(rowSteps[0], 9);
    for (size_t i = 1; i < rowSteps.size(); ++i) {
        int gap = rowSteps[i] - rowSteps[i - 1];
        EXPECT_TRUE(gap == 7 || gap == 8) << gap;
    }
    const float xs[] = {8, 8.75f, 9.5f, 10.25f, 11, 11.75f};
    for (int i = 0; i < 6; ++i) {
        EXPECT_FLOAT_EQ(s.data->position[i].x, xs[i]);
        EXPECT_EQ(s.data->position[i].y, 47);
        EXPECT_EQ(s.data->velocity[i], float2(0, -0.1f));
        EXPECT_EQ(s.data->info[i], Attribute::aqua);
        EXPECT_EQ(s.data->layer[i], 255);
    }
}

TEST(ParticleSimulator, PourDropsWallAndRigidAndRainSpreadsAcrossTheWidth)
{
    Stepper s;
    s.data->pouringFlag = true;
    s.data->pouringRainFlag = true;
    s.data->pouringMaterial = 'j'; // jet, novel, rigid
    s.data->pouringTimer = 100;
    s.sim->pourParticles();
    ASSERT_EQ(s.data->count, 6);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(s.data->info[i], Attribute::jet | Attribute::novel);
        EXPECT_GE(s.data->position[i].x, 1);
        EXPECT_LE(s.data->position[i].x, 63);
    }
    EXPECT_NE(s.data->randSeed, 0);
}

TEST(ParticleSimulator, PourWithADegenerateSpacingEmitsABoundedRow)
{
    for (float spacing : {0.0f, -1.0f, std::nanf(""), 1e-30f}) {
        Stepper s;
        s.data->pouringFlag = true;
        s.data->standardDistance = spacing;
        s.data->pouringTimer = 1000;
        for (int i = 0; i < 3; ++i)
            s.sim->pourParticles();
        EXPECT_LE(s.data->count, 3 * kMaxPouringRow) << spacing;
        if (!(spacing > 0)) {
            EXPECT_EQ(s.data->count, 0) << spacing;
        }
    }
}

TEST(ParticleSimulator, ZeroPourVelocityNeverEmits)
{
    Stepper s;
    s.data->pouringFlag = true;
    s.data->pouringVelocity = 0;
    for (int i = 0; i < 50; ++i)
        s.sim->pourParticles();
    EXPECT_EQ(s.data->count, 0);
}

TEST(ParticleSimulator, DrainRemovesParticlesOnOrOutsideTheBounds)
{
    Stepper s;
    s.data->boundsFlag = false;
    s.data->gravityFlag = false;
    s.addMaterial('q', {0, 10});       // exactly on boundsLeft
    s.addMaterial('q', {32, 24});      // inside
    s.addMaterial('q', {64, 10});      // on boundsRight
    s.addMaterial('q', {32, -3});      // below
    s.addMaterial('q', {32, 47.999f}); // inside
    s.sim->simulate();
    ASSERT_EQ(s.data->count, 2);
    EXPECT_FLOAT_EQ(s.data->position[0].y, 24);
    EXPECT_FLOAT_EQ(s.data->position[1].y, 47.999f);
}

TEST(ParticleSimulator, PresentInfoIsTheUnionOfAttributes)
{
    Stepper s;
    s.sim->addUpInfo();
    EXPECT_EQ(s.sim->context.presentInfo, 0u);
    s.addMaterial('q', {1, 1});
    s.addMaterial('h', {2, 2});
    s.sim->addUpInfo();
    EXPECT_EQ(s.sim->context.presentInfo, Attribute::aqua | Attribute::hot | Attribute::wall);
}

namespace {

template <class T>
bool sameBits(const T* a, const T* b, int n)
{
    return std::memcmp(a, b, sizeof(T) * size_t(n)) == 0;
}

} // namespace

// Density, pressure and damping walk the pair list in sweep order when the
// last search's frame still holds, and in particle numbers otherwise; with the
// frame they may split it between threads. All must give the same bits, with
// walls, powder and every other material mixed.
TEST(ParticleSimulator, PairPassesGiveTheSameBitsWithOrWithoutTheSweepFrame)
{
    Stepper warm;
    PudletTest::fillEveryMaterial(warm.data);
    for (int i = 0; i < 30; ++i)
        warm.sim->simulate();

    Stepper framed, plain, split;
    split.sim->context.setThreads(3);
    split.sim->context.particlesPerTask = 100;
    split.sim->context.yieldsToLoad = false;
    for (Stepper* s : {&framed, &plain, &split}) {
        s->data->copy(warm.data);
        s->sim->searchBoundParticles();
    }
    framed.sim->context.setThreads(1);
    framed.sim->context.searchNeighbors(*framed.data);
    split.sim->context.searchNeighbors(*split.data);
    plain.data->searchParticleNeighbors(); // a list made outside the step
    ASSERT_GT(plain.data->neighbors.size(), 1000u);
    ASSERT_TRUE(framed.sim->context.searchedFrame(*framed.data));
    ASSERT_FALSE(plain.sim->context.searchedFrame(*plain.data));
    for (Stepper* s : {&framed, &plain, &split}) {
        s->sim->updateParticleDensity();
        s->sim->applyPressure();
        s->sim->searchBoundParticles();
        s->sim->collideParticles();
    }
    for (Stepper* other : {&plain, &split}) {
    const ParticleData& a = *framed.data;
    const ParticleData& b = *other->data;
    ASSERT_EQ(a.count, b.count);
    EXPECT_TRUE(sameBits(a.density, b.density, a.count));
    EXPECT_TRUE(sameBits(a.pressure, b.pressure, a.count));
    EXPECT_TRUE(sameBits(a.delta, b.delta, a.count));
    EXPECT_TRUE(sameBits(a.position, b.position, a.count));
    EXPECT_TRUE(sameBits(a.velocity, b.velocity, a.count));
    ASSERT_EQ(a.neighbors.size(), b.neighbors.size());
    EXPECT_TRUE(sameBits(a.neighbors.data(), b.neighbors.data(), int(a.neighbors.size())));
    }
}

// Damping works on several records at once; it must give exactly what taking
// the records one at a time gives: each record refreshed from the positions
// (zeroed when the pair moved apart), approaching pairs slowed, and the
// impulses added in record order. Lists of every length modulo four, in sweep
// order and in particle numbers, with pairs pulled apart and a velocity that
// is not a number.
TEST(ParticleSimulator, DampingMatchesTheRuleAppliedOneRecordAtATime)
{
    Stepper warm;
    PudletTest::fillEveryMaterial(warm.data);
    for (int i = 0; i < 30; ++i)
        warm.sim->simulate();
    warm.data->searchParticleNeighbors();
    ParticleData& w = *warm.data;
    for (int i = 0; i < w.count; i += 7)
        w.position[i].x += 0.4f; // some pairs now farther apart than 1
    for (int i = 0; i < w.count; i += 5)
        w.velocity[i] = {-w.velocity[i].y, w.velocity[i].x};
    w.velocity[w.count / 2].x = std::numeric_limits<float>::quiet_NaN();

    for (size_t trim = 0; trim < 5; ++trim) {
        SCOPED_TRACE(trim);
        Stepper s;
        s.data->copy(warm.data);
        // The last round splits the untrimmed list between threads.
        s.sim->context.setThreads(trim == 4 ? 3 : 1);
        s.sim->context.particlesPerTask = 100;
        s.sim->context.yieldsToLoad = false;
        s.sim->context.searchNeighbors(*s.data);
        size_t cut = trim == 4 ? 0 : trim;
        for (int i = 0; i < w.count; ++i)
            s.data->position[i] = w.position[i];
        s.data->neighbors.resize(s.data->neighbors.size() - cut); // trimmed lists take particle numbers
        ParticleData& d = *s.data;
        ASSERT_GT(d.neighbors.size(), 1000u);

        std::vector<ParticleNeighbor> records = d.neighbors;
        std::vector<float2> delta(size_t(d.count));
        float c = d.dampingCoefficient;
        for (ParticleNeighbor& r : records) {
            if (!neighborKernel(d.position[r.b] - d.position[r.a], r.weight, r.direction)) {
                r.weight = 0;
                r.direction = {0, 0};
            }
            float k = dot(d.velocity[r.b] - d.velocity[r.a], r.direction);
            if (k < 0) {
                float2 j = r.direction * (c * k);
                delta[size_t(r.a)] += j;
                delta[size_t(r.b)] -= j;
            }
        }
        std::vector<float2> velocity(d.velocity, d.velocity + d.count);
        for (int i = 0; i < d.count; ++i)
            velocity[size_t(i)] += delta[size_t(i)];

        s.sim->collideParticles();
        ASSERT_EQ(d.neighbors.size(), records.size());
        EXPECT_TRUE(sameBits(d.neighbors.data(), records.data(), int(records.size())));
        EXPECT_TRUE(sameBits(d.delta, delta.data(), d.count));
        EXPECT_TRUE(sameBits(d.velocity, velocity.data(), d.count));
    }
}
