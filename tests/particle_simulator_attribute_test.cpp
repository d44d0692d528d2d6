#include "particle_simulator.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "cg_math_ext.h"
#include "simulator_scene.h"

using namespace Zeb::Kamblo;
using namespace Zeb::Kamblo::Attribute;

namespace {

struct Bench : PudletTest::SimulatorScene {
    // A joint as the join pass would make it from the current positions.
    void join(int a, int b)
    {
        ParticleData& d = *data;
        ParticleJoint j;
        j.info = d.info[a] | d.info[b];
        j.a = a < b ? a : b;
        j.b = a < b ? b : a;
        j.offset = d.position[j.b] - d.position[j.a];
        j.length = length(j.offset);
        j.strength = std::max(1.0f - j.length, 0.0f);
        j.angleA = d.angle[j.a];
        j.angleB = d.angle[j.b];
        d.joints.insert(j);
    }

    // Neighbours and present attributes as the step has them before the material passes.
    void prepare()
    {
        data->searchParticleNeighbors();
        sim->addUpInfo();
    }

    float distance(int a, int b) const { return Zeb::Kamblo::distance(data->position[a], data->position[b]); }
};

} // namespace

TEST(MaterialPasses, AbsentAttributeOrZeroIterationsTouchNothing)
{
    Bench s;
    // Joints of every kind, stretched, but no particle carries the attributes.
    int a = s.add(0, {10, 10});
    int b = s.add(0, {10.5f, 10});
    s.add(0, {10.2f, 10.4f});
    ParticleJoint j;
    j.info = spring | elastic | kome | brittle;
    j.a = a;
    j.b = b;
    j.length = 0.1f;
    j.strength = 0.9f;
    j.offset = {0.1f, 0};
    s.data->joints.insert(j);
    s.prepare();
    for (int i = 0; i < s.data->count; ++i)
        s.data->delta[i] = {7, 7};
    s.sim->expressAttributes();
    for (int i = 0; i < s.data->count; ++i) {
        EXPECT_EQ(s.data->delta[i], float2(7, 7));
        EXPECT_EQ(s.data->position[i], s.data->anchor[i]);
        EXPECT_EQ(s.data->velocity[i], float2(0, 0));
    }
    EXPECT_EQ(s.data->joints.size(), 1u);

    // Present, but told to run zero or a negative number of times.
    for (int i = 0; i < s.data->count; ++i)
        s.data->info[i] = mochi | tensile | viscous | elastic | spring | yuki;
    s.data->velocity[0] = {0.1f, 0};
    s.data->mochiIteration = 0;
    s.data->surfaceTensionIteration = -3;
    s.data->viscosityIteration = 0;
    s.data->elasticIteration = 0;
    s.data->springIteration = -1;
    s.prepare();
    s.sim->expressAttributes();
    for (int i = 0; i < s.data->count; ++i) {
        EXPECT_EQ(s.data->delta[i], float2(7, 7));
        EXPECT_EQ(s.data->position[i], s.data->anchor[i]);
    }
    EXPECT_EQ(s.data->velocity[0], float2(0.1f, 0));
}

TEST(MaterialPasses, AbsurdIterationCountIsBounded)
{
    // A count far beyond the bound runs exactly as often as the bound.
    auto run = [](int iterations) {
        Bench s;
        int a = s.add(spring, {10, 10});
        int b = s.add(spring, {10.5f, 10});
        s.join(a, b);
        s.data->position[b] = {10.9f, 10};
        s.data->springIteration = iterations;
        s.data->springCoefficient = 0.001f;
        s.prepare();
        s.sim->expressSpring();
        return s.data->position[b].x;
    };
    EXPECT_EQ(run(INT_MAX), run(kMaxIterations));
    EXPECT_NE(run(kMaxIterations), run(kMaxIterations - 1));
}

TEST(MaterialPasses, SpringAtRestOrCollapsedExertsNothing)
{
    Bench s;
    int a = s.add(spring, {10, 10});
    int b = s.add(spring, {10.6f, 10.3f});
    int c = s.add(spring, {20, 20});
    int e = s.add(spring, {20.5f, 20});
    s.join(a, b);
    s.join(c, e);
    s.data->position[e] = s.data->position[c]; // ends coincide: no direction
    s.prepare();
    s.sim->expressSpring();
    EXPECT_EQ(s.data->position[a], float2(10, 10));
    EXPECT_EQ(s.data->position[b], float2(10.6f, 10.3f));
    EXPECT_EQ(s.data->position[c], float2(20, 20));
    EXPECT_EQ(s.data->position[e], float2(20, 20));
    EXPECT_EQ(s.data->velocity[c], float2(0, 0));
}

TEST(MaterialPasses, ElasticPairTurnedAsAWholeStaysUnstrained)
{
    Bench s;
    int a = s.add(elastic, {10, 10});
    int b = s.add(elastic, {10.6f, 10.2f});
    s.join(a, b);
    // Turn the pair about its midpoint and both particles with it.
    float theta = 0.7f;
    float2 mid = (s.data->position[a] + s.data->position[b]) / 2.0f;
    for (int p : {a, b}) {
        s.data->position[p] = mid + rotate(s.data->position[p] - mid, theta);
        s.data->angle[p] = theta;
    }
    float2 pa = s.data->position[a];
    float2 pb = s.data->position[b];
    s.prepare();
    s.sim->expressElastic();
    EXPECT_NEAR(s.data->position[a].x, pa.x, 1e-5);
    EXPECT_NEAR(s.data->position[a].y, pa.y, 1e-5);
    EXPECT_NEAR(s.data->position[b].x, pb.x, 1e-5);
    EXPECT_NEAR(s.data->position[b].y, pb.y, 1e-5);
    EXPECT_NEAR(s.data->angle[a], theta, 1e-5);
    EXPECT_NEAR(s.data->angle[b], theta, 1e-5);
    EXPECT_NEAR(s.data->angularVelocity[a], 0, 1e-5);

    // Turning the particles without turning the pair is strained.
    s.data->angle[a] = 0;
    s.data->angle[b] = 0;
    s.sim->expressElastic();
    EXPECT_GT(std::fabs(s.data->angularVelocity[a]), 1e-3);
}

TEST(MaterialPasses, MochiAttractsAtHalfStrengthAndRepelsInFull)
{
    Bench s;
    int a = s.add(mochi, {10, 10});
    int b = s.add(mochi, {10.75f, 10});
    s.data->mochiIteration = 1;
    s.prepare();
    ParticleNeighbor n = s.data->neighbors.at(0);
    float w = n.weight;
    float f = (w + w - 2.0f * s.data->standardDensity) * s.data->mochiElasticityCoefficient +
              w * s.data->mochiSpringCoefficient;
    ASSERT_LT(f, 0); // a lone pair is far below standard density
    s.sim->expressMochi();
    EXPECT_FLOAT_EQ(s.data->position[a].x, 10 - 0.5f * f * n.direction.x);
    EXPECT_FLOAT_EQ(s.data->position[b].x, 10.75f + 0.5f * f * n.direction.x);
    EXPECT_LT(s.distance(a, b), 0.75f);

    // With no density to reach, the same pair pushes apart at full strength.
    Bench r;
    a = r.add(mochi, {10, 10});
    b = r.add(mochi, {10.75f, 10});
    r.data->mochiIteration = 1;
    r.data->standardDensity = 0;
    r.prepare();
    f = (w + w - 0.0f) * r.data->mochiElasticityCoefficient + w * r.data->mochiSpringCoefficient;
    r.sim->expressMochi();
    EXPECT_FLOAT_EQ(r.data->position[b].x, 10.75f + f * n.direction.x);
}

TEST(MaterialPasses, TensileActsOnlyBetweenTensileParticles)
{
    Bench s;
    int t = s.add(tensile, {10, 10});
    int q = s.add(aqua, {10.5f, 10});
    s.prepare();
    s.sim->expressTensile();
    EXPECT_EQ(s.data->position[t], float2(10, 10));
    EXPECT_EQ(s.data->position[q], float2(10.5f, 10));

    // A sparse tensile pair pulls together; momentum is conserved.
    Bench p;
    int a = p.add(tensile, {10, 10});
    int b = p.add(tensile, {10.75f, 10});
    p.prepare();
    p.sim->expressTensile();
    EXPECT_LT(p.distance(a, b), 0.75f);
    EXPECT_FLOAT_EQ(p.data->velocity[a].x, -p.data->velocity[b].x);
}

TEST(MaterialPasses, ViscosityDampsSlidingButNotCommonSpin)
{
    Bench s;
    int a = s.add(viscous, {10, 10}, {0, 0.05f});
    int b = s.add(viscous, {10.6f, 10}, {0, -0.05f});
    s.data->viscosityIteration = 1;
    s.prepare();
    s.sim->expressViscous();
    EXPECT_LT(std::fabs(s.data->velocity[a].y), 0.05f);
    EXPECT_FLOAT_EQ(s.data->velocity[a].y + s.data->velocity[b].y, 0);
    EXPECT_EQ(s.data->position[a], float2(10, 10)); // positions untouched

    // Two particles turning together about their midpoint with their own spin.
    Bench r;
    float w = 0.01f;
    a = r.add(viscous, {10, 10}, {0, -w * 0.25f});
    b = r.add(viscous, {10.5f, 10}, {0, w * 0.25f});
    r.data->angularVelocity[a] = w;
    r.data->angularVelocity[b] = w;
    r.prepare();
    r.sim->expressViscous();
    EXPECT_NEAR(r.data->velocity[a].y, -w * 0.25f, 1e-9);
    EXPECT_NEAR(r.data->velocity[b].y, w * 0.25f, 1e-9);
    EXPECT_NEAR(r.data->angularVelocity[a], w, 1e-9);
    EXPECT_NEAR(r.data->angularVelocity[b], w, 1e-9);
}

TEST(MaterialPasses, SnowMeltsInPlainWaterWithDrawsInOrder)
{
    Bench s;
    int water = s.add(aqua, {10, 10});
    int snow = s.add(aerated | aqua | yuki, {10.5f, 10});
    s.data->yukiMeltingProbability = 1; // every draw melts
    s.data->randSeed = 0;
    s.prepare();
    ASSERT_EQ(s.data->neighbors.at(0).a, water);
    s.sim->expressYuki();
    EXPECT_EQ(s.data->info[snow], aerated | aqua);
    EXPECT_EQ(s.data->info[water], aqua);
    // One draw to melt the snow and one more for the water side; later
    // iterations see no snow and draw nothing.
    Bench reference;
    reference.data->randSeed = 0;
    reference.sim->frand();
    reference.sim->frand();
    EXPECT_EQ(s.data->randSeed, reference.data->randSeed);
}

TEST(MaterialPasses, SnowFirstInThePairMeltsOnTheSecondDraw)
{
    Bench s;
    int snow = s.add(aqua | yuki, {10, 10});
    s.add(aqua, {10.5f, 10});
    s.data->yukiMeltingProbability = 1;
    s.data->surfaceTensionIteration = 1;
    s.prepare();
    Bench reference;
    reference.data->randSeed = s.data->randSeed;
    s.sim->expressYuki();
    EXPECT_EQ(s.data->info[snow], aqua);
    // Snow first draws nothing for itself: only the water side's draw is taken.
    reference.sim->frand();
    EXPECT_EQ(s.data->randSeed, reference.data->randSeed);
}

TEST(MaterialPasses, AirborneSnowDoesNotClingAndNeverMeltsItself)
{
    Bench s;
    int a = s.add(aerated | aqua | yuki, {10, 10});
    int b = s.add(aerated | aqua | yuki, {10.5f, 10});
    s.data->yukiMeltingProbability = 1;
    int seed = s.data->randSeed;
    s.prepare();
    s.sim->expressYuki();
    EXPECT_EQ(s.data->position[a], float2(10, 10));
    EXPECT_EQ(s.data->position[b], float2(10.5f, 10));
    EXPECT_EQ(s.data->randSeed, seed);
    EXPECT_TRUE(s.data->info[a] & yuki);

    // Settled snow (no longer aerated) keeps its spacing with a soft spring.
    s.data->info[a] = aqua | yuki;
    s.prepare();
    s.sim->expressYuki();
    EXPECT_GT(s.distance(a, b), 0.5f);
}

TEST(MaterialPasses, RiceLetsGoWhenStretchedAndRejoins)
{
    Bench s;
    int a = s.add(elastic | kome | viscous, {10, 10});
    int b = s.add(elastic | kome | viscous, {10.7f, 10});
    int c = s.add(elastic | kome | viscous, {11.4f, 10});
    s.join(a, b);
    s.join(b, c);
    s.data->position[c] = {11.41f, 10}; // a hair longer than its rest length
    s.prepare();
    s.sim->expressKome();
    ASSERT_EQ(s.data->joints.size(), 1u);
    EXPECT_EQ(s.data->joints.begin()->b, b);
    for (int p : {a, b, c})
        EXPECT_TRUE(s.data->info[p] & novel);

    // The next step joins the touching rice again, at its new distance.
    s.prepare();
    s.sim->joinParticles();
    EXPECT_EQ(s.data->joints.size(), 2u);
}

TEST(MaterialPasses, BrittleLimitDependsOnTheParticleNumbers)
{
    float beta = 0.5f;
    float spread = 7.0f / 11 + 7.0f / 13 + 7.0f / 17 + 7.0f / 19;
    float limit = 0.75f + beta * 0.25f * spread;
    auto survives = [&](float stretch) {
        Bench s;
        for (int i = 0; i < 3; ++i)
            s.add(0, {float(i) * 5, 1});
        int a = s.add(brittle | elastic, {10, 10});
        int b = s.add(brittle | elastic, {10.75f, 10});
        EXPECT_EQ(a + b, 7);
        s.join(a, b);
        s.data->brittlenessCoefficient = beta;
        s.data->position[b] = {10 + stretch, 10};
        s.prepare();
        s.sim->expressBrittle();
        return s.data->joints.size() == 1;
    };
    EXPECT_TRUE(survives(0.75f + 0.2f)); // well past the rest length, within the tolerance
    EXPECT_TRUE(survives(limit - 1e-3f));
    EXPECT_FALSE(survives(limit + 1e-3f));
}

TEST(MaterialPasses, WallReturnsToItsAnchor)
{
    Bench s;
    int w = s.add(wall, {5, 5});
    s.data->position[w] = {5.3f, 4.9f};
    s.data->velocity[w] = {0.2f, 0.1f};
    s.data->angle[w] = 1;
    s.data->angularVelocity[w] = 0.1f;
    s.prepare();
    s.sim->expressWall();
    EXPECT_EQ(s.data->position[w], float2(5, 5));
    EXPECT_EQ(s.data->velocity[w], float2(0, 0));
    EXPECT_EQ(s.data->angle[w], 0);
    EXPECT_EQ(s.data->angularVelocity[w], 0);
}

TEST(MaterialPasses, DispatcherPutsWallsBackAfterTheJointsPulledThem)
{
    Bench s;
    int w = s.add(wall, {10, 10});
    int e = s.add(elastic, {10.75f, 10});
    s.join(w, e);
    s.data->position[e] = {11.2f, 10};
    s.prepare();
    s.sim->expressAttributes();
    EXPECT_EQ(s.data->position[w], float2(10, 10));
    EXPECT_LT(s.data->position[e].x, 11.2f);
}

TEST(MaterialPasses, JointsNamingMissingParticlesAreIgnored)
{
    Bench s;
    s.add(spring | elastic | kome | brittle, {10, 10});
    ParticleJoint j;
    j.info = spring | elastic | kome | brittle;
    j.a = 0;
    j.b = 500; // as a damaged file could leave it
    j.length = 0.5f;
    s.data->joints.insert(j);
    s.prepare();
    s.sim->expressAttributes();
    EXPECT_EQ(s.data->position[0], float2(10, 10));
    EXPECT_EQ(s.data->joints.size(), 1u);
}
