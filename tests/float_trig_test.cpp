#include "float_trig.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#if defined(__GLIBC__)
#include <gnu/libc-version.h>
#endif

using namespace Zeb::Kamblo;

namespace {

// The portable functions give what glibc 2.36 gives; on another C library
// there is nothing here to compare them with.
bool comparableLibrary(std::string& why)
{
#if defined(__GLIBC__)
    if (std::strcmp(gnu_get_libc_version(), "2.36") == 0)
        return true;
    why = std::string("the portable functions follow glibc 2.36, this is glibc ") + gnu_get_libc_version();
#else
    why = "the portable functions follow glibc 2.36, this C library is not glibc";
#endif
    return false;
}

// Bit for bit, except that any NaN matches any NaN (their payloads are the
// platform's own).
testing::AssertionResult sameBits(const char* what, float argument, float expected, float actual)
{
    if (std::bit_cast<uint32_t>(expected) == std::bit_cast<uint32_t>(actual) ||
        (std::isnan(expected) && std::isnan(actual)))
        return testing::AssertionSuccess();
    std::ostringstream message;
    message << std::hexfloat << what << "(" << argument << ") = " << actual << ", the C library gives " << expected;
    return testing::AssertionFailure() << message.str();
}

// glibc takes its FMA build of sinf and cosf where the processor has FMA (and
// its tunables allow it), and the portable versions follow that build; the
// other build gives itself away on this argument.
bool libraryFusesSinCos()
{
    volatile float x = 0x1.1475b6p+4f;
    return std::cos(x) == -0x1.69eeep-16f;
}

uint64_t nextRandom(uint64_t& state)
{
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
}

float fromBits(uint32_t bits) { return std::bit_cast<float>(bits); }

} // namespace

// Every exponent (a stride through all bit patterns: the fast and the large
// range reductions, tiny and non-finite arguments), the angles a step meets,
// and the only arguments (of all 2^32) whose result changes when the
// reduction's multiply-subtract rounds twice instead of once.
TEST(FloatTrig, SinAndCosMatchTheCLibrary)
{
    std::string why;
    if (!comparableLibrary(why))
        GTEST_SKIP() << why;
    std::vector<float> arguments;
    for (uint64_t bits = 0; bits <= 0xffffffffu; bits += 40009)
        arguments.push_back(fromBits(uint32_t(bits)));
    uint64_t state = 0x9e3779b97f4a7c15u;
    for (int i = 0; i < 200000; ++i)
        arguments.push_back(float(int32_t(nextRandom(state)) / 2147483648.0 * 10.0));
    if (libraryFusesSinCos()) {
        for (uint32_t bits : {0x418a3adbu, 0x418a3adcu, 0x418a3addu, 0x418a3adeu, 0x41bc76d9u, 0x4202eb4bu,
                              0x4255b0a9u, 0x42687a55u, 0x4280ce28u, 0x42870e40u, 0x42a35c07u, 0x42a35d44u,
                              0x42a97360u, 0x42c55faau, 0x42cf5854u, 0x42d8d23eu, 0x42e87a55u}) {
            arguments.push_back(fromBits(bits));
            arguments.push_back(-fromBits(bits));
        }
    } else {
        std::printf("note: glibc's sin and cos here are its build without FMA, which rounds 34 arguments "
                    "otherwise than the portable ones; those are left out\n");
    }
    for (float x : {0.0f, -0.0f, std::numeric_limits<float>::infinity(), -std::numeric_limits<float>::infinity(),
                    std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::denorm_min(), 120.0f,
                    -120.0f, 0x1p-12f, 0x1.921fb6p-1f, std::numeric_limits<float>::max()})
        arguments.push_back(x);
    for (float x : arguments) {
        ASSERT_TRUE(sameBits("sin", x, std::sin(x), trig::portableSin(x)));
        ASSERT_TRUE(sameBits("cos", x, std::cos(x), trig::portableCos(x)));
    }
}

// Random bit patterns, angles in the range a body turns through, near-equal
// and hugely unequal magnitudes (the 2^25 and 2^60 ratios where the result
// stops depending on the quotient), the reduction's interval bounds, zeros,
// infinities, NaNs and subnormals in every sign combination.
TEST(FloatTrig, Atan2MatchesTheCLibrary)
{
    std::string why;
    if (!comparableLibrary(why))
        GTEST_SKIP() << why;
    const float inf = std::numeric_limits<float>::infinity();
    const std::vector<float> special = {0.0f, -0.0f, 1.0f, -1.0f, inf, -inf, std::numeric_limits<float>::quiet_NaN(),
                                        fromBits(1), fromBits(0x807fffff), std::numeric_limits<float>::max(),
                                        0.4375f, 0.6875f, 1.1875f, 2.4375f, 0x1p25f, 0x1p-29f, 1e-30f};
    auto check = [](float y, float x) {
        return sameBits("atan2", y, std::atan2(y, x), trig::portableAtan2(y, x)) << " with x = " << x;
    };
    for (float y : special)
        for (float x : special)
            for (float scale : {1.0f, -1.0f, 1.0000001f, 0.9999999f})
                ASSERT_TRUE(check(y * scale, x));
    uint64_t state = 0x2545f4914f6cdd1du;
    for (int i = 0; i < 100000; ++i) {
        const uint64_t r = nextRandom(state);
        const float any = fromBits(uint32_t(r));
        const float angleY = float(int32_t(r >> 32) / 2147483648.0 * 10.0);
        const float angleX = float(int32_t(r) / 2147483648.0 * 10.0);
        const float ratio = std::ldexp(1.0f, int((r >> 32) % 80) - 40) * ((r >> 63) ? -1.0f : 1.0f);
        ASSERT_TRUE(check(any, fromBits(uint32_t(r >> 32))));
        ASSERT_TRUE(check(angleY, angleX));
        ASSERT_TRUE(check(angleY, 1.0f));
        ASSERT_TRUE(check(any, any * ratio));
    }
}
