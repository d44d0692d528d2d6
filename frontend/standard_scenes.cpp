// Measurement of the standard benchmark scenes: whole steps timed one by one,
// heap allocations counted, and the floors that say how fast the same
// data could be streamed or replayed through the pair list.
#include "standard_scenes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <sstream>
#include <time.h>

#include "particle_simulator.h"

namespace Zeb::Kamblo::Bench {

namespace {

// The thread's own CPU time: on a shared, loaded machine it measures the cost
// of the work itself rather than the time spent waiting for a core. A step on
// several threads is timed by the wall clock instead, since the calling
// thread's CPU time leaves out the workers' share.
struct Clock {
    using time_point = double;
    static inline bool wall = false;
    static double now() { return read(wall ? CLOCK_MONOTONIC : CLOCK_THREAD_CPUTIME_ID); }
    static double wallNow() { return read(CLOCK_MONOTONIC); }
    static double read(clockid_t clock)
    {
        timespec t{};
        clock_gettime(clock, &t);
        return double(t.tv_sec) * 1e9 + double(t.tv_nsec);
    }
};

double nanoseconds(double from, double to) { return to - from; }

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    size_t middle = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + long(middle), values.end());
    double upper = values[middle];
    if (values.size() % 2)
        return upper;
    double lower = *std::max_element(values.begin(), values.begin() + long(middle));
    return (lower + upper) / 2;
}

// The kernel's high-water mark of resident memory, reset where Linux allows it
// so that each scene reports its own peak.
bool resetPeakRss()
{
    std::ofstream clearRefs("/proc/self/clear_refs");
    if (!clearRefs)
        return false;
    clearRefs << "5";
    clearRefs.flush();
    return bool(clearRefs);
}

double peakRssMb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            std::istringstream fields(line.substr(6));
            double kb = 0;
            fields >> kb;
            return kb / 1024;
        }
    }
    return 0;
}

// The groups of passes that a profiled step times separately.
enum Pass { kMove, kBounds, kNeighbors, kJoinGravity, kDensity, kPressure, kDamping, kMaterials, kOther, kPassCount };
const char* const kPassNames[kPassCount] = {"move", "bounds", "neighbors", "join+gravity", "density",
                                            "pressure", "damping", "materials", "resist+pour+effects+gc"};

// One step with a clock between the pass groups: the passes and their order
// are those of ParticleSimulator::simulate(), which it must keep following,
// except that simulate() runs neighbouring passes fused (moveAndBound,
// gravitateAndWeigh, pushAndCollide, with the same results); here they run
// one by one so that each can be timed, which costs a little more.
// Returns false when the step removed particles: its pair list then names
// the old numbers, some past the end of the arrays.
bool profiledStep(ParticleSimulator& sim, double (&ns)[kPassCount])
{
    ParticleData& d = *sim.data;
    Clock::time_point t[kPassCount + 1];
    t[0] = Clock::now();
    sim.addUpInfo();
    sim.moveParticles();
    t[1] = Clock::now();
    sim.searchBoundParticles();
    t[2] = Clock::now();
    sim.context.searchNeighbors(d);
    t[3] = Clock::now();
    sim.joinParticles();
    sim.gravitateParticles();
    t[4] = Clock::now();
    sim.updateParticleDensity();
    t[5] = Clock::now();
    sim.applyStaticPressure();
    sim.applyPressure();
    t[6] = Clock::now();
    // The second boundary search belongs to the bounds group.
    Clock::time_point boundsAgain = Clock::now();
    sim.searchBoundParticles();
    double secondBounds = nanoseconds(boundsAgain, Clock::now());
    Clock::time_point dampingStart = Clock::now();
    sim.collideParticles();
    t[7] = Clock::now();
    sim.expressAttributes();
    t[8] = Clock::now();
    sim.resistParticles();
    sim.pourParticles();
    sim.drainParticles();
    sim.moveFire();
    sim.moveSplash();
    sim.moveBubble();
    bool listCurrent = !sim.context.gcRequested;
    if (sim.context.gcRequested) {
        d.gc(&sim.context);
        sim.context.gcRequested = false;
    }
    d.timeStep += 1;
    int stepsPerSecond = int(uint32_t(d.timeStepsPerFrame) * uint32_t(d.framesPerSecond));
    d.time += 1.0f / float(stepsPerSecond);
    t[9] = Clock::now();
    for (int i = 0; i < kPassCount; ++i)
        ns[i] = nanoseconds(t[i], t[i + 1]);
    ns[kBounds] += secondBounds;
    ns[kDamping] = nanoseconds(dampingStart, t[7]);
    return listCurrent;
}

// Loops over the scene's own arrays and pair list with the memory traffic of
// the real passes and trivial arithmetic: what the step would cost if only
// the data had to move. Results go to scratch arrays, never to the scene.
struct Floors {
    std::vector<float> scalar;
    std::vector<float2> vector;
    std::vector<float2> moved;
    double sink = 0;

    double stream(const ParticleData& d)
    {
        Clock::time_point start = Clock::now();
        float2* out = moved.data();
        for (int i = 0; i < d.count; ++i)
            out[i] = d.position[i] + d.velocity[i];
        float total = 0;
        for (const ParticleNeighbor& n : d.neighbors)
            total += n.weight;
        double ns = nanoseconds(start, Clock::now());
        sink += double(total) + double(out[d.count / 2].x);
        return ns;
    }

    double density(const ParticleData& d)
    {
        Clock::time_point start = Clock::now();
        float* rho = scalar.data();
        for (int i = 0; i < d.count; ++i)
            rho[i] = 0;
        for (const ParticleNeighbor& n : d.neighbors) {
            rho[n.a] += n.weight;
            rho[n.b] += n.weight;
        }
        double ns = nanoseconds(start, Clock::now());
        sink += double(rho[d.count / 2]);
        return ns;
    }

    double pressure(const ParticleData& d)
    {
        Clock::time_point start = Clock::now();
        const float* rho = scalar.data();
        float2* delta = vector.data();
        for (int i = 0; i < d.count; ++i)
            delta[i] = {0, 0};
        for (const ParticleNeighbor& n : d.neighbors) {
            float f = (rho[n.a] + rho[n.b]) * n.weight;
            float2 push(f * n.direction.x, f * n.direction.y);
            delta[n.a] -= push;
            delta[n.b] += push;
        }
        for (int i = 0; i < d.count; ++i)
            moved[i] = d.velocity[i] + delta[i];
        double ns = nanoseconds(start, Clock::now());
        sink += double(moved[d.count / 2].x);
        return ns;
    }

    double damping(const ParticleData& d)
    {
        Clock::time_point start = Clock::now();
        float2* delta = vector.data();
        for (int i = 0; i < d.count; ++i)
            delta[i] = {0, 0};
        for (const ParticleNeighbor& n : d.neighbors) {
            float2 v = d.velocity[n.b] - d.velocity[n.a];
            float k = v.x * n.direction.x + v.y * n.direction.y;
            float2 j(k * n.direction.x, k * n.direction.y);
            delta[n.a] += j;
            delta[n.b] -= j;
        }
        for (int i = 0; i < d.count; ++i)
            moved[i] = d.velocity[i] + delta[i];
        double ns = nanoseconds(start, Clock::now());
        sink += double(moved[d.count / 2].y);
        return ns;
    }
};

} // namespace

bool runStandardScene(const std::string& name, SceneResult& result, const RunOptions& options)
{
    result = SceneResult();
    result.name = name;
    result.peakRssIsPerScene = resetPeakRss();
    auto data = autorelease(new ParticleData());
    if (!makeStandardScene(name, *data))
        return false;
    auto simulator = autorelease(new ParticleSimulator(data));
    if (options.threads > 0)
        simulator->context.setThreads(options.threads);
    result.threads = simulator->context.threads();
    Clock::wall = result.threads > 1;
    ParticleData& d = *data;

    int first = std::max(0, options.firstMeasuredStep);
    int end = std::max(first + 1, options.endMeasuredStep);
    std::vector<double> perParticleStep, wallPerParticleStep;
    perParticleStep.reserve(size_t(end - first));
    wallPerParticleStep.reserve(size_t(end - first));
    for (int step = 0; step < first; ++step)
        simulator->simulate();

    result.particles = d.count;
    std::uint64_t allocationsBefore = options.allocationCount ? options.allocationCount() : 0;
    for (int step = first; step < end; ++step) {
        int particles = std::max(1, d.count);
        double wallStart = Clock::wallNow();
        Clock::time_point start = Clock::now();
        simulator->simulate();
        Clock::time_point stop = Clock::now();
        double wallStop = Clock::wallNow();
        perParticleStep.push_back(nanoseconds(start, stop) / particles);
        wallPerParticleStep.push_back(nanoseconds(wallStart, wallStop) / particles);
    }
    result.allocationsPerStep = options.allocationCount
                                    ? double(options.allocationCount() - allocationsBefore) / double(end - first)
                                    : std::numeric_limits<double>::quiet_NaN();
    result.nsPerParticleStep = median(perParticleStep);
    result.wallNsPerParticleStep = median(wallPerParticleStep);

    // Per-pass times and floors, interleaved step by step on the same data.
    Floors floors;
    std::vector<double> passes[kPassCount], stream, density, pressure, damping, pairs;
    for (int step = 0; step < options.profiledSteps; ++step) {
        double ns[kPassCount];
        int particles = std::max(1, d.count);
        bool listCurrent = profiledStep(*simulator, ns);
        for (int i = 0; i < kPassCount; ++i)
            passes[i].push_back(ns[i] / particles);
        if (d.count == 0 || !listCurrent)
            continue;
        floors.scalar.resize(size_t(d.count));
        floors.vector.resize(size_t(d.count));
        floors.moved.resize(size_t(d.count));
        // The list was found before this step's last moves; its pairs and
        // weights are still the step's own.
        double rho = floors.density(d), press = floors.pressure(d), damp = floors.damping(d);
        stream.push_back(floors.stream(d) / d.count);
        density.push_back(rho / d.count);
        pressure.push_back(press / d.count);
        damping.push_back(damp / d.count);
        pairs.push_back((rho + press + damp) / d.count);
    }
    result.pairsPerParticle = d.count ? double(d.neighbors.size()) / d.count : 0;
    result.streamFloorNs = median(stream);
    result.pairFloorNs = median(pairs);
    for (int i = 0; i < kPassCount; ++i) {
        PassTime pass;
        pass.name = kPassNames[i];
        pass.nsPerParticleStep = median(passes[i]);
        if (i == kDensity)
            pass.floorNsPerParticleStep = median(density);
        else if (i == kPressure)
            pass.floorNsPerParticleStep = median(pressure);
        else if (i == kDamping)
            pass.floorNsPerParticleStep = median(damping);
        result.passes.push_back(pass);
    }
    result.peakRssMb = peakRssMb();
    // Keeps the floor loops from being optimised away.
    if (floors.sink == 12345.678)
        std::fputs("", stderr);
    return true;
}

namespace {

std::string number(double value, int decimals = 1)
{
    if (!std::isfinite(value))
        return "null";
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string ratio(double value, double floor) { return floor > 0 ? number(value / floor, 2) : "null"; }

} // namespace

std::string resultsJson(const std::vector<SceneResult>& results)
{
    std::string json = "{\"scenes\": [";
    for (size_t i = 0; i < results.size(); ++i) {
        const SceneResult& r = results[i];
        json += i ? ", " : "";
        json += "{\"name\": \"" + r.name + "\", \"threads\": " + std::to_string(r.threads) +
                ", \"particles\": " + std::to_string(r.particles) +
                ", \"ns_per_particle_step\": " + number(r.nsPerParticleStep) +
                ", \"wall_ns_per_particle_step\": " + number(r.wallNsPerParticleStep) +
                ", \"allocations_per_step\": " + number(r.allocationsPerStep, 3) +
                ", \"peak_rss_mb\": " + number(r.peakRssMb) + "}";
    }
    json += "], \"floor\": {";
    for (size_t i = 0; i < results.size(); ++i) {
        const SceneResult& r = results[i];
        json += i ? ", " : "";
        json += "\"" + r.name + "\": {\"pairs_per_particle\": " + number(r.pairsPerParticle, 2) +
                ", \"stream_ns\": " + number(r.streamFloorNs) + ", \"pair_list_ns\": " + number(r.pairFloorNs) +
                ", \"step_to_pair_list\": " + ratio(r.nsPerParticleStep, r.pairFloorNs) + ", \"passes\": [";
        for (size_t k = 0; k < r.passes.size(); ++k) {
            const PassTime& p = r.passes[k];
            json += k ? ", " : "";
            json += "{\"name\": \"" + p.name + "\", \"ns\": " + number(p.nsPerParticleStep);
            if (p.floorNsPerParticleStep > 0)
                json += ", \"floor_ns\": " + number(p.floorNsPerParticleStep) +
                        ", \"ratio\": " + ratio(p.nsPerParticleStep, p.floorNsPerParticleStep);
            json += "}";
        }
        json += "]}";
    }
    json += "}}";
    return json;
}

} // namespace Zeb::Kamblo::Bench
