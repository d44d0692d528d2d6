// The step on several threads: every scene must evolve exactly as on one, and
// the worker pool must run every task once.
#include "particle_step_context.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <limits>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "mixed_scene.h"
#include "particle_builder.h"
#include "particle_simulator.h"
#include "simulator_scene.h"

using namespace Zeb::Kamblo;

namespace {

struct Stepped {
    Pointer<ParticleData> data = autorelease(new ParticleData());
    Pointer<ParticleSimulator> simulator = autorelease(new ParticleSimulator(data));
};

template <class T>
bool sameBits(const T* a, const T* b, size_t n)
{
    return n == 0 || std::memcmp(a, b, sizeof(T) * n) == 0;
}

bool sameJoints(const ParticleData& a, const ParticleData& b)
{
    return a.joints.size() == b.joints.size() &&
           std::equal(a.joints.begin(), a.joints.end(), b.joints.begin(),
                      [](const ParticleJoint& x, const ParticleJoint& y) { return sameBits(&x, &y, 1); });
}

// Every array the step writes, the pair list, joints, bodies, effects and
// the generator. Names what differs first; empty when all match. Particles
// made during the step (from `made` on) keep whatever their slot held in the
// scratch arrays the step had already written; those are left out.
std::string firstDifference(const ParticleData& a, const ParticleData& b, int made)
{
    if (a.count != b.count)
        return "count " + std::to_string(a.count) + " vs " + std::to_string(b.count);
    size_t n = size_t(a.count);
    size_t old = size_t(std::min(made, a.count));
#define COMPARE_ARRAY(type, name, persistence) \
    if (std::string(#name) != "renderColor" &&                                               \
        !sameBits(a.name, b.name, std::string(#persistence) == "scratch" && std::string(#name) != "order" ? old : n)) \
        return #name;
    KAMBLO_PARTICLE_ARRAYS(COMPARE_ARRAY)
#undef COMPARE_ARRAY
    if (a.neighbors.size() != b.neighbors.size() || !sameBits(a.neighbors.data(), b.neighbors.data(), a.neighbors.size()))
        return "neighbors";
    if (!sameJoints(a, b))
        return "joints";
    if (a.bodies.size() != b.bodies.size())
        return "bodies";
    for (size_t i = 0; i < a.bodies.size(); ++i)
        if (!sameBits(&a.bodies[i].center, &b.bodies[i].center, 1) ||
            !sameBits(&a.bodies[i].angularVelocity, &b.bodies[i].angularVelocity, 1))
            return "body " + std::to_string(i);
    for (auto pool : {&ParticleData::fireEffect, &ParticleData::splashEffect, &ParticleData::bubbleEffect}) {
        const ParticleEffect& x = *(a.*pool);
        const ParticleEffect& y = *(b.*pool);
        size_t m = size_t(x.count);
        if (x.count != y.count || !sameBits(x.life, y.life, m) || !sameBits(x.position, y.position, m) ||
            !sameBits(x.velocity, y.velocity, m))
            return "effects";
    }
    if (a.randSeed != b.randSeed || a.usersCharge != b.usersCharge)
        return "generator or charge";
    return "";
}

// Scenes that between them reach every pass: every material with bodies,
// joints and every effect; static pressure with walls; rain into an open
// container that drains; a particle that is not a number.
void everyMaterial(const Pointer<ParticleData>& d)
{
    PudletTest::fillEveryMaterial(d);
    d->randSeed = 7;
}

void staticPressure(const Pointer<ParticleData>& d)
{
    PudletTest::fillEveryMaterial(d);
    d->staticPressureFlag = true;
    d->staticPressureIteration = 2;
    d->resistanceFlag = true;
}

void openRain(const Pointer<ParticleData>& d)
{
    PudletTest::fillEveryMaterial(d);
    d->boundsFlag = false;
    d->pouringFlag = true;
    d->pouringRainFlag = true;
    d->randSeed = 11;
    int p = d->createParticle(0);
    d->info[p] = Attribute::aqua;
    d->position[p] = {std::numeric_limits<float>::quiet_NaN(), 3};
}

void loosenJoints(ParticleData& d)
{
    for (auto it = d.joints.begin(); it != d.joints.end(); ++it)
        d.joints.edit(it).offset *= 0.5f;
}

// Removes particle p with the gc of a step, which may go by the step's copy
// of the joints, and checks the joints against a gc that walks them all.
void removeInStep(Stepped& s, int p)
{
    Pointer<ParticleData> alone = autorelease(new ParticleData());
    alone->copy(s.data);
    s.data->info[p] |= Attribute::zombie;
    alone->info[p] |= Attribute::zombie;
    s.data->gc(&s.simulator->context);
    alone->gc();
    EXPECT_EQ(s.data->count, alone->count);
    EXPECT_TRUE(sameJoints(*s.data, *alone));
}

} // namespace

// Threads split the passes by particles, yet each particle's sums add their
// terms in the same order: every array matches one thread's bit for bit.
// Tasks are made small so that these small scenes are split many ways.
TEST(StepContext, EveryThreadCountGivesTheSameBits)
{
    int scene = 0;
    for (auto make : {everyMaterial, staticPressure, openRain}) {
        SCOPED_TRACE(testing::Message() << "scene " << scene++);
        Stepped one;
        make(one.data);
        one.simulator->context.setThreads(1);
        std::vector<Stepped> many(3);
        const int counts[] = {2, 3, 8};
        for (size_t k = 0; k < many.size(); ++k) {
            many[k].data->copy(one.data);
            many[k].simulator->context.setThreads(counts[k]);
            many[k].simulator->context.particlesPerTask = 64;
            many[k].simulator->context.yieldsToLoad = false;
        }
        ASSERT_GT(one.data->count, 1000);
        for (int step = 0; step < 80; ++step) {
            int made = one.data->count;
            one.simulator->simulate();
            for (size_t k = 0; k < many.size(); ++k) {
                many[k].simulator->simulate();
                std::string difference = firstDifference(*one.data, *many[k].data, made);
                ASSERT_EQ(difference, "") << counts[k] << " threads, step " << step;
            }
        }
        EXPECT_GT(one.data->joints.size(), 0u);
    }
}

// The step keeps a flat copy of the joints and the elastic pass's joint ends
// from one step to the next. Every way the set or the particle count can
// change between steps must make it take them afresh: the scene then steps
// exactly as a copy of it does under a context that never saw it.
TEST(StepContext, KeptJointsFollowEveryChangeBetweenSteps)
{
    using namespace Attribute;
    const std::pair<const char*, void (*)(Stepped&, const Pointer<ParticleData>&)> changes[] = {
        {"edit", [](Stepped& s, const Pointer<ParticleData>&) { loosenJoints(*s.data); }},
        {"erase", [](Stepped& s, const Pointer<ParticleData>&) {
             JointSet& joints = s.data->joints;
             for (auto it = joints.begin(); it != joints.end();)
                 it = (it->a % 3 == 0) ? joints.erase(it) : std::next(it);
         }},
        {"insert", [](Stepped& s, const Pointer<ParticleData>&) {
             ParticleData& d = *s.data;
             ParticleJoint j = *d.joints.begin();
             for (j.b = j.a + 1; d.joints.count(j); ++j.b) {
             }
             j.info |= elastic;
             ASSERT_LT(j.b, d.count);
             d.joints.insert(j);
         }},
        // Whole sets from another scene of the same count, as undo brings.
        {"copy", [](Stepped& s, const Pointer<ParticleData>& other) { s.data->copy(other); }},
        {"swap", [](Stepped& s, const Pointer<ParticleData>& other) { s.data->swap(other); }},
        // Removed by the step's gc: a particle whose removal renumbers every
        // joint; then one made with no joint, which leaves them all alone.
        {"remove the first", [](Stepped& s, const Pointer<ParticleData>&) { removeInStep(s, 0); }},
        {"grow", [](Stepped& s, const Pointer<ParticleData>&) {
             PudletTest::placeParticle(*s.data, aqua, {5, 1});
         }},
        {"remove the last", [](Stepped& s, const Pointer<ParticleData>&) { removeInStep(s, s.data->count - 1); }},
        {"clear", [](Stepped& s, const Pointer<ParticleData>&) { s.data->joints.clear(); }},
    };
    // An elastic slab and a spring strip at rest: joints that neither break
    // nor melt, so that the step's copies stay current until changed here.
    Stepped kept;
    auto builder = autorelease(new ParticleBuilder(kept.data));
    builder->setMaterial('e');
    builder->fillRect(float2(10, 0.5f), float2(20, 4));
    builder->setMaterial('s');
    builder->fillRect(float2(30, 0.5f), float2(36, 2));
    kept.simulator->context.setThreads(1);
    auto stepBoth = [&] {
        Stepped fresh;
        fresh.data->copy(kept.data);
        fresh.simulator->context.setThreads(1);
        for (int step = 0; step < 3; ++step) {
            int made = kept.data->count;
            kept.simulator->simulate();
            fresh.simulator->simulate();
            ASSERT_EQ(firstDifference(*kept.data, *fresh.data, made), "") << "step " << step;
        }
    };
    for (const auto& [name, change] : changes) {
        SCOPED_TRACE(name);
        for (int step = 0; step < 3; ++step)
            kept.simulator->simulate();
        ASSERT_GT(std::count_if(kept.data->joints.begin(), kept.data->joints.end(),
                                [](const ParticleJoint& j) { return j.info & elastic; }), 0);
        ASSERT_EQ(kept.simulator->context.elasticStamp, kept.data->joints.stamp()) << "kept copies not current";
        Pointer<ParticleData> other = autorelease(new ParticleData());
        other->copy(kept.data);
        loosenJoints(*other);
        change(kept, other);
        stepBoth();
    }

    // A joint naming a particle not yet made comes into play with it.
    SCOPED_TRACE("count");
    kept.data->clear();
    for (int i = 0; i < 2; ++i)
        PudletTest::placeParticle(*kept.data, elastic, {10.0f + i, 10});
    ParticleJoint ahead;
    ahead.a = 0;
    ahead.b = 2;
    ahead.info = elastic;
    ahead.offset = {2, 0};
    ahead.strength = 0.5f;
    kept.data->joints.insert(ahead);
    kept.simulator->simulate();
    PudletTest::placeParticle(*kept.data, elastic, {11.5f, 10.5f});
    stepBoth();
}

TEST(StepContext, PoolRunsEveryTaskOnceAndIsReused)
{
    WorkerPool pool(4);
    EXPECT_EQ(pool.threads(), 4);
    for (int round = 0; round < 200; ++round) {
        int tasks = round % 13;
        std::vector<std::atomic<int>> runs(static_cast<size_t>(tasks));
        pool.run(tasks, [&](int t) { runs[size_t(t)].fetch_add(1); });
        for (int t = 0; t < tasks; ++t)
            ASSERT_EQ(runs[size_t(t)].load(), 1) << "round " << round << " task " << t;
    }
    // Ranges cover every particle once, in order, whatever the split.
    StepContext context;
    context.setThreads(3);
    context.particlesPerTask = 10;
    context.yieldsToLoad = false;
    for (int n : {0, 1, 29, 30, 31, 1000}) {
        std::vector<int> seen(size_t(n), 0);
        context.forRanges(n, [&](int, int first, int end) {
            for (int i = first; i < end; ++i)
                ++seen[size_t(i)];
        });
        EXPECT_EQ(seen, std::vector<int>(size_t(n), 1)) << n;
    }
}

TEST(StepContext, PoolRunsAloneWhileItsThreadsArriveLate)
{
    // A worker that holds its task far longer than the caller works stands
    // for one whose core was taken: the pool then runs jobs on the caller.
    auto job = [](WorkerPool& pool) {
        std::thread::id caller = std::this_thread::get_id();
        std::atomic<int> elsewhere{0};
        pool.run(8, [&](int) {
            if (std::this_thread::get_id() != caller) {
                elsewhere.fetch_add(1);
                std::this_thread::sleep_for(std::chrono::milliseconds(3));
                return;
            }
            // The caller's first task lasts until a worker has taken one
            // (or a while, should none come).
            auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(50);
            while (elsewhere.load() == 0 && std::chrono::steady_clock::now() < until)
                std::this_thread::yield();
        });
        return elsewhere.load();
    };
    for (bool yields : {true, false}) {
        WorkerPool pool(2);
        pool.yieldsToLoad = yields;
        int jobs = 0;
        while (!pool.runningAlone() && jobs < 200) {
            job(pool);
            ++jobs;
        }
        EXPECT_EQ(pool.runningAlone(), yields) << jobs << " jobs";
        if (yields) {
            EXPECT_EQ(job(pool), 0) << "every task on the caller";
        }
    }
}
