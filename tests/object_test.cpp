#include "object.h"

#include <gtest/gtest.h>

using namespace Zeb::Kamblo;

namespace {

struct Counted : Object {
    explicit Counted(int* destroyed) : destroyed_(destroyed) {}
    ~Counted() override { ++*destroyed_; }
    int* destroyed_;
};
struct Derived : Counted {
    using Counted::Counted;
};

} // namespace

TEST(Object, AutoreleaseMakesThePointerTheOnlyOwner)
{
    int destroyed = 0;
    {
        Pointer<Counted> p = autorelease(new Counted(&destroyed));
        EXPECT_EQ(p->refCount, 1);
        Pointer<Counted> q = p;
        EXPECT_EQ(p->refCount, 2);
    }
    EXPECT_EQ(destroyed, 1);
}

TEST(Object, SelfAssignmentKeepsTheObject)
{
    int destroyed = 0;
    Pointer<Counted> p = autorelease(new Counted(&destroyed));
    Pointer<Counted>& alias = p;
    p = alias;
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(p->refCount, 1);
}

TEST(Object, AssignmentReleasesTheOldObjectAndUpcasts)
{
    int destroyed = 0;
    Pointer<Counted> base = autorelease(new Counted(&destroyed));
    Pointer<Derived> derived = autorelease(new Derived(&destroyed));
    base = derived; // implicit upcast
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(derived->refCount, 2);
    base = nullptr;
    EXPECT_FALSE(base);
    EXPECT_EQ(derived->refCount, 1);
}

TEST(Object, DefaultToStringIsEmpty)
{
    Pointer<Object> o = autorelease(new Object());
    EXPECT_STREQ(o->toString(), "");
    Pointer<Object> none;
    EXPECT_FALSE(none);
}
