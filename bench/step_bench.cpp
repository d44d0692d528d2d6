// Cost of the neighbour search and of whole steps, per particle and step.
#include <benchmark/benchmark.h>

#include <string>

#include "standard_scenes.h"
#include "particle_simulator.h"

using namespace Zeb::Kamblo;

namespace {

constexpr int kWarmUpSteps = 50;

void reportPerParticleStep(benchmark::State& state, int particles)
{
    state.counters["particles"] = particles;
    state.counters["per_particle_step"] = benchmark::Counter(
        double(particles), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_SearchNeighbors(benchmark::State& state)
{
    auto data = autorelease(new ParticleData());
    auto simulator = autorelease(new ParticleSimulator(data));
    Bench::makeWaterScene(*data, int(state.range(0)));
    for (int i = 0; i < kWarmUpSteps; ++i)
        simulator->simulate();
    for (auto _ : state) {
        simulator->context.searchNeighbors(*data);
        benchmark::DoNotOptimize(data->neighbors.data());
    }
    reportPerParticleStep(state, data->count);
}

// One whole step of a standard scene, after the warm-up; the full measurement
// with floors and allocation counts is pudlet_standard_bench.
void BM_StandardStep(benchmark::State& state, const std::string& name)
{
    auto data = autorelease(new ParticleData());
    auto simulator = autorelease(new ParticleSimulator(data));
    Bench::makeStandardScene(name, *data);
    for (int i = 0; i < kWarmUpSteps; ++i)
        simulator->simulate();
    for (auto _ : state)
        simulator->simulate();
    reportPerParticleStep(state, data->count);
}

} // namespace

BENCHMARK(BM_SearchNeighbors)->Arg(5000)->Arg(20000)->Arg(60000)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    for (const std::string& name : Bench::standardSceneNames())
        benchmark::RegisterBenchmark(("step/" + name).c_str(), BM_StandardStep, name)->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
