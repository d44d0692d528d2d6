#include "worker_pool.h"

#include <algorithm>
#include <chrono>

namespace Zeb::Kamblo {

namespace {

// Lets a hyper-thread sibling or the memory system go on while this one waits.
inline void relax()
{
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__)
    asm volatile("yield");
#endif
}

using Clock = std::chrono::steady_clock;

int64_t nanoseconds(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(to - from).count();
}

} // namespace

WorkerPool::WorkerPool(int threads)
{
    for (int i = 1; i < threads; ++i)
        workers.emplace_back([this] { work(); });
}

WorkerPool::~WorkerPool()
{
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    for (std::thread& worker : workers)
        worker.join();
}

int WorkerPool::hardwareThreads() { return std::max(1, int(std::thread::hardware_concurrency())); }

uint32_t WorkerPool::runTasks(int64_t& ranParts)
{
    ranParts = 0;
    for (;;) {
        uint64_t taken = job.fetch_add(1, std::memory_order_acq_rel);
        uint32_t high = uint32_t(taken >> 32);
        int count = int(high & kMostTasks);
        int t = int(uint32_t(taken));
        if (t >= count)
            return high;
        // A task taken keeps its job from finishing, so the job's fields stay.
        call(function, firstTask + t);
        ranParts += taskParts(t, count, threads());
        pending.fetch_sub(1, std::memory_order_release);
    }
}

void WorkerPool::dispatch(int first, int tasks, Call jobCall, void* jobFunction)
{
    std::lock_guard<std::mutex> one(dispatching);
    call = jobCall;
    function = jobFunction;
    firstTask = first;
    pending.store(tasks, std::memory_order_relaxed);
    jobNumber = (jobNumber + 1) & ((1u << (32 - kCountBits)) - 1);
    job.store(uint64_t(jobNumber << kCountBits | uint32_t(tasks)) << 32, std::memory_order_seq_cst);
    if (sleepers.load(std::memory_order_seq_cst) > 0) {
        std::lock_guard<std::mutex> lock(mutex);
        wake.notify_all();
    }
    Clock::time_point start = Clock::now();
    int64_t ranParts = 0;
    runTasks(ranParts);
    Clock::time_point done = Clock::now();
    // Every task has been taken; wait for those still running elsewhere. A
    // worker holding one may have lost its core to another thread, so after
    // a short watch the caller offers its own.
    for (int i = 0; pending.load(std::memory_order_acquire) != 0; ++i) {
        if (i < 4096)
            relax();
        else
            std::this_thread::yield();
    }
    if (yieldsToLoad)
        judge(tasks, ranParts, nanoseconds(start, done), nanoseconds(done, Clock::now()));
}

// The caller's own tasks tell what all of them would have cost it alone.
// When the split jobs took longer than that (the others took a task and then
// lost their core to another program), the next jobs run alone, which also
// leaves the other cores to whoever needs them.
void WorkerPool::judge(int tasks, int64_t ranParts, int64_t workNs, int64_t waitNs)
{
    judgedSplit += double(workNs + waitNs);
    double parts = double(partsBefore(tasks, tasks, threads()));
    judgedAlone += ranParts > 0 ? double(workNs) * parts / double(ranParts) : double(workNs + waitNs) * tasks;
    if (++judgedJobs < kJudgedJobs)
        return;
    if (judgedSplit <= judgedAlone) {
        badJudgements = 0;
        aloneSpan = kFirstAloneJobs;
    } else if (++badJudgements >= 2) {
        aloneJobs.store(aloneSpan, std::memory_order_relaxed);
        aloneSpan = std::min(2 * aloneSpan, kMostAloneJobs);
    }
    judgedJobs = 0;
    judgedSplit = 0;
    judgedAlone = 0;
}

// A step starts a job every few hundred microseconds; a worker put to sleep
// between them would wake too late to take a share (a sleeping thread takes
// tens of microseconds to wake on a virtual machine). So it watches for the
// next job for a while before it sleeps, offering its core to other threads
// now and then while it does.
void WorkerPool::work()
{
    uint32_t seen = 0;
    for (;;) {
        auto fresh = [&] { return uint32_t(job.load(std::memory_order_acquire) >> 32) != seen; };
        auto giveUp = Clock::now() + std::chrono::microseconds(200);
        bool found = false;
        for (int i = 1; !stopping.load(std::memory_order_relaxed); ++i) {
            if (fresh()) {
                found = true;
                break;
            }
            relax();
            if (i % 64 == 0) {
                if (Clock::now() > giveUp)
                    break;
                std::this_thread::yield();
            }
        }
        if (!found) {
            sleepers.fetch_add(1, std::memory_order_seq_cst);
            {
                std::unique_lock<std::mutex> lock(mutex);
                wake.wait(lock, [&] {
                    return stopping.load(std::memory_order_relaxed) ||
                           uint32_t(job.load(std::memory_order_seq_cst) >> 32) != seen;
                });
            }
            sleepers.fetch_sub(1, std::memory_order_relaxed);
        }
        if (stopping.load(std::memory_order_relaxed))
            return;
        int64_t ranParts = 0;
        seen = runTasks(ranParts);
    }
}

} // namespace Zeb::Kamblo
