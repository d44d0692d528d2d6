// Cost of brush strokes on a full-HD scene (1920 x 1080 pixels at scale 8,
// bounds 240 x 135 units), per pointer move.
#include <benchmark/benchmark.h>

#include <cmath>

#include "particle_builder.h"

using namespace Zeb::Kamblo;

namespace {

constexpr int kSegments = 24;

void makeFullHdScene(ParticleData& d, bool withWater, ParticleBuilder& builder)
{
    d.clear();
    d.boundsLeft = 0;
    d.boundsBottom = 0;
    d.boundsRight = 240;
    d.boundsTop = 135;
    if (withWater) {
        builder.setMaterial('q');
        builder.fillRect({0, 0}, {240, 40}); // about 17,000 particles below the stroke
    }
}

// A wavy stroke across the scene, as a fast drag delivers it: one segment per
// pointer move, about 9 units (72 pixels) long.
void BM_BrushStroke(benchmark::State& state)
{
    auto data = autorelease(new ParticleData());
    auto builder = autorelease(new ParticleBuilder(data));
    makeFullHdScene(*data, state.range(0) != 0, *builder);
    builder->setMaterial('v');
    float2 points[kSegments + 1];
    for (int i = 0; i <= kSegments; ++i)
        points[i] = float2(10 + 220 * float(i) / kSegments, 70 + 20 * std::sin(float(i) * 0.5f));

    for (auto _ : state) {
        builder->prepareForDrawing(points[0], data->mouseRadius);
        float2 last = points[0];
        for (int i = 1; i <= kSegments; ++i)
            last = builder->drawLine(last, points[i], data->lineWidth);
        benchmark::DoNotOptimize(data->count);
    }
    state.counters["particles"] = data->count;
    state.counters["per_segment"] = benchmark::Counter(
        double(kSegments), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// A wide brush (width 8) on the same scene.
void BM_WideBrushStroke(benchmark::State& state)
{
    auto data = autorelease(new ParticleData());
    auto builder = autorelease(new ParticleBuilder(data));
    makeFullHdScene(*data, state.range(0) != 0, *builder);
    builder->setMaterial('v');
    for (auto _ : state) {
        float2 last(10, 90);
        for (int i = 1; i <= kSegments; ++i)
            last = builder->drawLine(last, float2(10 + 220 * float(i) / kSegments, 90), 8);
        benchmark::DoNotOptimize(data->count);
    }
    state.counters["particles"] = data->count;
    state.counters["per_segment"] = benchmark::Counter(
        double(kSegments), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

} // namespace

BENCHMARK(BM_BrushStroke)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WideBrushStroke)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
