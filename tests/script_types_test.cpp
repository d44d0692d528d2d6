#include "script_types.h"

#include "script.h"
#include "script_harness.h"
#include "script_statement.h"
#include "script_parser.h"

#include <gtest/gtest.h>

using namespace Zeb::Kamblo;
using Zeb::Kamblo::Testing::ScriptRun;

namespace {

Value reference(const Pointer<Element>& object, const char* name)
{
    return Value(autorelease<Element>(new Reference(object, name)));
}

// An element that records what it was called with.
struct Callable : Element {
    Value exec(const char* name, const Value*, int count) override
    {
        lastName = name ? name : "(null)";
        lastCount = count;
        return Value(99);
    }
    std::string lastName;
    int lastCount = -1;
};

} // namespace

TEST(Array, ReadsByIndexName)
{
    auto a = autorelease(new Array(2));
    a->setValueAtIndex(1, Value(7));
    EXPECT_EQ(int(a->getValue("1")), 7);
    Value past = a->getValue("2");
    EXPECT_EQ(past.object, intClass); // integer zero, not null
    EXPECT_EQ(int(past), 0);
    EXPECT_EQ(a->getValue("-1").object, nullObject);
    EXPECT_EQ(a->getValue("x").object, nullObject);
    EXPECT_EQ(a->getValue(nullptr).object, nullObject);
}

TEST(Array, StoresOnlyInsideItsRange)
{
    auto a = autorelease(new Array(2));
    a->setValue("5", Value(1));
    a->setValue("-1", Value(2));
    EXPECT_EQ(a->getValue("0").object, nullObject);
    EXPECT_EQ(a->getValue("1").object, nullObject);
    a->setValue("name", Value(3)); // reads as index 0
    EXPECT_EQ(int(a->getValue("0")), 3);
    a->setValue(nullptr, Value(4));
    EXPECT_EQ(int(a->getValue("0")), 3);
    EXPECT_TRUE(bool(Value(a))); // an array is truthy and converts to 1
    EXPECT_EQ(int(Value(a)), 1);
}

TEST(Array, SizeIsBounded)
{
    EXPECT_EQ(autorelease(new Array(-5))->values.size(), 0u);
    EXPECT_EQ(autorelease(new Array(1 << 30))->values.size(), size_t(Array::maxLength));
}

TEST(Map, MissingNamesReadNull)
{
    auto m = autorelease(new Map());
    EXPECT_EQ(m->getValue("a").object, nullObject);
    EXPECT_FALSE(m->hasValue("a"));
    m->setValue("a", Value(2));
    EXPECT_TRUE(m->hasValue("a"));
    EXPECT_EQ(int(m->getValue("a")), 2);
    m->setValue(nullptr, Value(3));
    EXPECT_EQ(m->values.size(), 1u);
}

TEST(Context, ReadsFallBackAndStoresForwardToTheParent)
{
    auto parent = autorelease(new Context());
    parent->setValue("x", Value(1));
    auto child = autorelease(new Context(parent));
    EXPECT_EQ(int(child->getValue("x")), 1);

    child->createValue("y");
    child->values["y"] = Value(5);
    child->setValue("y", Value(6)); // forwarded even though the child holds y
    EXPECT_EQ(int(child->getValue("y")), 5);
    EXPECT_EQ(int(parent->getValue("y")), 6);

    child->createValue("x"); // shadows with null
    EXPECT_EQ(child->getValue("x").object, nullObject);
}

TEST(Context, FalsyVariableDoesNotHideACallableFurtherUp)
{
    auto callable = autorelease(new Callable());
    auto outer = autorelease(new Context());
    outer->setValue("f", Value(callable));
    auto inner = autorelease(new Context(outer));
    inner->values["f"] = Value(0);
    Value args[2] = {Value(1), Value(2)};
    EXPECT_EQ(int(inner->exec("f", args, 2)), 99);
    EXPECT_EQ(callable->lastName, "(null)");
    EXPECT_EQ(callable->lastCount, 2);
    EXPECT_EQ(inner->exec("missing", args, 2).object, nullObject);
}

TEST(Reference, ReadsTheCurrentContentOfItsSlot)
{
    auto scope = autorelease(new Context());
    Value r = reference(scope, "a");
    scope->setValue("a", Value(3));
    EXPECT_EQ(int(r), 3);
    scope->setValue("a", Value(4.5f));
    EXPECT_FLOAT_EQ(float(r), 4.5f);
    r->setValue(nullptr, Value(8));
    EXPECT_EQ(int(scope->getValue("a")), 8);
    scope->values.clear();
}

TEST(Reference, MembersActOnTheContent)
{
    auto scope = autorelease(new Context());
    auto array = autorelease(new Array(2));
    scope->setValue("list", Value(array));
    Value r = reference(scope, "list");
    r->setValue("1", Value(6));
    EXPECT_EQ(int(array->getValue("1")), 6);
    EXPECT_EQ(int(r->getValue("1")), 6);
}

TEST(Reference, SelfReferringChainsReadNullWithoutHanging)
{
    auto scope = autorelease(new Context());
    scope->setValue("a", reference(scope, "a"));
    EXPECT_EQ(int(reference(scope, "a")), 0);
    EXPECT_FALSE(bool(reference(scope, "a")));

    // A longer loop a -> b -> c -> a, entered from outside the loop.
    scope->setValue("b", reference(scope, "c"));
    scope->setValue("c", reference(scope, "d"));
    scope->setValue("d", reference(scope, "b"));
    scope->setValue("e", reference(scope, "b"));
    EXPECT_EQ(static_cast<Pointer<Element>>(reference(scope, "e")), nullObject);
    EXPECT_EQ(scope->exec("e", nullptr, 0).object, nullObject);
    scope->values.clear(); // the slots refer back to the scope
}

TEST(Reference, LongAcyclicChainResolvesIteratively)
{
    // Each scope's slot refers to the previous scope's slot.
    Pointer<Context> previous = autorelease(new Context());
    previous->setValue("v", Value(42));
    for (int i = 0; i < 20000; ++i) {
        auto scope = autorelease(new Context());
        scope->setValue("v", reference(previous, "v"));
        previous = scope;
    }
    EXPECT_EQ(int(reference(previous, "v")), 42);
}

TEST(FunctionValue, BindsOnlyDeclaredParameters)
{
    ScriptRun run("f = function(a, b) { return [a, b]; };"
                  "r = f(1, 2, 3); s = f(1);"
                  "r0 = r[0] + 0; r1 = r[1] + 0; s1 = s[1];");
    ASSERT_EQ(run.error, "");
    EXPECT_FLOAT_EQ(run.number("r0"), 1.0f);
    EXPECT_FLOAT_EQ(run.number("r1"), 2.0f);
    EXPECT_EQ(static_cast<Pointer<Element>>(run["s1"]), nullObject);
}

TEST(FunctionValue, BodyWithoutReturnYieldsIntegerZero)
{
    auto body = parseScript("x = 1;");
    auto f = autorelease(new FunctionValue({"x"}, body));
    Value result = f->exec(nullptr, nullptr, 0);
    EXPECT_EQ(result.object, intClass);
    EXPECT_EQ(int(result), 0);
}
