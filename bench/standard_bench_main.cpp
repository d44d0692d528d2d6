// Runs the standard scenes, each several times, and prints for each the run
// with the median cost: a table for people, then the same numbers as JSON.
//   pudlet_standard_bench [--repetitions N] [--steps FIRST END] [--threads N] [scene ...]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "counting_allocator.h"
#include "standard_scenes.h"

using namespace Zeb::Kamblo::Bench;

int main(int argc, char** argv)
{
    int repetitions = 3;
    RunOptions options;
    options.allocationCount = allocationCount;
    std::vector<std::string> scenes;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--repetitions") && i + 1 < argc) {
            repetitions = std::max(1, std::atoi(argv[++i]));
        } else if (!std::strcmp(argv[i], "--threads") && i + 1 < argc) {
            options.threads = std::max(1, std::atoi(argv[++i]));
        } else if (!std::strcmp(argv[i], "--steps") && i + 2 < argc) {
            options.firstMeasuredStep = std::atoi(argv[++i]);
            options.endMeasuredStep = std::atoi(argv[++i]);
        } else {
            scenes.push_back(argv[i]);
        }
    }
    if (scenes.empty())
        scenes = standardSceneNames();

    std::vector<SceneResult> medians;
    for (const std::string& name : scenes) {
        std::vector<SceneResult> runs;
        for (int r = 0; r < repetitions; ++r) {
            SceneResult result;
            if (!runStandardScene(name, result, options)) {
                std::fprintf(stderr, "unknown scene: %s\n", name.c_str());
                return 2;
            }
            std::fprintf(stderr, "%s run %d: %.1f ns per particle-step\n", name.c_str(), r + 1, result.nsPerParticleStep);
            runs.push_back(result);
        }
        std::sort(runs.begin(), runs.end(),
                  [](const SceneResult& a, const SceneResult& b) { return a.nsPerParticleStep < b.nsPerParticleStep; });
        medians.push_back(runs[runs.size() / 2]);
    }

    std::printf("%-10s %9s %8s %8s %8s %8s %8s %6s\n", "scene", "particles", "ns/p-s", "allocs", "rss MB", "stream",
                "pairs", "ratio");
    for (const SceneResult& r : medians) {
        std::printf("%-10s %9d %8.1f %8.3f %8.1f %8.1f %8.1f %6.2f\n", r.name.c_str(), r.particles, r.nsPerParticleStep,
                    r.allocationsPerStep, r.peakRssMb, r.streamFloorNs, r.pairFloorNs,
                    r.pairFloorNs > 0 ? r.nsPerParticleStep / r.pairFloorNs : 0.0);
        for (const PassTime& p : r.passes) {
            std::printf("    %-24s %8.1f", p.name.c_str(), p.nsPerParticleStep);
            if (p.floorNsPerParticleStep > 0)
                std::printf("  floor %6.1f  ratio %5.2f", p.floorNsPerParticleStep,
                            p.nsPerParticleStep / p.floorNsPerParticleStep);
            std::printf("\n");
        }
    }
    std::printf("%s\n", resultsJson(medians).c_str());
    return 0;
}
