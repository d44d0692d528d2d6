#include "particle_data.h"

#include <gtest/gtest.h>

using namespace Zeb::Kamblo;

namespace {

Pointer<ParticleData> makeScene() { return autorelease(new ParticleData()); }

} // namespace

TEST(ParticleBody, CreateBodyRecyclesUnusedEntries)
{
    auto d = makeScene();
    EXPECT_EQ(d->createBody(), 1);
    // Nobody uses body 1 yet, so it is handed out again.
    EXPECT_EQ(d->createBody(), 1);
    int p = d->createParticle(1);
    EXPECT_EQ(d->createBody(), 2);
    d->info[p] = Attribute::zombie;
    d->gc();
    EXPECT_EQ(d->createBody(), 1);
    EXPECT_EQ(d->bodies.size(), 3u);
}

TEST(ParticleBody, CreateBodyResetsTheRecycledRecord)
{
    auto d = makeScene();
    d->bodies.resize(3);
    d->bodies[1].count = 9;
    d->bodies[1].angle = 2;
    EXPECT_EQ(d->createBody(), 1);
    EXPECT_EQ(d->bodies[1].count, 0);
    EXPECT_EQ(d->bodies[1].angle, 0);
}

TEST(ParticleBody, CreateBodyRefusesWhenAll255AreInUse)
{
    auto d = makeScene();
    for (int b = 1; b < kMaxBodies; ++b)
        d->createParticle(d->createBody());
    EXPECT_EQ(d->bodies.size(), 256u);
    EXPECT_EQ(d->createBody(), 0);
    EXPECT_EQ(d->bodies.size(), 256u);
}

TEST(ParticleBody, UniteBodyMovesParticlesAndReanchorsTheWholeBody)
{
    auto d = makeScene();
    d->bodies.resize(6);
    int a = d->createParticle(3);
    int b = d->createParticle(5);
    int c = d->createParticle(2);
    for (int p : {a, b, c}) {
        d->position[p] = {float(p), 1};
        d->anchor[p] = {-1, -1};
    }
    EXPECT_EQ(d->uniteBody(3, 5), 5);
    EXPECT_EQ(d->body[a], 5);
    EXPECT_EQ(d->body[b], 5);
    EXPECT_EQ(d->anchor[a], d->position[a]);
    EXPECT_EQ(d->anchor[b], d->position[b]);
    EXPECT_EQ(d->body[c], 2);
    EXPECT_EQ(d->anchor[c], float2(-1, -1));
}

TEST(ParticleBody, SplitBodyCutsABarInTwo)
{
    auto d = makeScene();
    int bar = d->createBody();
    for (int i = 0; i < 6; ++i) {
        if (i == 3)
            continue; // the gap: 1.5 apart, no neighbours across it
        int p = d->createParticle(bar);
        d->info[p] = Attribute::rigid;
        d->position[p] = {0.75f * i, 5};
    }
    d->splitBody(bar);
    ASSERT_EQ(d->count, 5);
    EXPECT_NE(d->body[0], bar);
    EXPECT_NE(d->body[4], bar);
    EXPECT_NE(d->body[0], d->body[4]);
    EXPECT_EQ(d->body[0], d->body[2]);
    EXPECT_EQ(d->body[3], d->body[4]);
}
