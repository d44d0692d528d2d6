#include "value.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>

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
