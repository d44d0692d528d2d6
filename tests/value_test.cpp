#include "value.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <string>

#include "float_chars.h"

using namespace Zeb::Kamblo;

namespace {

std::string printed(const Value& v)
{
    return static_cast<Pointer<Element>>(v)->toString();
}

} // namespace

TEST(Value, KindsAreSharedObjects)
{
    EXPECT_EQ(Value().object, nullObject);
    EXPECT_EQ(Value(7).object, intClass);
    EXPECT_EQ(Value(7.5f).object, floatClass);
    EXPECT_EQ(Value(true).object, trueObject);
    EXPECT_EQ(Value(false).object, falseObject);
    EXPECT_EQ(Value(Pointer<Element>()).object, nullObject); // never an empty object
}

TEST(Value, StringTruthAndNumbers)
{
    EXPECT_FALSE(bool(Value("")));
    EXPECT_TRUE(bool(Value("0")));
    EXPECT_EQ(int(Value("0")), 0);
    EXPECT_EQ(int(Value("  42abc")), 42);
    EXPECT_EQ(int(Value("-17")), -17);
    EXPECT_FLOAT_EQ(float(Value("2.5e1x")), 25.0f);
    EXPECT_FLOAT_EQ(float(Value("0x10")), 16.0f);
    EXPECT_FLOAT_EQ(float(Value("word")), 0.0f);
}

TEST(Value, StringNumbersSaturateInsteadOfOverflowing)
{
    EXPECT_EQ(int(Value("99999999999999999999")), INT_MAX);
    EXPECT_EQ(int(Value("-99999999999999999999")), INT_MIN);
    EXPECT_TRUE(std::isinf(float(Value("1e39"))));
    EXPECT_TRUE(std::isinf(float(Value("1e400"))));
    EXPECT_EQ(float(Value("1e-400")), 0.0f);
}

TEST(Value, FloatTruthAndTruncation)
{
    EXPECT_TRUE(bool(Value(std::nanf(""))));
    EXPECT_FALSE(bool(Value(0.0f)));
    EXPECT_FALSE(bool(Value(-0.0f)));
    EXPECT_EQ(int(Value(3.9f)), 3);
    EXPECT_EQ(int(Value(-3.9f)), -3);
    EXPECT_EQ(int(Value(std::nanf(""))), 0);
    EXPECT_EQ(int(Value(1e20f)), INT_MAX);
    EXPECT_EQ(int(Value(-1e20f)), INT_MIN);
}

TEST(Value, ConversionTableOfTheConstants)
{
    EXPECT_EQ(int(Value()), 0);
    EXPECT_FALSE(bool(Value()));
    EXPECT_EQ(int(Value(true)), 1);
    EXPECT_FLOAT_EQ(float(Value(true)), 1.0f);
    EXPECT_EQ(int(Value(false)), 0);
    EXPECT_FALSE(bool(Value(false)));
    EXPECT_FLOAT_EQ(float(Value(-4)), -4.0f);
    EXPECT_FALSE(bool(Value(0)));
}

TEST(Value, NumbersBecomeTextOnlyAsObjects)
{
    EXPECT_STREQ(Value(5).object->toString(), "");
    EXPECT_EQ(printed(Value(-12)), "-12");
    EXPECT_EQ(printed(Value(1.5f)), "1.500000");
    EXPECT_EQ(printed(Value(-0.25f)), "-0.250000");
    EXPECT_EQ(printed(Value()), "null");
    EXPECT_EQ(printed(Value(true)), "true");
    Value s("text");
    EXPECT_EQ(static_cast<Pointer<Element>>(s), s.object); // a string is its own object
}

TEST(Value, StringOwnsItsCopy)
{
    char buffer[] = "abc";
    Value v(buffer);
    buffer[0] = 'x';
    EXPECT_STREQ(v->toString(), "abc");
}

// The web build reads and writes numbers through the C library (its libc++
// has no floating-point from_chars/to_chars): it must stop, fail and round
// where the standard functions do.
TEST(Value, CLibraryNumberConversionsMatchTheStandardOnes)
{
    const char* const texts[] = {"1.5", "-2.25e3", " 1", "+1", "--1", "-", "", "abc", "1.5abc", "1e", "1e+", ".5",
                                 "0x1p3", "-0x10", "0x", "x1", "1.8p3", "-1.8P-3", ".p1", "1e400", "-1e400",
                                 "1e-400", "4.9e-324", "2.5e-310", "inf", "-infinity", "nan", "-nan"};
    for (const char* text : texts) {
        for (const auto format : {std::chars_format::general, std::chars_format::hex}) {
            SCOPED_TRACE(std::string(text) + (format == std::chars_format::hex ? " (hex)" : ""));
            const char* end = text + std::strlen(text);
            double expected = -7, got = -7;
            const auto want = std::from_chars(text, end, expected, format);
            const auto have = parseDoubleWithCLibrary(text, end, got, format);
            EXPECT_EQ(have.ptr - text, want.ptr - text);
            EXPECT_EQ(have.ec, want.ec);
            if (std::isnan(expected))
                EXPECT_TRUE(std::isnan(got)); // payloads may differ
            else
                EXPECT_EQ(std::memcmp(&got, &expected, sizeof got), 0) << got << " " << expected;
        }
    }
    for (const double x : {0.1, -2.5, 1e20, 123.4567895, -0.0, 1.0 / 3, 0.0000005}) {
        char want[64] = {}, have[64] = {};
        *std::to_chars(want, want + 63, x, std::chars_format::fixed, 6).ptr = 0;
        *formatFixedWithCLibrary(have, have + 63, x, 6).ptr = 0;
        EXPECT_STREQ(have, want);
    }
}
