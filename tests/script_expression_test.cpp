#include "script_expression.h"

#include "script_harness.h"
#include "script_statement.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

using namespace Zeb::Kamblo;
using Zeb::Kamblo::Testing::ScriptRun;

TEST(OperatorFunctions, Shifts)
{
    EXPECT_EQ(operator_urshift(-1, 28), 15);
    EXPECT_EQ(operator_rshift(-16, 2), -4);
    EXPECT_EQ(operator_lshift(1, 33), 2);
    EXPECT_EQ(operator_lshift(1, 31), INT_MIN);
    EXPECT_EQ(operator_lshift(-1, 4), -16);
    EXPECT_EQ(operator_lshift(3, -1), INT_MIN); // -1 mod 32 is 31
    EXPECT_EQ(operator_urshift(INT_MIN, 31), 1);
}

TEST(OperatorFunctions, RemainderNeverTraps)
{
    EXPECT_EQ(operator_mod(7, 2), 1);
    EXPECT_EQ(operator_mod(-7, 2), -1);
    EXPECT_EQ(operator_mod(7, -2), 1);
    EXPECT_EQ(operator_mod(5, 0), 0);
    EXPECT_EQ(operator_mod(INT_MIN, -1), 0);
}

TEST(OperatorFunctions, FloatsFollowIEEE)
{
    EXPECT_TRUE(std::isinf(operator_divided(1.0f, 0.0f)));
    EXPECT_TRUE(std::isnan(operator_divided(0.0f, 0.0f)));
    float nan = std::nanf("");
    EXPECT_FALSE(operator_lt(nan, 1.0f));
    EXPECT_FALSE(operator_ge(nan, 1.0f));
    EXPECT_TRUE(operator_le(1.0f, 1.0f));
}

TEST(ScriptArithmetic, NumberTypesOfTheOperators)
{
    ScriptRun run("a = 1 + 2; b = 7.9 % 2; c = 7 / 2; d = 5.7 | 0; e = '3' * '4'; f = 1 << 33;"
                  "g = 2147483647 + 1 | 0; h = ~0; i = -'2'; j = (1 / 0) | 0;");
    ASSERT_EQ(run.error, "");
    EXPECT_EQ(run.kind("a"), floatClass.get()); // two integers still add as floats
    EXPECT_FLOAT_EQ(run.number("a"), 3.0f);
    EXPECT_EQ(run.kind("b"), intClass.get());
    EXPECT_EQ(run.integer("b"), 1);
    EXPECT_FLOAT_EQ(run.number("c"), 3.5f);
    EXPECT_EQ(run.integer("d"), 5);
    EXPECT_FLOAT_EQ(run.number("e"), 12.0f);
    EXPECT_EQ(run.integer("f"), 2);
    EXPECT_EQ(run.integer("g"), INT_MAX); // float 2^31 saturates on the way to int
    EXPECT_EQ(run.integer("h"), -1);
    EXPECT_FLOAT_EQ(run.number("i"), -2.0f);
    EXPECT_EQ(run.integer("j"), INT_MAX);
}

TEST(ScriptArithmetic, RemainderByZeroInScripts)
{
    ScriptRun run("a = 5 % 0; b = (0 - 2147483647 - 1) % -1; c = 3; c %= 0;");
    ASSERT_EQ(run.error, "");
    EXPECT_EQ(run.integer("a"), 0);
    EXPECT_EQ(run.integer("b"), 0);
    EXPECT_EQ(run.integer("c"), 0);
}

TEST(ScriptComparison, EqualityIsNumeric)
{
    ScriptRun run("a = 'x' == 'y'; b = null == 0; c = false == 0; n = 0 / 0; d = n == n; e = n != n;"
                  "f = 1 < 2; g = 2 <= 1; h = '10' > 9;");
    ASSERT_EQ(run.error, "");
    EXPECT_TRUE(bool(run["a"]));
    EXPECT_TRUE(bool(run["b"]));
    EXPECT_TRUE(bool(run["c"]));
    EXPECT_FALSE(bool(run["d"]));
    EXPECT_TRUE(bool(run["e"]));
    EXPECT_EQ(run.kind("f"), trueObject.get());
    EXPECT_EQ(run.kind("g"), falseObject.get());
    EXPECT_TRUE(bool(run["h"]));
}

TEST(ScriptLogic, ShortCircuitAndSelect)
{
    ScriptRun run("n = 0; a = 0 && n++; b = 1 || n++; c = 2 && 'x'; d = 0 || ''; e = 1 ? 'yes' : n++;"
                  "f = (n = 5, n + 1);");
    ASSERT_EQ(run.error, "");
    EXPECT_EQ(run.kind("a"), falseObject.get());
    EXPECT_EQ(run.kind("b"), trueObject.get());
    EXPECT_EQ(run.kind("c"), trueObject.get());
    EXPECT_EQ(run.kind("d"), falseObject.get());
    EXPECT_STREQ(static_cast<Pointer<Element>>(run["e"])->toString(), "yes"); // the branch value itself
    EXPECT_FLOAT_EQ(run.number("f"), 6.0f);
    EXPECT_EQ(run.integer("n"), 5);
}

TEST(ScriptIncrement, PrefixStoresIntegersPostfixStoresFloats)
{
    ScriptRun run("a = 1.5; r = ++a; b = 1.5; s = b++; c = 0.5; --c; d = 2; d--;");
    ASSERT_EQ(run.error, "");
    EXPECT_EQ(run.kind("a"), intClass.get());
    EXPECT_EQ(run.integer("a"), 2);
    EXPECT_EQ(run.integer("r"), 2); // a reference reading the new content
    EXPECT_EQ(run.kind("b"), floatClass.get());
    EXPECT_FLOAT_EQ(run.number("b"), 2.5f);
    EXPECT_FLOAT_EQ(run.number("s"), 1.5f);
    EXPECT_EQ(run.integer("c"), -1);
    EXPECT_EQ(run.kind("d"), floatClass.get());
    EXPECT_FLOAT_EQ(run.number("d"), 1.0f);
}

TEST(ScriptIncrement, IntegerIncrementWraps)
{
    ScriptRun run("a = 2147483647 | 0; ++a;");
    ASSERT_EQ(run.error, "");
    EXPECT_EQ(run.integer("a"), INT_MIN);
}

TEST(ScriptAssignment, BareNamesStoreReferences)
{
    ScriptRun run("a = 1; b = a; c = a + 0; a = 5;");
    ASSERT_EQ(run.error, "");
    EXPECT_EQ(run.integer("b"), 5);
    EXPECT_FLOAT_EQ(run.number("c"), 1.0f);
}

TEST(ScriptAssignment, SelfAssignmentReadsNull)
{
    ScriptRun run("a = 3; a = a; b = a + 1; c = a; c = 4; x = y; y = x; z = x + 0;");
    ASSERT_EQ(run.error, "");
    EXPECT_FLOAT_EQ(run.number("b"), 1.0f); // a reads as null, which is 0
    EXPECT_FLOAT_EQ(run.number("z"), 0.0f);
}

TEST(ScriptAssignment, CompoundStoresConvertBothSides)
{
    ScriptRun run("a = 5; a += 2.5; b = 7; b %= 4; c = 1.9; c <<= 2; d = 6; d /= 4;");
    ASSERT_EQ(run.error, "");
    EXPECT_FLOAT_EQ(run.number("a"), 7.5f);
    EXPECT_EQ(run.integer("b"), 3);
    EXPECT_EQ(run.integer("c"), 4);
    EXPECT_FLOAT_EQ(run.number("d"), 1.5f);
}

TEST(ScriptAssignment, StoresIntoNonReferencesAreIgnored)
{
    ScriptRun run("1 = 2; 'x' = 3; true = 4; n = null;");
    ASSERT_EQ(run.error, "");
    EXPECT_EQ(run.kind("n"), nullObject.get());
}

TEST(ScriptMembers, IndexAndMemberStores)
{
    ScriptRun run("a = [1, 2]; a[1] = 9; one = a[1] + 0; a.x = 7; zero = a[0] + 0; m = a.x;"
                  "missing = a[5]; text = (12).length;");
    ASSERT_EQ(run.error, "");
    EXPECT_FLOAT_EQ(run.number("one"), 2.0f); // the index store changed nothing
    EXPECT_FLOAT_EQ(run.number("zero"), 7.0f); // the member store went to element 0
    EXPECT_EQ(static_cast<Pointer<Element>>(run["m"]), nullObject); // reading the member yields null
    EXPECT_EQ(run.kind("missing"), intClass.get());
    EXPECT_EQ(static_cast<Pointer<Element>>(run["text"]), nullObject);
}

TEST(ScriptMembers, ElementHoldingAReferenceCanBeStoredThrough)
{
    ScriptRun run("v = 1; a = [v]; a[0] = 8;");
    ASSERT_EQ(run.error, "");
    EXPECT_EQ(run.integer("v"), 8);
}

TEST(ScriptCalls, ReturnValuesAndArguments)
{
    ScriptRun run("function f(x) { x = x + 1; return x * 2; }\n"
                  "function g() { }\n"
                  "v = 3; r = f(v); s = g(); t = f();");
    ASSERT_EQ(run.error, "");
    EXPECT_FLOAT_EQ(run.number("r"), 8.0f);
    EXPECT_EQ(run.integer("v"), 3); // the parameter was replaced, not the caller's slot
    EXPECT_EQ(run.kind("s"), intClass.get());
    EXPECT_EQ(run.integer("s"), 0);
    EXPECT_FLOAT_EQ(run.number("t"), 2.0f);
}

TEST(ScriptCalls, ArgumentsReadTheCallersCurrentContent)
{
    ScriptRun run("function f(x) { v = 10; return x + 0; }\n"
                  "v = 1; r = f(v);");
    ASSERT_EQ(run.error, "");
    // Inside f, v = 10 stores into f's own scope, so x still reads the caller's 1.
    EXPECT_FLOAT_EQ(run.number("r"), 1.0f);
}

TEST(ScriptCalls, FunctionScopeSeesOnlyItsOwnNames)
{
    ScriptRun run("g = 5; function f() { return g; } r = f() + 0;");
    ASSERT_EQ(run.error, "");
    EXPECT_FLOAT_EQ(run.number("r"), 0.0f);
}

TEST(ScriptCalls, NestedNamedFunctionLivesForOneCall)
{
    ScriptRun run("function outer() { function inner() { return 4; } return inner(); }\n"
                  "a = outer(); b = inner();");
    ASSERT_EQ(run.error, "");
    EXPECT_FLOAT_EQ(run.number("a"), 4.0f);
    EXPECT_EQ(run.kind("b"), nullObject.get());
}

TEST(ScriptCalls, FalsyNameFallsThroughToTheParentsCallable)
{
    ScriptRun run("function f() { return 7; }");
    ASSERT_EQ(run.error, "");
    auto scope = autorelease(new Context(run.globals));
    scope->values["f"] = Value(0);
    auto program = parseScript("r = f();");
    program->run(scope);
    EXPECT_FLOAT_EQ(run.number("r"), 7.0f);
}

TEST(ScriptCalls, CallingNonFunctionsYieldsNull)
{
    ScriptRun run("a = 3; r = a(); s = [1](2); t = undefinedName(); u = (4).f();");
    ASSERT_EQ(run.error, "");
    EXPECT_EQ(run.kind("r"), nullObject.get());
    EXPECT_EQ(run.kind("s"), nullObject.get());
    EXPECT_EQ(run.kind("t"), nullObject.get());
    EXPECT_EQ(run.kind("u"), nullObject.get());
}

TEST(ScriptCalls, SelfReferringCalleeDoesNotHang)
{
    ScriptRun run("f = f; r = f(); g = h; h = g; s = h();");
    ASSERT_EQ(run.error, "");
    EXPECT_EQ(run.kind("r"), nullObject.get());
    EXPECT_EQ(run.kind("s"), nullObject.get());
}

TEST(ScriptDeclarations, ScopeWithAParentPassesTheStoreOn)
{
    ScriptRun run("var a = 3; seen = a; function f() { var b = 4; return b; } r = f();");
    ASSERT_EQ(run.error, "");
    EXPECT_EQ(run.integer("a"), 3); // stored in the parent
    EXPECT_EQ(static_cast<Pointer<Element>>(run["seen"]), nullObject); // the script's own a stays null
    EXPECT_EQ(run.integer("r"), 4); // a function scope stores locally
}

TEST(ScriptStrings, ConstantsShareOneObject)
{
    ScriptRun run("function s() { return 'abc'; } a = s(); b = s();");
    ASSERT_EQ(run.error, "");
    EXPECT_EQ(static_cast<Pointer<Element>>(run["a"]), static_cast<Pointer<Element>>(run["b"]));
}
