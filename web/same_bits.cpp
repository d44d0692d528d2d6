// pudlet-same-bits: steps a scene with nothing but the engine and saves it, so
// that the native build and the WebAssembly build can be compared byte for
// byte (web/same_bits.sh), times the step on a standard scene, and hashes the
// step's sine, cosine and arc tangent over many arguments.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bit_cast.h"
#include "float_trig.h"
#include "particle_beat.h"
#include "particle_beat_implements.h"
#include "particle_data.h"
#include "particle_simulator.h"
#include "standard_scenes.h"

using namespace Zeb::Kamblo;

namespace {

const char* const kUsage =
    "usage: pudlet-same-bits run SCENE.pdl STEPS OUT.pdl [--trace]\n"
    "       pudlet-same-bits bench SCENE-NAME STEPS [OUT.pdl]\n"
    "       pudlet-same-bits trig COUNT\n"
    "run steps a scene file, saves it and prints a hash of every bit of its\n"
    "particles' persistent state (--trace: after every step); bench builds a standard scene\n"
    "(water-20k, ...), steps it and prints the median ns per particle-step\n"
    "of the steps after the first fifth, then saves it if asked; trig prints\n"
    "a hash of the engine's sin, cos and atan2 over COUNT arguments each, and\n"
    "of sin and cos over every float of 8 <= |x| < 120.\n";

int usage()
{
    std::fputs(kUsage, stderr);
    return 2;
}

bool parseSteps(const char* text, long& steps)
{
    char* end = nullptr;
    steps = std::strtol(text, &end, 10);
    return end != text && *end == '\0' && steps >= 0 && steps <= 10'000'000;
}

// FNV-1a over the bytes of every persistent per-particle array: the saved
// file keeps six significant digits, this sees every bit.
uint64_t stateHash(const ParticleData& d)
{
    uint64_t hash = 14695981039346656037ull;
    auto mix = [&hash](const void* bytes, size_t size) {
        const auto* p = static_cast<const unsigned char*>(bytes);
        for (size_t i = 0; i < size; ++i)
            hash = (hash ^ p[i]) * 1099511628211ull;
    };
    mix(&d.count, sizeof d.count);
#define PUDLET_HASH_persistent(name) mix(d.name, sizeof *d.name * size_t(d.count));
#define PUDLET_HASH_scratch(name)
#define PUDLET_HASH_ARRAY(type, name, persistence) PUDLET_HASH_##persistence(name)
    KAMBLO_PARTICLE_ARRAYS(PUDLET_HASH_ARRAY)
#undef PUDLET_HASH_ARRAY
#undef PUDLET_HASH_scratch
#undef PUDLET_HASH_persistent
    return hash;
}

int runScene(const char* scene, long steps, const char* out, bool trace)
{
    struct Deleter {
        void operator()(RevivezoRora* engine) const { RevivezoRora::deleteInstance(engine); }
    };
    std::unique_ptr<RevivezoRora, Deleter> engine(RevivezoRora::newInstance());
    if (!engine->load(scene)) {
        std::fprintf(stderr, "%s: not a scene file, or one that cannot be read\n", scene);
        return 1;
    }
    const ParticleData& data = *static_cast<RevivezoRoraImplements&>(*engine).data;
    for (long step = 1; step <= steps; ++step) {
        engine->simulate();
        if (trace)
            std::printf("step %ld: %016llx\n", step, static_cast<unsigned long long>(stateHash(data)));
    }
    if (!engine->save(out)) {
        std::fprintf(stderr, "%s: cannot write the scene file\n", out);
        return 1;
    }
    std::printf("%s: %ld steps, %d particles, state %016llx, wrote %s\n", scene, steps, engine->countParticles(),
                static_cast<unsigned long long>(stateHash(data)), out);
    return 0;
}

// Wall-clock time per step: the same clock in both builds (a WebAssembly
// runtime has no per-thread CPU clock).
int benchScene(const char* name, long steps, const char* out)
{
    auto data = autorelease(new ParticleData());
    if (!Bench::makeStandardScene(name, *data)) {
        std::fprintf(stderr, "%s: no such standard scene\n", name);
        return 1;
    }
    auto simulator = autorelease(new ParticleSimulator(data));
    // One thread, as WebAssembly without threads has: the same work on one
    // core in both builds.
    simulator->context.setThreads(1);
    const long warmUp = steps / 5;
    std::vector<double> perParticleStep;
    for (long step = 0; step < steps; ++step) {
        const int particles = std::max(1, data->count);
        const auto start = std::chrono::steady_clock::now();
        simulator->simulate();
        const auto stop = std::chrono::steady_clock::now();
        if (step >= warmUp)
            perParticleStep.push_back(std::chrono::duration<double, std::nano>(stop - start).count() / particles);
    }
    if (!perParticleStep.empty()) {
        const auto middle = perParticleStep.begin() + long(perParticleStep.size() / 2);
        std::nth_element(perParticleStep.begin(), middle, perParticleStep.end());
        std::printf("%s: %d particles, %ld steps, %.1f ns per particle-step (median of the last %zu)\n", name,
                    data->count, steps, *middle, perParticleStep.size());
    }
    if (out && !data->save(out)) {
        std::fprintf(stderr, "%s: cannot write the scene file\n", out);
        return 1;
    }
    return 0;
}

// The engine's float sin, cos and atan2 (the C library's natively, the
// portable ones in WebAssembly) over arguments of every magnitude and over
// the angles a step meets: the two builds print the same hash only if every
// result has the same bits. Any NaN counts as one (payloads are the
// platform's).
int trigHash(long count)
{
    uint64_t hash = 14695981039346656037ull;
    auto mix = [&hash](float result) {
        uint32_t bits = std::isnan(result) ? 0x7fc00000u : bit_cast<uint32_t>(result);
        for (int i = 0; i < 4; ++i, bits >>= 8)
            hash = (hash ^ (bits & 0xff)) * 1099511628211ull;
    };
    uint64_t state = 0x9e3779b97f4a7c15ull;
    auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    for (long i = 0; i < count; ++i) {
        const uint64_t r = next();
        const float any = bit_cast<float>(uint32_t(r));
        const float angle = float(int32_t(r >> 32) / 2147483648.0 * 10.0);
        mix(trig::sin(any));
        mix(trig::cos(any));
        mix(trig::sin(angle));
        mix(trig::cos(angle));
        mix(trig::atan2(any, bit_cast<float>(uint32_t(r >> 32))));
        mix(trig::atan2(angle, float(int32_t(r) / 2147483648.0 * 10.0)));
    }
    // Every float of 8 <= |x| < 120 too: there the reduction cancels, and how it
    // rounds decides some results.
    for (uint32_t bits = bit_cast<uint32_t>(8.0f); bits < bit_cast<uint32_t>(120.0f); ++bits) {
        for (uint32_t sign : {0u, 0x80000000u}) {
            const float x = bit_cast<float>(bits | sign);
            mix(trig::sin(x));
            mix(trig::cos(x));
        }
    }
    std::printf("trig: %ld arguments and every float of 8 <= |x| < 120, %016llx\n", count,
                static_cast<unsigned long long>(hash));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == "trig") {
        long count = 0;
        if (!parseSteps(argv[2], count)) {
            std::fprintf(stderr, "%s: not a number of arguments\n", argv[2]);
            return 2;
        }
        return trigHash(count);
    }
    if (argc < 4)
        return usage();
    const std::string command = argv[1];
    long steps = 0;
    if (!parseSteps(argv[3], steps)) {
        std::fprintf(stderr, "%s: not a number of steps\n", argv[3]);
        return 2;
    }
    if (command == "run" && (argc == 5 || (argc == 6 && std::string(argv[5]) == "--trace")))
        return runScene(argv[2], steps, argv[4], argc == 6);
    if (command == "bench" && (argc == 4 || argc == 5))
        return benchScene(argv[2], steps, argc == 5 ? argv[4] : nullptr);
    return usage();
}
