#include "particle_simulator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "cg_math_ext.h"
#include "simulator_scene.h"

using namespace Zeb::Kamblo;
using namespace Zeb::Kamblo::Attribute;

namespace {

struct Rig : PudletTest::SimulatorScene {
    // A w x h block of rigid particles at spacing 0.75 in a fresh body.
    std::vector<int> block(float2 corner, int w, int h, float2 velocity = {0, 0})
    {
        int body = data->createBody();
        std::vector<int> particles;
        for (int j = 0; j < h; ++j)
            for (int i = 0; i < w; ++i)
                particles.push_back(add(rigid, corner + float2(i * 0.75f, j * 0.75f), velocity, body));
        return particles;
    }

    void rigidPass()
    {
        data->searchParticleNeighbors();
        sim->addUpInfo();
        sim->expressRigid();
    }

    float2 momentum(const std::vector<int>& particles) const
    {
        float2 sum;
        for (int p : particles)
            sum += data->velocity[p];
        return sum;
    }
};

} // namespace

TEST(RigidBodies, SingleParticleBodyKeepsItsPlaceAndSpin)
{
    Rig s;
    int body = s.data->createBody();
    int p = s.add(rigid, {10, 10}, {0.01f, -0.02f}, body);
    s.data->angularVelocity[p] = 0.5f;
    s.rigidPass();
    const ParticleBody& B = s.data->bodies[size_t(body)];
    float c0 = 0.75f * 0.75f * 0.25f;
    EXPECT_FLOAT_EQ(B.inertia, c0);
    EXPECT_EQ(B.angle, 0);
    EXPECT_EQ(B.rotation[0], 1);
    EXPECT_EQ(B.rotation[1], 0);
    EXPECT_EQ(B.rotation[2], 0);
    EXPECT_EQ(B.rotation[3], 1);
    EXPECT_EQ(s.data->position[p], float2(10, 10));
    EXPECT_EQ(s.data->velocity[p], float2(0.01f, -0.02f));
    EXPECT_FLOAT_EQ(s.data->angularVelocity[p], 0.5f);
}

TEST(RigidBodies, DeformedBodyIsRestoredToItsShapeAndTurned)
{
    Rig s;
    std::vector<int> box = s.block({10, 10}, 4, 3);
    // Turn the whole box by 0.4 about its corner and jiggle one particle.
    for (int p : box)
        s.data->position[p] = float2(20, 20) + rotate(s.data->anchor[p] - float2(10, 10), 0.4f);
    s.data->position[box[5]] += float2(0.2f, -0.1f);
    s.rigidPass();
    int body = s.data->body[box[0]];
    EXPECT_NEAR(s.data->bodies[size_t(body)].angle, 0.4f, 0.05f);
    for (int p : box) {
        for (int q : box) {
            float now = distance(s.data->position[p], s.data->position[q]);
            float made = distance(s.data->anchor[p], s.data->anchor[q]);
            EXPECT_NEAR(now, made, 1e-4);
        }
        EXPECT_EQ(s.data->angle[p], s.data->bodies[size_t(body)].angle);
    }
}

TEST(RigidBodies, SpinningBodyKeepsItsSpin)
{
    Rig s;
    std::vector<int> box = s.block({10, 10}, 3, 3);
    float2 center = {10.75f, 10.75f};
    float w = 0.02f;
    for (int p : box) {
        float2 r = s.data->position[p] - center;
        s.data->velocity[p] = {-w * r.y, w * r.x};
        s.data->angularVelocity[p] = w;
    }
    s.rigidPass();
    for (int p : box)
        EXPECT_NEAR(s.data->angularVelocity[p], w, 1e-6);
    EXPECT_NEAR(s.data->velocity[box[0]].x, w * 0.75f, 1e-6);
}

TEST(RigidBodies, ApproachingBodiesExchangeAnImpulseSeparatingOnesDoNot)
{
    Rig s;
    std::vector<int> left = s.block({10, 10}, 2, 2, {0.05f, 0});
    std::vector<int> right = s.block({11.5f, 10}, 2, 2, {-0.05f, 0});
    s.rigidPass();
    float2 pl = s.momentum(left);
    float2 pr = s.momentum(right);
    EXPECT_LT(pl.x, 4 * 0.05f);
    EXPECT_GT(pr.x, -4 * 0.05f);
    EXPECT_NEAR(pl.x + pr.x, 0, 1e-6); // momentum is conserved
    EXPECT_LE(s.data->velocity[left[0]].x, s.data->velocity[right[0]].x + 1e-6); // no longer closing

    Rig t;
    left = t.block({10, 10}, 2, 2, {-0.05f, 0});
    right = t.block({11.5f, 10}, 2, 2, {0.05f, 0});
    t.rigidPass();
    for (int p : left)
        EXPECT_FLOAT_EQ(t.data->velocity[p].x, -0.05f);
    for (int p : right)
        EXPECT_FLOAT_EQ(t.data->velocity[p].x, 0.05f);
}

TEST(RigidBodies, WallIsAnImmovablePartner)
{
    Rig s;
    int w = s.add(wall, {10, 9.25f});
    std::vector<int> box = s.block({10, 10}, 1, 2, {0, -0.05f});
    s.rigidPass();
    EXPECT_EQ(s.data->position[w], float2(10, 9.25f));
    EXPECT_EQ(s.data->velocity[w], float2(0, 0));
    for (int p : box)
        EXPECT_GE(s.data->velocity[p].y, -1e-6); // the approach is stopped
}

TEST(RigidBodies, AxlePullsTheBodyBackToItsPivot)
{
    Rig s;
    int body = s.data->createBody();
    std::vector<int> wheel;
    for (int i = -1; i <= 1; ++i)
        for (int j = -1; j <= 1; ++j)
            wheel.push_back(s.add(i == 0 && j == 0 ? (rigid | axial) : rigid, float2(20 + i * 0.75f, 20 + j * 0.75f),
                                  {0, 0}, body));
    for (int p : wheel)
        s.data->position[p] += float2(0.1f, -0.05f);
    s.rigidPass();
    for (int p : wheel) {
        EXPECT_NEAR(s.data->position[p].x, s.data->anchor[p].x, 1e-5);
        EXPECT_NEAR(s.data->position[p].y, s.data->anchor[p].y, 1e-5);
    }
}

TEST(RigidBodies, BodyNumberOutsideTheTableIsIgnored)
{
    Rig s;
    int p = s.add(rigid, {10, 10}, {0.01f, 0}, 200);
    int q = s.add(rigid | wall, {10.5f, 10});
    s.rigidPass();
    EXPECT_EQ(s.data->position[p], float2(10, 10));
    EXPECT_EQ(s.data->velocity[p], float2(0.01f, 0));
    EXPECT_EQ(s.data->position[q], float2(10.5f, 10));
}
