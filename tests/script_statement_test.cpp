#include "script_statement.h"

#include "script.h"
#include "script_harness.h"

#include <gtest/gtest.h>

using namespace Zeb::Kamblo;
using Zeb::Kamblo::Testing::ScriptRun;

namespace {

// Restores the thread's limits after a test changes them.
struct LimitsGuard {
    LimitsGuard() : saved(ScriptLimits::current()) {}
    ~LimitsGuard() { ScriptLimits::current() = saved; }
    ScriptLimits saved;
};

} // namespace

TEST(ScriptLoops, WhileDoAndFor)
{
    ScriptRun run("i = 0; n = 0; while (i < 5) { i++; n += i; }\n"
                  "d = 0; do d++; while (0)\n"
                  "f = 0; for (k = 0; k < 4; k++) f += k;");
    ASSERT_EQ(run.error, "");
    EXPECT_FLOAT_EQ(run.number("n"), 15.0f);
    EXPECT_FLOAT_EQ(run.number("d"), 1.0f); // the body runs before the first test
    EXPECT_FLOAT_EQ(run.number("f"), 6.0f);
}

TEST(ScriptLoops, ContinueInForRunsTheStepFirst)
{
    ScriptRun run("s = 0; for (i = 0; i < 6; i++) { if (i % 2) continue; s += i; }\n"
                  "w = 0; j = 0; while (j < 3) { j++; if (j == 2) continue; w += j; }\n"
                  "c = 0; do { c++; continue; } while (c < 3)");
    ASSERT_EQ(run.error, "");
    EXPECT_FLOAT_EQ(run.number("s"), 6.0f);
    EXPECT_FLOAT_EQ(run.number("w"), 4.0f);
    EXPECT_FLOAT_EQ(run.number("c"), 3.0f);
}

TEST(ScriptLoops, BreakEndsOnlyTheInnermostLoop)
{
    ScriptRun run("n = 0; for (i = 0; i < 3; i++) { for (j = 0; j < 10; j++) { if (j == 2) break; n++; } }");
    ASSERT_EQ(run.error, "");
    EXPECT_FLOAT_EQ(run.number("n"), 6.0f);
}

TEST(ScriptLoops, BreakInsideACalledFunctionEndsTheCallersLoop)
{
    ScriptRun run("function stop() { break; }\n"
                  "n = 0; while (1) { n++; if (n == 3) stop(); }");
    ASSERT_EQ(run.error, "");
    EXPECT_FLOAT_EQ(run.number("n"), 3.0f);
}

TEST(ScriptControl, UncaughtControlReachesTheTopWithItsLine)
{
    EXPECT_EQ(ScriptRun("a = 1;\nbreak;").error, "line 2: uncaught break");
    EXPECT_EQ(ScriptRun("continue").error, "line 1: continue break");
    EXPECT_EQ(ScriptRun("\n\nreturn 4").error, "line 3: uncaught return");
    EXPECT_EQ(ScriptRun("function f() { break; }\nf();").error, "line 1: uncaught break");
}

TEST(ScriptControl, ReturnLeavesLoopsInsideFunctions)
{
    ScriptRun run("function find() { for (i = 0; i < 10; i++) if (i == 4) return i; return -1; }\n"
                  "r = find();");
    ASSERT_EQ(run.error, "");
    EXPECT_FLOAT_EQ(run.number("r"), 4.0f);
}

TEST(ScriptControl, IfElse)
{
    ScriptRun run("if (0) a = 1; else a = 2;\nif ('') b = 1;\nif ('0') c = 1; else c = 2;");
    ASSERT_EQ(run.error, "");
    EXPECT_FLOAT_EQ(run.number("a"), 2.0f);
    EXPECT_EQ(run.kind("b"), nullObject.get());
    EXPECT_FLOAT_EQ(run.number("c"), 1.0f);
}

TEST(ScriptControl, RecursionWorks)
{
    // A function sees only its own scope, so it recurses through a parameter.
    ScriptRun run("function fib(f, n) { return n < 2 ? n : f(f, n - 1) + f(f, n - 2); }\nr = fib(fib, 15);");
    ASSERT_EQ(run.error, "");
    EXPECT_FLOAT_EQ(run.number("r"), 610.0f);
}

TEST(ScriptLimits, EndlessLoopRunsOutOfBudget)
{
    EXPECT_EQ(ScriptRun("i = 0;\nwhile (1) i++;").error, "line 2: script ran too long");
    EXPECT_EQ(ScriptRun("for (1; 1; 1) {}").error, "line 1: script ran too long");
}

TEST(ScriptLimits, BudgetIsConfigurable)
{
    LimitsGuard guard;
    ScriptLimits::current().nodeBudget = 100;
    EXPECT_EQ(ScriptRun("for (i = 0; i < 5; i++) {}").error, "");
    EXPECT_EQ(ScriptRun("for (i = 0; i < 50; i++) {}").error, "line 1: script ran too long");
}

TEST(ScriptLimits, EachRunGetsAFreshBudget)
{
    LimitsGuard guard;
    ScriptLimits::current().nodeBudget = 200;
    auto program = parseScript("for (i = 0; i < 10; i++) {}");
    auto globals = autorelease(new Context());
    for (int run = 0; run < 5; ++run)
        EXPECT_NO_THROW(runScript(program, globals));
}

TEST(ScriptLimits, RunawayRecursionStopsInOrder)
{
    EXPECT_EQ(ScriptRun("function f(g) { return g(g); }\nf(f);").error, "line 1: too many nested calls");
    // A deep but bounded recursion is fine.
    ScriptRun run("function depth(f, n) { return n == 0 ? 0 : 1 + f(f, n - 1); }\nr = depth(depth, 200);");
    ASSERT_EQ(run.error, "");
    EXPECT_FLOAT_EQ(run.number("r"), 200.0f);
}

TEST(ScriptLimits, CallDepthLimitIsConfigurable)
{
    LimitsGuard guard;
    ScriptLimits::current().maxCallDepth = 10;
    EXPECT_EQ(ScriptRun("function d(f, n) { return n == 0 ? 0 : f(f, n - 1); }\nd(d, 8);").error, "");
    EXPECT_EQ(ScriptRun("function d(f, n) { return n == 0 ? 0 : f(f, n - 1); }\nd(d, 20);").error,
              "line 1: too many nested calls");
}

TEST(ScriptLimits, NestingDepthOfEvaluationIsBounded)
{
    LimitsGuard guard;
    ScriptLimits::current().maxDepth = 50;
    EXPECT_EQ(ScriptRun("function d(f, n) { return n == 0 ? 0 : f(f, n - 1); }\nd(d, 100);").error,
              "line 1: script nested too deeply");
}

TEST(ScriptLimits, LeakingCyclesAreBoundedByTheBudget)
{
    // Every call leaves a scope alive through a cycle; the budget stops the
    // loop long before memory becomes a problem.
    LimitsGuard guard;
    [[maybe_unused]] Zeb::Kamblo::Testing::IntendedLeaks leaks;
    ScriptLimits::current().nodeBudget = 20000;
    EXPECT_EQ(ScriptRun("function f() { var a = [a]; } while (1) f();").error, "line 1: script ran too long");
}

TEST(ScriptLimits, LongReferenceChainsAreChargedToTheBudget)
{
    // Each call links a new scope to the previous one; reading the end of the
    // chain repeatedly would be quadratic without charging the hops.
    LimitsGuard guard;
    ScriptLimits::current().nodeBudget = 200000;
    std::string error = ScriptRun("function wrap(v) { return [v]; }\n"
                                  "a = [0]; for (i = 0; i < 3000; i++) a = wrap(a[0]);\n"
                                  "for (j = 0; j < 1000000; j++) x = a[0] + 1;")
                            .error;
    EXPECT_EQ(error, "line 3: script ran too long");
}

TEST(ScriptLimits, ChainBuiltByAScriptIsFreedSafely)
{
    ScriptRun run("function wrap(v) { return [v]; }\n"
                  "a = [1]; for (i = 0; i < 30000; i++) a = wrap(a[0]);");
    ASSERT_EQ(run.error, "");
    EXPECT_EQ(run.integer("i"), 30000);
    run.globals = nullptr; // frees 30000 linked scopes without recursing
}

TEST(ScriptEntry, ParsesAndRunsInAScopeUnderAnyElement)
{
    auto outer = autorelease(new Context());
    EXPECT_EQ(executeScript("x = 2 * 21", outer), "");
    EXPECT_FLOAT_EQ(float(outer->getValue("x")), 42.0f);
    EXPECT_EQ(executeScript("x = (", outer), "line 1: unexpected 'end of script'");
    EXPECT_EQ(executeScript("y = 1", nullptr), ""); // a scope of its own
}
