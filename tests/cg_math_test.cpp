#include "cg_math.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>

using namespace Zeb::Kamblo;

// keptIf stands in for "add only when": what it drops must be a +0 that
// changes no sum, whatever the dropped vector held.
TEST(CgMath, KeptIfKeepsOrGivesPositiveZero)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (float2 v : {float2(1.5f, -2.0f), float2(-0.0f, -0.0f), float2(nan, inf), float2(-inf, -1e-45f)}) {
        float2 dropped = keptIf(false, v);
        EXPECT_EQ(std::bit_cast<uint32_t>(dropped.x), 0u);
        EXPECT_EQ(std::bit_cast<uint32_t>(dropped.y), 0u);
        float2 kept = keptIf(true, v);
        EXPECT_EQ(std::bit_cast<uint32_t>(kept.x), std::bit_cast<uint32_t>(v.x));
        EXPECT_EQ(std::bit_cast<uint32_t>(kept.y), std::bit_cast<uint32_t>(v.y));
    }
    float2 sum = {0.25f, -3.0f};
    sum += keptIf(false, float2(nan, -0.0f));
    sum -= keptIf(false, float2(inf, 7.0f));
    EXPECT_EQ(sum, float2(0.25f, -3.0f));
}
