#pragma once
// The working state of a simulation step, owned by the simulator: what the
// step found out about the scene, the neighbour search's sweep order and
// frame, and a named scratch buffer for each pass that needs one. None of it
// is part of the scene; it is rebuilt or rewritten by every step and kept
// only so that a steady step allocates nothing.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <type_traits>
#include <vector>

#include "cg_types.h"
#include "particle_data.h"
#include "particle_info.h"
#include "particle_neighbor.h"

namespace Zeb::Kamblo {

class WorkerPool;

// A pair of the neighbour list as places in sweep order (a < b).
struct SweepPair {
    int a;
    int b;
    // Left unset when made: the lists are sized first and then written whole,
    // and clearing them would be a pass of its own on one thread.
    SweepPair() {}
    SweepPair(int first, int second) : a(first), b(second) {}
};

// Whether place p lies in the places [first, end) that a task of a pair pass
// owns. With Bounded false the task owns them all (one task, no split).
template <bool Bounded>
inline bool owns(int p, int first, int end)
{
    return !Bounded || unsigned(p - first) < unsigned(end - first);
}

// A task of a pair pass: the places it owns, and the records that touch
// them. Those are the records before its places whose second place is one of
// them (listed in `incoming`), then records [from, to), whose first place is
// one of them.
struct PairTask {
    int first, end;
    const int* incoming;
    int incomingCount;
    int from, to;
    bool whole; // the one task owns every place and record
};

// Record numbers of a run of records: at(i) for i in [from, to).
struct NextRecord {
    int operator()(int i) const { return i; }
};
struct ListedRecord {
    const int* list;
    int operator()(int i) const { return list[i]; }
};

// Calls walk(bounded, from, to, at) for each run of the task's records, in
// list order. bounded is std::true_type unless the task owns everything, so
// that a kernel templated on it skips the ownership tests of a whole pass.
template <class Walk>
void walkPairTask(const PairTask& task, Walk&& walk)
{
    if (task.incomingCount > 0)
        walk(std::true_type{}, 0, task.incomingCount, ListedRecord{task.incoming});
    if (task.whole)
        walk(std::false_type{}, task.from, task.to, NextRecord{});
    else
        walk(std::true_type{}, task.from, task.to, NextRecord{});
}

// Room a list gets whenever it must grow: half again what it needs now, and
// at least `ahead`, so that a count creeping up step by step does not
// reallocate every few steps.
template <class T>
void makeRoom(std::vector<T>& values, size_t want, size_t ahead = 0)
{
    if (want > values.capacity())
        values.reserve(std::max(want + want / 2, ahead));
}

// n values of scratch, whose storage only grows.
template <class T>
T* scratch(std::vector<T>& values, int n)
{
    size_t want = size_t(n < 0 ? 0 : n);
    makeRoom(values, want);
    values.resize(want);
    return values.data();
}

// Appends [from, from + n), growing as makeRoom does.
template <class T>
void appendScratch(std::vector<T>& values, const T* from, size_t n, size_t ahead = 0)
{
    makeRoom(values, values.size() + n, ahead);
    values.insert(values.end(), from, from + n);
}

// Pairs per particle that the pair lists make room for when they first grow:
// water on the lattice has 2, settled water 3 to 3.5, water pressed into a
// full window (water-250k) about 4.5 and briefly more.
inline constexpr size_t kPairsAhead = 6;

// The extent of the finite positions among some particles, and how many
// there are. Taken together in task order, the leftmost of equal extremes
// wins, as in one walk over all of them.
struct PositionExtent {
    int finite = 0;
    float lowStrip = 0, highStrip = 0, lowX = 0, highX = 0;

    void add(float2 at)
    {
        if (!(std::isfinite(at.x) && std::isfinite(at.y)))
            return;
        float strip = std::floor(at.y);
        if (finite == 0) {
            lowStrip = highStrip = strip;
            lowX = highX = at.x;
        } else {
            lowStrip = std::min(lowStrip, strip);
            highStrip = std::max(highStrip, strip);
            lowX = std::min(lowX, at.x);
            highX = std::max(highX, at.x);
        }
        ++finite;
    }
    void take(const PositionExtent& e)
    {
        if (e.finite == 0)
            return;
        if (finite == 0) {
            *this = e;
            return;
        }
        finite += e.finite;
        lowStrip = std::min(lowStrip, e.lowStrip);
        highStrip = std::max(highStrip, e.highStrip);
        lowX = std::min(lowX, e.lowX);
        highX = std::max(highX, e.highX);
    }
};

// At most this many threads, whatever is asked, and at most this many tasks
// in one split.
inline constexpr int kMaxThreads = 256;
inline constexpr int kTasksPerThread = 4;

class StepContext {
public:
    StepContext();
    ~StepContext();
    StepContext(const StepContext&) = delete;
    StepContext& operator=(const StepContext&) = delete;

    // Threads the step may use, the caller included (at least 1).
    void setThreads(int threads);
    int threads() const { return threadCount; }
    // Fewer particles than this per task are not worth a thread's wake-up.
    // Tests lower it to split small scenes.
    int particlesPerTask = 4096;
    // Whether the pool may run jobs on the caller alone while its other
    // threads arrive late (see WorkerPool); tests of the splits turn it off.
    bool yieldsToLoad = true;

    // Runs task(t, first, end) for t = 0 .. tasks - 1 over consecutive ranges
    // [first, end) that together cover [0, n), on the worker threads. The
    // ranges are fixed by n and the task count alone.
    // grain: items per task at least, particlesPerTask when 0 (a pass whose
    // items cost far more than a particle's share of a pass asks for less).
    template <class Task>
    void forRanges(int n, Task&& task, int grain = 0);
    int tasksFor(int n, int grain = 0) const;

    // Attributes present in the scene at the start of the step.
    ParticleInfo presentInfo = 0;
    // Set by passes that marked particles zombie; the step then collects them.
    bool gcRequested = false;

    // The neighbour search, which rebuilds d.neighbors and d.order and leaves
    // the sweep frame below.
    void searchNeighbors(ParticleData& d);
    // The step's first pass, which walks every position anyway, leaves the
    // extent of each task's particles here for the search that follows
    // (extentCount: the particle count they were taken for; -1: none).
    std::array<PositionExtent, kMaxThreads> extents;
    int extentCount = -1;

    // The frame: for the current particles and d.neighbors, `order` (d.order)
    // maps a place to its particle and sweepPairs holds each record's two
    // places. Valid after searchNeighbors until the particles or the list are
    // replaced; otherwise sweepFrame() makes the identity frame, in which
    // places are particle numbers.
    const int* sweepFrame(ParticleData& d);
    // True when the frame is the search's own: the pairs' places then grow
    // with the record number (a < b, a never decreasing), pairStart[i] is the
    // first record whose a is place i, and no pair spans more than pairReach
    // places (a bound from the scan windows, not the longest pair found). Passes use it to split the pair list between threads.
    bool searchedFrame(const ParticleData& d) const;
    std::vector<SweepPair> sweepPairs;
    std::vector<int> pairStart;
    int pairReach = 0;

    // Splits a pass over the pair list between the threads by the places
    // each owns: kernel(task) must update only places in [task.first,
    // task.end), and walkPairTask(task, ...) gives it every record touching
    // one of them, in list order. Without the search's frame the one task
    // does everything.
    template <class Kernel>
    void forPairRanges(const ParticleData& d, Kernel&& kernel);

    // The items k in [0, n) for which keep(k) holds, in increasing order,
    // tested on the threads: a pass whose order matters then walks only
    // these on one thread. keep must read only what that pass leaves alone.
    // Returns the items; count is set to how many. room: items to make room
    // for whenever the list must grow, so that a count creeping up does not
    // make it grow step after step. grain as for forRanges.
    template <class Keep>
    const int* select(int n, Keep&& keep, int& count, size_t room = 0, int grain = 0);
    // Grain of a select over the pair list: testing a pair costs a fraction
    // of a particle's share of a pass.
    int pairGrain() const { return 4 * particlesPerTask; }
    std::vector<int> selected;

    // Copies into sweep order, out[i] = from[order[i]], split between the
    // threads. (Results go back inside each pass's own split loop, where
    // to[order[i]] = swept[i] is written by the task that owns place i.)
    template <class T>
    T* gather(std::vector<T>& buffer, const T* from, const int* order, int n);
    // Two arrays in one walk of the order.
    template <class T, class U>
    void gather(std::vector<T>& first, const T* fromFirst, std::vector<U>& second, const U* fromSecond,
                const int* order, int n);

    // Sweep-order copies used by the density, pressure and damping passes.
    std::vector<float2> sweptPosition;
    std::vector<float2> sweptVelocity;
    std::vector<float2> sweptDelta;
    std::vector<float> sweptDensity;
    std::vector<float> sweptPressure;
    std::vector<ParticleInfo> sweptInfo;

    // Named per-particle buffers of the material passes.
    std::vector<float> localDensity;   // mochi and tensile: density without the container's share
    std::vector<float2> surfaceNormal; // tensile: points out of the liquid at its surface
    std::vector<float> torque;         // elastic: turn of each particle in one iteration
    std::vector<uint8_t> touched;      // hot: particles touching a hot one

    // The joint set as a flat list in the set's order, made again only when
    // the set's stamp moves: the passes that walk every joint every step read
    // it rather than the set's scattered nodes.
    const std::vector<ParticleJoint>& jointList(const ParticleData& d);
    std::vector<ParticleJoint> flatJoints;
    uint64_t flatJointsStamp = 0;

    // elastic: its joints in the set's order, what each pulls in one
    // iteration, and each particle's joint ends in that order
    // (jointEnds[jointStart[i] ..]: joint number * 2, + 1 at its b end).
    // All but the pulls are kept while the joint set's stamp stays as it was
    // made for (see expressElastic for a change of particle count).
    struct ElasticJoint {
        int a, b;
        float2 offset;
        float angleA, angleB, strength;
    };
    struct JointPull {
        float2 pull; // added at a, taken at b
        float torqueA, torqueB;
    };
    std::vector<ElasticJoint> elasticJoints;
    std::vector<JointPull> jointPulls;
    std::vector<int> jointStart;
    std::vector<int> jointEnds;
    std::vector<int> jointNext; // where the next end of each particle goes
    uint64_t elasticStamp = 0;
    int elasticCount = -1;
    bool elasticLeftOut = false; // an elastic joint named a particle not there
    int elasticHighest = -1;     // the highest particle with a joint end

    // Per-thread flags and partial results, one slot per task.
    struct alignas(64) TaskSlot {
        bool gcRequested = false;
        ParticleInfo info = 0;
        // The search's own pairs and bookkeeping.
        std::vector<SweepPair> places;
        int firstPair = 0;
        int reach = 0;
        int firstFinite = 0; // the sort's keys made by the tasks before
        int selectedCount = 0; // select()'s items of this task
        // The records before this task's places that reach into them, as
        // found by the step's first pair pass (see forPairRanges).
        std::vector<int> incoming;
    };
    std::vector<TaskSlot> slots;

    // Working storage of the sort.
    std::vector<uint64_t> keys;
    std::vector<uint64_t> spare;
    std::vector<uint32_t> radixCounts; // digit counts of each task
    std::vector<float> sweptX; // positions in sweep order, padded past the end
    std::vector<float> sweptY;

private:
    int sortSweepOrder(ParticleData& d);
    // firstCounted: radixCounts already holds each task's counts of the
    // first digit (the keys' maker counted them as it wrote them).
    void splitRadixSort(uint64_t* keys, uint64_t* spare, int n, int low, int width, bool firstCounted);

    WorkerPool& workers();

    int threadCount = 1;
    // Started by the first step that has work for more than one thread.
    std::unique_ptr<WorkerPool> pool;
    // Which search made the frame: the scene and its layout version then.
    const ParticleData* frameData = nullptr;
    uint64_t frameVersion = 0;
    bool frameSearched = false;
    // The split the slots' incoming records were found for (0: none since
    // the search).
    int incomingTasks = 0;
};

} // namespace Zeb::Kamblo

#include "worker_pool.h"

namespace Zeb::Kamblo {

// Where task t of `tasks` begins when n items are split for `threads`
// threads. The ranges shrink towards the last, as the pool wants its tasks
// (see WorkerPool::run): the last task of a job is then short, and so is the
// others' wait for it.
inline int rangeFirst(int n, int t, int tasks, int threads)
{
    return int(int64_t(n) * WorkerPool::partsBefore(t, tasks, threads) /
               WorkerPool::partsBefore(tasks, tasks, threads));
}

inline int StepContext::tasksFor(int n, int grain) const
{
    if (threadCount == 1)
        return 1;
    int per = grain > 0 ? grain : particlesPerTask;
    int most = n / (per < 1 ? 1 : per);
    // A few tasks a thread: whoever is done first takes the next, so a
    // thread with the denser part of the scene, or one that lost its core
    // for a while, holds the others up less.
    int wanted = threadCount * kTasksPerThread < kMaxThreads ? threadCount * kTasksPerThread : kMaxThreads;
    int tasks = wanted < most ? wanted : most;
    return tasks < 1 ? 1 : tasks;
}

template <class Task>
void StepContext::forRanges(int n, Task&& task, int grain)
{
    int tasks = tasksFor(n, grain);
    auto range = [&](int t) {
        task(t, rangeFirst(n, t, tasks, threadCount), rangeFirst(n, t + 1, tasks, threadCount));
    };
    if (tasks == 1)
        range(0);
    else
        workers().run(tasks, range);
}

template <class Kernel>
void StepContext::forPairRanges(const ParticleData& d, Kernel&& kernel)
{
    int n = d.count;
    int tasks = tasksFor(n);
    if (tasks == 1 || !searchedFrame(d)) {
        kernel(PairTask{0, n, nullptr, 0, 0, int(d.neighbors.size()), true});
        return;
    }
    // The first pass after the search finds each task's incoming records,
    // among those whose first place lies within the reach before its own;
    // the passes after it reuse them.
    bool found = incomingTasks == tasks;
    if (slots.size() < size_t(tasks))
        slots.resize(size_t(tasks));
    forRanges(n, [&](int t, int first, int end) {
        std::vector<int>& incoming = slots[size_t(t)].incoming;
        if (!found) {
            int from = pairStart[size_t(first - pairReach < 0 ? 0 : first - pairReach)];
            int to = pairStart[size_t(first)];
            incoming.clear();
            // Room for every record looked at, and at first for as many as
            // the search's lists make room for over an average task's places
            // or the reach, whichever is more (pages never written are never
            // taken), so that the list keeps its room while the scene spreads
            // out and the reach grows.
            makeRoom(incoming, size_t(to - from), kPairsAhead * size_t(std::max(n / tasks, pairReach)));
            for (int k = from; k < to; ++k)
                if (sweepPairs[size_t(k)].b >= first)
                    incoming.push_back(k);
        }
        kernel(PairTask{first, end, incoming.data(), int(incoming.size()), pairStart[size_t(first)],
                        pairStart[size_t(end)], false});
    });
    incomingTasks = tasks;
}

template <class Keep>
const int* StepContext::select(int n, Keep&& keep, int& count, size_t room, int grain)
{
    makeRoom(selected, size_t(n < 0 ? 0 : n), room);
    int* out = scratch(selected, n);
    int tasks = tasksFor(n, grain);
    if (tasks == 1) {
        int w = 0;
        for (int k = 0; k < n; ++k)
            if (keep(k))
                out[w++] = k;
        count = w;
        return out;
    }
    if (slots.size() < size_t(tasks))
        slots.resize(size_t(tasks));
    // Each task writes its items from the start of its own range; they then
    // move down behind those of the tasks before, in task order.
    forRanges(n, [&](int t, int first, int end) {
        int w = first;
        for (int k = first; k < end; ++k)
            if (keep(k))
                out[w++] = k;
        slots[size_t(t)].selectedCount = w - first;
    }, grain);
    int w = 0;
    for (int t = 0; t < tasks; ++t) {
        int first = rangeFirst(n, t, tasks, threadCount);
        int found = slots[size_t(t)].selectedCount;
        if (w != first)
            std::copy(out + first, out + first + found, out + w);
        w += found;
    }
    count = w;
    return out;
}

template <class T>
T* StepContext::gather(std::vector<T>& buffer, const T* from, const int* order, int n)
{
    T* out = scratch(buffer, n);
    forRanges(n, [&](int, int first, int end) {
        for (int i = first; i < end; ++i)
            out[i] = from[order[i]];
    });
    return out;
}

template <class T, class U>
void StepContext::gather(std::vector<T>& first, const T* fromFirst, std::vector<U>& second, const U* fromSecond,
                         const int* order, int n)
{
    T* a = scratch(first, n);
    U* b = scratch(second, n);
    forRanges(n, [&](int, int begin, int end) {
        for (int i = begin; i < end; ++i) {
            int p = order[i];
            a[i] = fromFirst[p];
            b[i] = fromSecond[p];
        }
    });
}

} // namespace Zeb::Kamblo
