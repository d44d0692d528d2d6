// Cost of the neighbour search and of whole steps, per particle and step.
#include <benchmark/benchmark.h>

#include "bench_scenes.h"
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
        data->searchParticleNeighbors();
        benchmark::DoNotOptimize(data->neighbors.data());
    }
    reportPerParticleStep(state, data->count);
}

void BM_WaterStep(benchmark::State& state)
{
    auto data = autorelease(new ParticleData());
    auto simulator = autorelease(new ParticleSimulator(data));
    Bench::makeWaterScene(*data, int(state.range(0)));
    for (int i = 0; i < kWarmUpSteps; ++i)
        simulator->simulate();
    for (auto _ : state)
        simulator->simulate();
    reportPerParticleStep(state, data->count);
}

void BM_MixedStep(benchmark::State& state)
{
    auto data = autorelease(new ParticleData());
    auto simulator = autorelease(new ParticleSimulator(data));
    Bench::makeMixedScene(*data, int(state.range(0)));
    for (int i = 0; i < kWarmUpSteps; ++i)
        simulator->simulate();
    for (auto _ : state)
        simulator->simulate();
    reportPerParticleStep(state, data->count);
}

} // namespace

BENCHMARK(BM_SearchNeighbors)->Arg(5000)->Arg(20000)->Arg(60000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WaterStep)->Arg(5000)->Arg(20000)->Arg(60000)->Unit(benchmark::kMillisecond);

BENCHMARK(BM_MixedStep)->Name("mixed-20k")->Arg(20000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
