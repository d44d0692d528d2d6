#pragma once
// The standard benchmark scenes and the measurement of one of them, shared by
// the benchmark programs and the headless tool's `bench` command.
#include <cstdint>
#include <string>
#include <vector>

#include "particle_data.h"

namespace Zeb::Kamblo::Bench {

// A dam break: a square block of n water particles on the lattice, resting
// against the left wall of bounds twice as wide as the block.
void makeWaterScene(ParticleData& d, int n);
// n water particles filling a window of width x height units from the floor.
void makeWindowWaterScene(ParticleData& d, float width, float height, int n);
// Water, elastic slabs, rigid boxes, a wall shelf, a powder heap and rigid fuel
// blocks burning on a hot floor, n particles in all.
void makeMixedScene(ParticleData& d, int n);
// A hundred rigid 6 x 6 boxes in staggered rows, falling into a pile.
void makeRigidPileScene(ParticleData& d);

// Names of the standard scenes, in the order a full run measures them.
const std::vector<std::string>& standardSceneNames();
// Builds the named scene into d; false for an unknown name.
bool makeStandardScene(const std::string& name, ParticleData& d);

// Time of one group of passes of the step, and of the pair-list loop of the
// same shape with trivial arithmetic (0 where no such floor exists).
struct PassTime {
    std::string name;
    double nsPerParticleStep = 0;
    double floorNsPerParticleStep = 0;
};

struct SceneResult {
    std::string name;
    int threads = 1;
    int particles = 0;                // at the first measured step
    // Median over the measured steps: the thread's CPU time with one thread
    // (what the work costs on a shared machine), wall-clock time with more.
    double nsPerParticleStep = 0;
    double wallNsPerParticleStep = 0; // median wall-clock time, any thread count
    double allocationsPerStep = 0;    // mean over the measured steps; NaN: not counted
    double peakRssMb = 0;             // high-water mark while the scene ran
    bool peakRssIsPerScene = false;   // false: the process's peak so far
    double pairsPerParticle = 0;
    // Floors on the same arrays and pair list, ns per particle-step.
    double streamFloorNs = 0;         // one streaming read of arrays and pairs
    double pairFloorNs = 0;           // density + pressure + damping shaped replays
    std::vector<PassTime> passes;     // medians of profiled steps after the run
};

struct RunOptions {
    int threads = 0;             // worker threads of the step; 0: the machine's
    int firstMeasuredStep = 200;
    int endMeasuredStep = 1200;  // exclusive
    int profiledSteps = 50;      // per-pass timing and floors, after the run
    // Heap allocations made by the process so far. Only a program that
    // replaces the allocator can count them (the benchmark programs do); null
    // leaves allocationsPerStep unmeasured (NaN).
    std::uint64_t (*allocationCount)() = nullptr;
};

// Builds the named scene, steps it from rest and measures it. False for an
// unknown name.
bool runStandardScene(const std::string& name, SceneResult& result, const RunOptions& options = {});

// {"scenes": [...], "floor": {...}}, the floors and pass ratios keyed by scene.
std::string resultsJson(const std::vector<SceneResult>& results);

} // namespace Zeb::Kamblo::Bench
