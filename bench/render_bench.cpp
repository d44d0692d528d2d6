// Cost of one displayed frame (prerender and render) in the point, blob and
// shader modes, drawn headless into a 1280 x 960 frame buffer.
#include <GL/glew.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <string>

#include "standard_scenes.h"
#include "offscreen_context.h"
#include "scene_frame.h"
#include "particle_renderer.h"
#include "particle_simulator.h"

using namespace Zeb::Kamblo;

namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 960;
// Enough steps for the water to move, so the liquid sprites are stretched.
constexpr int kWarmUpSteps = 20;

Pudlet::OffscreenContext* sharedContext(std::string* reason)
{
    static std::string failure;
    static Pudlet::OffscreenContext* context =
        Pudlet::OffscreenContext::create(kWidth, kHeight, &failure, true).release();
    *reason = failure;
    return context && context->makeCurrent() ? context : nullptr;
}

void drawFrame(ParticleData& d, ParticleRenderer& renderer)
{
    Pudlet::loadSceneProjection({kWidth, kHeight, d.scale});
    renderer.prerender();
    Pudlet::clearFrame(d.clearFlag, d.clearColorRed, d.clearColorGreen, d.clearColorBlue);
    renderer.render();
    glFinish();
}

// Arguments: render mode, particle count.
void BM_RenderFrame(benchmark::State& state)
{
    std::string reason;
    if (!sharedContext(&reason)) {
        state.SkipWithError(reason.c_str());
        return;
    }
    auto data = autorelease(new ParticleData());
    auto simulator = autorelease(new ParticleSimulator(data));
    auto renderer = autorelease(new ParticleRenderer(data));
    Bench::makeMixedScene(*data, int(state.range(1)));
    for (int i = 0; i < kWarmUpSteps; ++i)
        simulator->simulate();
    data->renderMode = int(state.range(0));
    // The whole scene box in view, as large as the frame allows.
    data->scale = std::min(kWidth / (data->boundsRight - data->boundsLeft),
                           kHeight / (data->boundsTop - data->boundsBottom));
    drawFrame(*data, *renderer); // creates sprites, lists and off-screen images
    for (auto _ : state)
        drawFrame(*data, *renderer);
    state.counters["particles"] = data->count;
}

} // namespace

BENCHMARK(BM_RenderFrame)
    ->ArgNames({"mode", "particles"})
    ->ArgsProduct({{1, 6, 7}, {5000, 20000}})
    ->Unit(benchmark::kMillisecond);
