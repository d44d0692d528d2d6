#include "element.h"

#include "script_types.h"
#include "value.h"

#include <gtest/gtest.h>

using namespace Zeb::Kamblo;

TEST(Element, DefaultsAreTruthyOneAndItself)
{
    auto e = autorelease(new Element());
    PrimitiveValue p{};
    EXPECT_EQ(e->intValue(p), 1);
    EXPECT_FLOAT_EQ(e->floatValue(p), 1.0f);
    EXPECT_TRUE(e->boolValue(p));
    EXPECT_EQ(e->objectValue(p).get(), e.get());
    EXPECT_EQ(e->getValue("x").object, nullObject);
    EXPECT_EQ(e->exec("x", nullptr, 0).object, nullObject);
}

TEST(Element, NameEquality)
{
    EXPECT_TRUE(Element::eq("", ""));
    EXPECT_TRUE(Element::eq("abc", "abc"));
    EXPECT_FALSE(Element::eq("abc", "abd"));
    EXPECT_FALSE(Element::eq("ab", "abc"));
    EXPECT_TRUE(Element::eq(nullptr, ""));
}

TEST(Element, LongOwnershipChainIsFreedWithoutDeepRecursion)
{
    // A million arrays each holding the previous one would overflow the stack
    // if every destructor destroyed its child recursively.
    struct Tail : Element {
        explicit Tail(bool* destroyed) : destroyed(destroyed) {}
        ~Tail() override { *destroyed = true; }
        bool* destroyed;
    };
    bool destroyed = false;
    Pointer<Element> head = autorelease<Element>(new Tail(&destroyed));
    for (int i = 0; i < 1000000; ++i) {
        auto a = autorelease(new Array(1));
        a->setValueAtIndex(0, Value(head));
        head = a;
    }
    auto scope = autorelease(new Context(head));
    head = nullptr;
    EXPECT_FALSE(destroyed);
    scope = nullptr; // frees the whole chain here
    EXPECT_TRUE(destroyed);
}

TEST(Element, ReleaseFlatKeepsSharedObjects)
{
    auto a = autorelease(new Array(1));
    Pointer<Element> p = a;
    releaseFlat(p);
    EXPECT_FALSE(p);
    EXPECT_EQ(a->refCount, 1);
}
