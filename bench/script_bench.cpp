// Cost of the tree-walking evaluator: a loop of arithmetic and variable access.
#include <benchmark/benchmark.h>

#include "script.h"
#include "script_statement.h"
#include "script_types.h"

using namespace Zeb::Kamblo;

namespace {

constexpr int kIterations = 100000;

const char* kLoopSource = "sum = 0; x = 1.5;\n"
                          "for (i = 0; i < 100000; i++) {\n"
                          "    y = x * 2 + i;\n"
                          "    sum = sum + y % 7 - x / 3;\n"
                          "}\n";

void BM_ScriptArithmeticLoop(benchmark::State& state)
{
    ScriptLimits::current().nodeBudget = 100'000'000;
    auto program = parseScript(kLoopSource);
    auto globals = autorelease(new Context());
    for (auto _ : state) {
        runScript(program, globals);
        benchmark::DoNotOptimize(float(globals->getValue("sum")));
    }
    state.counters["per_iteration"] = benchmark::Counter(
        double(kIterations), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_ScriptParse(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(parseScript(kLoopSource).get());
}

} // namespace

BENCHMARK(BM_ScriptArithmeticLoop)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScriptParse)->Unit(benchmark::kMicrosecond);
