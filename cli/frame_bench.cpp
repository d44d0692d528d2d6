// pudlet-cli bench --frames: milliseconds per displayed frame of the standard
// scenes in every render mode, drawn headless the way a desktop host draws.
#include "frame_bench.h"

#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "cli_arguments.h"
#include "cli_commands.h"
#include "offscreen_context.h"
#include "particle_data.h"
#include "particle_renderer.h"
#include "particle_simulator.h"
#include "scene_frame.h"
#include "scene_session.h"
#include "standard_scenes.h"

namespace PudletCli {

using namespace Zeb::Kamblo;

namespace {

// Water filling a 4:3 world box (128 x 96 units, 10 pixels a unit at
// 1280 x 960): the case where every pixel of the frame is covered by sprites.
const char* const kFullFrameScene = "water-frame-20k";

void makeFullFrameWater(ParticleData& d)
{
    d.clear();
    d.boundsLeft = 0;
    d.boundsBottom = 0;
    d.boundsRight = 128;
    d.boundsTop = 96;
    constexpr int count = 20000;
    constexpr int columns = 163;
    const float spacing = d.standardDistance;
    for (int i = 0; i < count; ++i) {
        const int p = d.createParticle(0);
        d.info[p] = ParticleData::materialInfo('q');
        d.color[p] = ParticleData::materialColor('q');
        d.position[p] = d.anchor[p] = float2(2.5f + spacing * float(i % columns), 2 + spacing * float(i / columns));
    }
}

// One frame as the hosts draw it, finished before it returns.
void drawFrame(ParticleData& d, ParticleRenderer& renderer, int width, int height)
{
    Pudlet::loadSceneProjection({width, height, d.scale});
    renderer.prerender();
    Pudlet::clearFrame(d.clearFlag, d.clearColorRed, d.clearColorGreen, d.clearColorBlue);
    renderer.render();
    glFinish();
}

// CPU time of the whole process, the rasterizer's threads included: on a
// shared machine it leaves out the waiting for a core that wall time counts.
double processCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) * 1e-6;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct Timings {
    std::vector<double> wall; // median ms per mode
    std::vector<double> cpu;
};

// Times options.frames frames of each mode (after one untimed frame, which
// makes the off-screen images and lists); mode is set before each draw.
template <class Draw>
Timings measureModes(const FrameBenchOptions& options, int& mode, Draw draw)
{
    Timings timings;
    for (int m : options.modes) {
        mode = m;
        draw();
        std::vector<double> wall;
        std::vector<double> cpu;
        for (int f = 0; f < options.frames; ++f) {
            const auto start = std::chrono::steady_clock::now();
            const double cpuStart = processCpuMs();
            draw();
            cpu.push_back(processCpuMs() - cpuStart);
            wall.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        }
        timings.wall.push_back(median(wall));
        timings.cpu.push_back(median(cpu));
    }
    return timings;
}

void printRow(const std::string& name, int particles, const Timings& timings)
{
    std::printf("%-16s %10d %5s", name.c_str(), particles, "wall");
    for (double ms : timings.wall)
        std::printf(" %8.1f", ms);
    std::printf("\n%-16s %10s %5s", "", "", "cpu");
    for (double ms : timings.cpu)
        std::printf(" %8.1f", ms);
    std::printf("\n");
    std::fflush(stdout);
}

} // namespace

std::vector<std::string> frameBenchScenes()
{
    std::vector<std::string> names = Bench::standardSceneNames();
    names.insert(names.begin(), kFullFrameScene);
    return names;
}

int frameBench(const FrameBenchOptions& options)
{
    std::string reason;
    std::unique_ptr<Pudlet::OffscreenContext> context =
        Pudlet::OffscreenContext::create(options.width, options.height, &reason);
    if (!context)
        throw Failure("cannot create a headless OpenGL context: " + reason);
    const char* threads = std::getenv("LP_NUM_THREADS");
    std::printf("renderer: %s; LP_NUM_THREADS=%s; %dx%d; %d warm-up steps; median of %d frames per mode\n",
                context->renderer().c_str(), threads ? threads : "(default)", options.width, options.height,
                options.warmUpSteps, options.frames);
    std::printf("%-16s %10s %5s", "scene", "particles", "clock");
    for (int mode : options.modes)
        std::printf(" %8s", ("mode " + std::to_string(mode)).c_str());
    std::printf("   (ms per frame)\n");
    std::fflush(stdout);

    for (const std::string& name : options.scenes) {
        auto data = autorelease(new ParticleData());
        if (name == kFullFrameScene)
            makeFullFrameWater(*data);
        else if (!Bench::makeStandardScene(name, *data))
            throw Failure("the benchmark scene '" + name + "' cannot be built");
        auto simulator = autorelease(new ParticleSimulator(data));
        // Moving water, so that the liquid sprites are stretched as in play.
        for (int i = 0; i < options.warmUpSteps; ++i)
            simulator->simulate();
        // The whole world box in view, as large as the frame allows.
        data->scale = std::min(float(options.width) / (data->boundsRight - data->boundsLeft),
                               float(options.height) / (data->boundsTop - data->boundsBottom));
        auto renderer = autorelease(new ParticleRenderer(data));
        printRow(name, data->count, measureModes(options, data->renderMode, [&] {
                     drawFrame(*data, *renderer, options.width, options.height);
                 }));
    }
    // Scene files as the desktop hosts show them: the walls follow the
    // frame's edges at the scene's own scale.
    for (const std::string& file : options.sceneFiles) {
        Pudlet::EngineHandle engine = Pudlet::newEngine();
        std::string error;
        if (!Pudlet::openScene(*engine, file, &error))
            throw Failure(error);
        Pudlet::followViewSize(*engine, options.width, options.height);
        for (int i = 0; i < options.warmUpSteps; ++i)
            engine->simulate();
        const Pudlet::FrameView view{options.width, options.height, engine->scale()};
        int mode = engine->renderMode();
        const Timings timings = measureModes(options, mode, [&] {
            engine->setRenderMode(mode);
            Pudlet::drawFrame(*engine, view);
            glFinish();
        });
        printRow(std::filesystem::path(file).filename().string(), engine->countParticles(), timings);
    }
    return kExitSuccess;
}

} // namespace PudletCli
