#include "particle_data.h"

#include <gtest/gtest.h>

#include "simulator_scene.h"

using namespace Zeb::Kamblo;
using PudletTest::placeParticle;

namespace {

Pointer<ParticleData> makeScene() { return autorelease(new ParticleData()); }

ParticleJoint jointOf(int a, int b, ParticleInfo info)
{
    ParticleJoint j;
    j.a = a;
    j.b = b;
    j.info = info;
    j.length = 0.75f;
    return j;
}

} // namespace

TEST(ParticleDataGc, WithoutZombiesOnlyResetsOrder)
{
    auto d = makeScene();
    for (int i = 0; i < 4; ++i)
        placeParticle(*d, Attribute::aqua, {float(3 - i), 0});
    d->searchParticleNeighbors(); // sorts order by x: 3, 2, 1, 0
    EXPECT_EQ(d->order[0], 3);
    d->gc();
    EXPECT_EQ(d->count, 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(d->order[i], i);
        EXPECT_EQ(d->position[i].x, float(3 - i));
    }
}

TEST(ParticleDataGc, CompactsKeepingOrderAndFields)
{
    auto d = makeScene();
    for (int i = 0; i < 6; ++i) {
        int p = placeParticle(*d, Attribute::aqua, {float(i), 0});
        d->layer[p] = uint8_t(i);
        d->velocity[p] = {0, float(i)};
    }
    d->info[1] |= Attribute::zombie;
    d->info[4] |= Attribute::zombie;
    d->gc();
    ASSERT_EQ(d->count, 4);
    const int survivors[] = {0, 2, 3, 5};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(d->layer[i], survivors[i]);
        EXPECT_EQ(d->velocity[i].y, float(survivors[i]));
    }
}

TEST(ParticleDataGc, JointsAreRenumberedOrDropped)
{
    using namespace Attribute;
    auto d = makeScene();
    placeParticle(*d, aqua, {0, 0});        // 0, removed
    placeParticle(*d, spring, {1, 0});      // 1 -> 0
    placeParticle(*d, spring, {1.5f, 0});   // 2 -> 1
    placeParticle(*d, spring, {2, 0});      // 3, removed
    placeParticle(*d, elastic, {2.5f, 0});  // 4 -> 2
    placeParticle(*d, aqua, {3, 0});        // 5 -> 3: lost every joinable attribute
    d->info[0] |= zombie;
    d->info[3] |= zombie;
    d->joints.insert(jointOf(1, 2, spring));
    d->joints.insert(jointOf(2, 3, spring));      // end removed
    d->joints.insert(jointOf(2, 4, spring));
    d->joints.insert(jointOf(4, 5, elastic));     // 5 no longer qualifies
    d->joints.insert(jointOf(0, 1, spring));      // start removed
    d->gc();
    ASSERT_EQ(d->joints.size(), 2u);
    auto it = d->joints.begin();
    EXPECT_EQ(it->a, 0);
    EXPECT_EQ(it->b, 1);
    EXPECT_EQ(it->info, spring);
    ++it;
    EXPECT_EQ(it->a, 1);
    EXPECT_EQ(it->b, 2);
    EXPECT_EQ(it->info, spring | elastic); // refreshed from both particles
    EXPECT_FLOAT_EQ(it->length, 0.75f);    // creation values unchanged
}

TEST(ParticleDataGc, RemovingTheMiddleOfARigidBarSplitsItIntoTwoNewBodies)
{
    using namespace Attribute;
    auto d = makeScene();
    int bar = d->createBody();
    ASSERT_EQ(bar, 1);
    d->bodies[1].textureMin = {1, 2}; // copied into both pieces
    for (int i = 0; i < 8; ++i)
        placeParticle(*d, rigid, {10 + 0.75f * i, 10}, bar);
    d->info[3] |= zombie;
    d->info[4] |= zombie;
    d->gc();
    ASSERT_EQ(d->count, 6);
    int left = d->body[0];
    int right = d->body[5];
    EXPECT_NE(left, bar);
    EXPECT_NE(right, bar);
    EXPECT_NE(left, right);
    EXPECT_NE(left, 0);
    EXPECT_NE(right, 0);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(d->body[i], left);
    for (int i = 3; i < 6; ++i)
        EXPECT_EQ(d->body[i], right);
    EXPECT_EQ(d->bodies[size_t(left)].textureMin, float2(1, 2));
    EXPECT_EQ(d->bodies[size_t(right)].textureMin, float2(1, 2));
    for (int i = 0; i < d->count; ++i)
        EXPECT_NE(d->body[i], bar);
}

TEST(ParticleDataGc, PiecesAreFoundWhateverOrderTheParticlesWereMadeIn)
{
    using namespace Attribute;
    auto d = makeScene();
    int bar = d->createBody();
    // Along the bar the numbers go 0, 9, 1, 8, 2, 7, ...: pairs meet the
    // pieces' members in no order, and the pieces' smallest numbers lie
    // far from where the bar breaks.
    const int slotOf[] = {0, 2, 4, 6, 8, 9, 7, 5, 3, 1};
    for (int slot : slotOf)
        placeParticle(*d, rigid, {10 + 0.75f * slot, 10}, bar);
    d->info[8] |= zombie; // slots 3 and 4
    d->info[2] |= zombie;
    d->gc();
    ASSERT_EQ(d->count, 8);
    std::vector<int> slots = {0, 2, 6, 8, 9, 7, 5, 1}; // survivors' slots, by new number
    int left = -1, right = -1;
    for (int p = 0; p < d->count; ++p) {
        int& piece = slots[size_t(p)] < 3 ? left : right;
        if (piece < 0)
            piece = d->body[p];
        EXPECT_EQ(d->body[p], piece) << "particle " << p;
    }
    EXPECT_NE(left, right);
    EXPECT_NE(left, bar);
    EXPECT_NE(right, bar);
}

TEST(ParticleDataGc, RemovingAnEndOfARigidBarKeepsOnePiece)
{
    using namespace Attribute;
    auto d = makeScene();
    int bar = d->createBody();
    for (int i = 0; i < 5; ++i)
        placeParticle(*d, rigid, {10 + 0.75f * i, 10}, bar);
    d->info[0] |= zombie;
    d->gc();
    ASSERT_EQ(d->count, 4);
    for (int i = 1; i < 4; ++i)
        EXPECT_EQ(d->body[i], d->body[0]);
    EXPECT_NE(d->body[0], bar); // even the first piece moves to a fresh body
}

TEST(ParticleDataGc, PiecesStayInTheOldBodyWhenNoBodyIsFree)
{
    using namespace Attribute;
    auto d = makeScene();
    // Fill the table: bodies 1..255 each hold one particle far away.
    for (int b = 1; b < kMaxBodies; ++b) {
        int body = d->createBody();
        ASSERT_EQ(body, b);
        placeParticle(*d, rigid, {1000.0f + 3 * b, 1000}, body);
    }
    ASSERT_EQ(d->createBody(), 0);
    // Extend body 7 into a bar and break it.
    for (int i = 1; i < 6; ++i)
        placeParticle(*d, rigid, {1000.0f + 21 + 0.75f * i, 1000}, 7);
    int before = d->count;
    d->info[before - 3] |= zombie;
    d->gc();
    EXPECT_EQ(d->count, before - 1);
    EXPECT_EQ(d->bodies.size(), size_t(kMaxBodies));
    for (int i = before - 5; i < d->count; ++i)
        EXPECT_EQ(d->body[i], 7);
}
