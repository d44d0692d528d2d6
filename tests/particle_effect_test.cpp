#include "particle_effect.h"

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "cg_math.h"

using namespace Zeb::Kamblo;

namespace {

Pointer<ParticleEffect> poolOf(int entries)
{
    Pointer<ParticleEffect> pool = autorelease(new ParticleEffect());
    for (int i = 0; i < entries; ++i) {
        int e = pool->create();
        pool->position[e] = {float(i), float(-i)};
        pool->velocity[e] = {float(10 * i), 0};
        pool->life[e] = float(i + 1);
    }
    return pool;
}

} // namespace

TEST(ParticleEffect, StartsEmpty)
{
    Pointer<ParticleEffect> pool = autorelease(new ParticleEffect());
    EXPECT_EQ(pool->count, 0);
    EXPECT_EQ(pool->capacity, 0);
    EXPECT_EQ(pool->life, nullptr);
    EXPECT_FALSE(pool->texture);
}

TEST(ParticleEffect, CreateGrowsTo256ThenDoubles)
{
    Pointer<ParticleEffect> pool = autorelease(new ParticleEffect());
    EXPECT_EQ(pool->create(), 0);
    EXPECT_EQ(pool->capacity, 256);
    EXPECT_EQ(pool->life[0], 1.0f);
    EXPECT_EQ(pool->position[0], float2(0, 0));
    EXPECT_EQ(pool->velocity[0], float2(0, 0));
    for (int i = 1; i < 256; ++i)
        pool->create();
    EXPECT_EQ(pool->capacity, 256);
    pool->position[255] = {7, 8};
    EXPECT_EQ(pool->create(), 256);
    EXPECT_EQ(pool->capacity, 512);
    EXPECT_EQ(pool->count, 257);
    EXPECT_EQ(pool->position[255], float2(7, 8)) << "growth keeps the existing entries";
}

TEST(ParticleEffect, GcKeepsSurvivorsInOrderWithTheirFields)
{
    Pointer<ParticleEffect> pool = poolOf(4);
    pool->life[1] = 0;
    pool->gc();
    ASSERT_EQ(pool->count, 3);
    const int survivors[] = {0, 2, 3};
    for (int k = 0; k < 3; ++k) {
        int i = survivors[k];
        EXPECT_EQ(pool->life[k], float(i + 1));
        EXPECT_EQ(pool->position[k], float2(float(i), float(-i)));
        EXPECT_EQ(pool->velocity[k], float2(float(10 * i), 0));
    }
}

TEST(ParticleEffect, GcOfAllRetiredAndOfNoneRetired)
{
    Pointer<ParticleEffect> retired = poolOf(5);
    for (int i = 0; i < 5; ++i)
        retired->life[i] = 0;
    retired->gc();
    EXPECT_EQ(retired->count, 0);

    Pointer<ParticleEffect> alive = poolOf(5);
    alive->gc();
    ASSERT_EQ(alive->count, 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(alive->position[i], float2(float(i), float(-i)));
}

TEST(ParticleEffect, GcKeepsNegativeAndNotANumberLife)
{
    Pointer<ParticleEffect> pool = poolOf(3);
    pool->life[0] = -0.5f;
    pool->life[1] = std::numeric_limits<float>::quiet_NaN();
    pool->life[2] = 0;
    pool->gc();
    ASSERT_EQ(pool->count, 2);
    EXPECT_EQ(pool->life[0], -0.5f);
    EXPECT_TRUE(std::isnan(pool->life[1]));
}

TEST(ParticleEffect, SetCapacityBelowCountKeepsTheFirstEntries)
{
    Pointer<ParticleEffect> pool = poolOf(20);
    pool->setCapacity(10);
    EXPECT_EQ(pool->capacity, 10);
    ASSERT_EQ(pool->count, 10);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(pool->position[i], float2(float(i), float(-i)));
    // The next entry doubles the shrunk pool again.
    EXPECT_EQ(pool->create(), 10);
    EXPECT_EQ(pool->capacity, 20);
}

TEST(ParticleEffect, ClearKeepsStorage)
{
    Pointer<ParticleEffect> pool = poolOf(3);
    pool->clear();
    EXPECT_EQ(pool->count, 0);
    EXPECT_EQ(pool->capacity, 256);
    EXPECT_EQ(pool->create(), 0);
    EXPECT_EQ(pool->life[0], 1.0f);
}
