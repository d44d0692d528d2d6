// pudlet-cli bench: the standard benchmark scenes, in ns per particle-step.
#include <cstdio>
#include <string>
#include <vector>

#include "cli_arguments.h"
#include "cli_commands.h"
#include "progress_bar.h"
#include "particle_step_context.h"
#include "standard_scenes.h"

namespace PudletCli {

using namespace Zeb::Kamblo;

const char* const kBenchHelp =
    "Usage: pudlet-cli bench [OPTIONS]\n"
    "\n"
    "Steps the standard benchmark scenes from rest and prints, for each, the\n"
    "particle count, the median cost in ns per particle-step, heap allocations per\n"
    "step and the peak resident memory.\n"
    "\n"
    "Options:\n"
    "  --json               print {\"scenes\": [...], \"floor\": {...}} instead of a table\n"
    "  --scene NAME         measure only this scene (repeatable); the scenes are\n"
    "                       water-5k, water-20k, water-60k, water-250k, mixed-20k,\n"
    "                       rigid-100\n"
    "  --warm-up-steps N    steps before measuring (default 200)\n"
    "  --measured-steps N   steps measured (default 1000)\n"
    "  --threads N          worker threads of the simulation, 1-256 (default: the\n"
    "                       machine's hardware threads); with more than one, times\n"
    "                       are wall-clock rather than the thread's CPU time\n"
    "  --help               show this help\n";

namespace {

constexpr long long kMaxBenchSteps = 1000000;

std::string knownScenes()
{
    std::string list;
    for (const std::string& name : Bench::standardSceneNames())
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
    ArgumentReader reader(arguments);
    while (!reader.done()) {
        const std::string argument = reader.take();
        if (argument == "--json")
            json = true;
        else if (argument == "--scene") {
            const std::string name = reader.value(argument);
            bool known = false;
            for (const std::string& candidate : Bench::standardSceneNames())
                known = known || candidate == name;
            if (!known)
                throw UsageError("unknown scene '" + name + "' (known: " + knownScenes() + ")");
            scenes.push_back(name);
        } else if (argument == "--warm-up-steps")
            options.firstMeasuredStep = int(parseInteger(argument, reader.value(argument), 0, kMaxBenchSteps));
        else if (argument == "--threads")
            options.threads = int(parseInteger(argument, reader.value(argument), 1, Zeb::Kamblo::kMaxThreads));
        else if (argument == "--measured-steps")
            measured = parseInteger(argument, reader.value(argument), 1, kMaxBenchSteps);
        else
            throw UsageError("unexpected argument '" + argument + "'");
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
    for (const Bench::SceneResult& r : results)
        std::printf("%-12s %7d %10d %16.1f %12.3f %12.1f%s\n", r.name.c_str(), r.threads, r.particles,
                    r.nsPerParticleStep, r.allocationsPerStep, r.peakRssMb, r.peakRssIsPerScene ? "" : " (process)");
    return kExitSuccess;
}

} // namespace PudletCli
