// pudlet-cli bench: the standard benchmark scenes, in ns per particle-step.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cli_arguments.h"
#include "cli_commands.h"
#include "frame_bench.h"
#include "progress_bar.h"
#include "particle_step_context.h"
#include "standard_scenes.h"

namespace PudletCli {

using namespace Zeb::Kamblo;

const char* const kBenchHelp =
    "Usage: pudlet-cli bench [OPTIONS]\n"
    "\n"
    "Steps the standard benchmark scenes from rest and prints, for each, the\n"
    "particle count, the median cost in ns per particle-step and the peak resident\n"
    "memory. Heap allocations per step are counted by pudlet_standard_bench (a\n"
    "benchmark build) only; this tool keeps the standard allocator and reports\n"
    "them as n/a (null in JSON).\n"
    "\n"
    "Options:\n"
    "  --json               print {\"scenes\": [...], \"floor\": {...}} instead of a table\n"
    "  --scene NAME         measure only this scene (repeatable); the scenes are\n"
    "                       water-5k, water-20k, water-60k, water-250k, mixed-20k,\n"
    "                       rigid-100\n"
    "                       (and, with --frames, water-frame-20k)\n"
    "  --warm-up-steps N    steps before measuring (default 200)\n"
    "  --measured-steps N   steps measured (default 1000)\n"
    "  --threads N          worker threads of the simulation, 1-256 (default: the\n"
    "                       machine's hardware threads); with more than one, times\n"
    "                       are wall-clock rather than the thread's CPU time\n"
    "  --help               show this help\n"
    "\n"
    "Frame times:\n"
    "  --frames             instead of stepping, draw each scene (after 60 steps,\n"
    "                       or --warm-up-steps) in render modes 1-7 and print the\n"
    "                       median ms per frame, wall and process CPU time; set\n"
    "                       LP_NUM_THREADS to choose Mesa's rasterizer threads\n"
    "  --frame-count N      timed frames per mode (default 5)\n"
    "  --mode M             measure only this render mode, 0-10 (repeatable)\n"
    "  --size WxH           frame size in pixels (default 1280x960)\n"
    "  --scene-file FILE    also draw this scene file as the desktop hosts show\n"
    "                       it, walls following the frame at the scene's scale\n"
    "                       (repeatable; without --scene only the files)\n";

namespace {

constexpr long long kMaxBenchSteps = 1000000;
constexpr long long kMaxFrameCount = 10000;
constexpr int kMaxFrameSide = 8192;

std::string knownScenes()
{
    std::string list;
    for (const std::string& name : frameBenchScenes())
        list += (list.empty() ? "" : ", ") + name;
    return list;
}

} // namespace

int benchCommand(const std::vector<std::string>& arguments)
{
    bool json = false;
    std::vector<std::string> scenes;
    Bench::RunOptions options;
    long long measured = options.endMeasuredStep - options.firstMeasuredStep;
    bool frames = false;
    bool warmUpGiven = false;
    FrameBenchOptions frameOptions;
    std::vector<int> frameModes;
    std::string frameOnly; // the last option given that needs --frames
    ArgumentReader reader(arguments);
    while (!reader.done()) {
        const std::string argument = reader.take();
        if (argument == "--json")
            json = true;
        else if (argument == "--scene") {
            const std::string name = reader.value(argument);
            bool known = false;
            for (const std::string& candidate : frameBenchScenes())
                known = known || candidate == name;
            if (!known)
                throw UsageError("unknown scene '" + name + "' (known: " + knownScenes() + ")");
            scenes.push_back(name);
        } else if (argument == "--warm-up-steps") {
            options.firstMeasuredStep = int(parseInteger(argument, reader.value(argument), 0, kMaxBenchSteps));
            warmUpGiven = true;
        } else if (argument == "--threads") {
            options.threads = int(parseInteger(argument, reader.value(argument), 1, Zeb::Kamblo::kMaxThreads));
        } else if (argument == "--measured-steps") {
            measured = parseInteger(argument, reader.value(argument), 1, kMaxBenchSteps);
        } else if (argument == "--frames") {
            frames = true;
        } else if (argument == "--mode") {
            frameModes.push_back(int(parseInteger(argument, reader.value(argument), 0, 10)));
            frameOnly = argument;
        } else if (argument == "--frame-count") {
            frameOptions.frames = int(parseInteger(argument, reader.value(argument), 1, kMaxFrameCount));
            frameOnly = argument;
        } else if (argument == "--scene-file") {
            frameOptions.sceneFiles.push_back(std::filesystem::absolute(reader.value(argument)).string());
            frameOnly = argument;
        } else if (argument == "--size") {
            const PixelSize size = parseSize(argument, reader.value(argument), kMaxFrameSide);
            frameOptions.width = size.width;
            frameOptions.height = size.height;
            frameOnly = argument;
        } else
            throw UsageError("unexpected argument '" + argument + "'");
    }
    if (!frames && !frameOnly.empty())
        throw UsageError(frameOnly + " needs --frames");
    for (const std::string& name : scenes) {
        const std::vector<std::string>& standard = Bench::standardSceneNames();
        if (!frames && std::find(standard.begin(), standard.end(), name) == standard.end())
            throw UsageError("the scene '" + name + "' is measured only with --frames");
    }
    if (frames) {
        if (!scenes.empty())
            frameOptions.scenes = scenes;
        else if (frameOptions.sceneFiles.empty())
            frameOptions.scenes = frameBenchScenes();
        if (!frameModes.empty())
            frameOptions.modes = frameModes;
        if (warmUpGiven)
            frameOptions.warmUpSteps = options.firstMeasuredStep;
        return frameBench(frameOptions);
    }
    options.endMeasuredStep = options.firstMeasuredStep + int(measured);
    if (scenes.empty())
        scenes = Bench::standardSceneNames();

    std::vector<Bench::SceneResult> results;
    ProgressBar progress(int64_t(scenes.size()), "scenes");
    for (const std::string& name : scenes) {
        Bench::SceneResult result;
        if (!Bench::runStandardScene(name, result, options))
            throw Failure("the benchmark scene '" + name + "' cannot be built");
        results.push_back(result);
        progress.update(int64_t(results.size()));
    }
    progress.finish();

    if (json) {
        std::printf("%s\n", Bench::resultsJson(results).c_str());
        return kExitSuccess;
    }
    std::printf("%-12s %7s %10s %16s %12s %12s\n", "scene", "threads", "particles", "ns/particle-step", "allocs/step",
                "peak RSS MB");
    for (const Bench::SceneResult& r : results) {
        char allocations[32] = "n/a";
        if (std::isfinite(r.allocationsPerStep))
            std::snprintf(allocations, sizeof allocations, "%.3f", r.allocationsPerStep);
        std::printf("%-12s %7d %10d %16.1f %12s %12.1f%s\n", r.name.c_str(), r.threads, r.particles,
                    r.nsPerParticleStep, allocations, r.peakRssMb, r.peakRssIsPerScene ? "" : " (process)");
    }
    return kExitSuccess;
}

} // namespace PudletCli
