#pragma once
// A small pool of worker threads that runs numbered tasks of one job at a
// time. The threads are started once and wait between jobs, so a step makes
// no threads of its own.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <type_traits>
#include <vector>

namespace Zeb::Kamblo {

class WorkerPool {
public:
    // threads counts the caller: a pool of 1 runs every task on the caller.
    explicit WorkerPool(int threads);
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;
    ~WorkerPool();

    int threads() const { return int(workers.size()) + 1; }

    // When the other threads keep arriving late, their cores taken by other
    // programs, the caller runs the next jobs alone for a while before it
    // tries again: any split gives the same results, and a job that waits
    // for a thread without a core is slower than one that never split.
    // Tests that check the splits themselves turn it off.
    bool yieldsToLoad = true;
    bool runningAlone() const { return aloneJobs.load(std::memory_order_relaxed) > 0; }

    // Runs task(0) .. task(tasks - 1), each exactly once, on the caller and
    // the workers, and returns when all have finished. Tasks must not start
    // another job on the same pool.
    //
    // Tasks are taken in number order, so the last ones decide how long the
    // others wait at the end of a job. They should be the smallest: task t is
    // meant to cost taskParts(t, tasks, threads()), and the pool weighs what
    // the caller ran by those parts.
    template <class Task>
    void run(int tasks, Task&& task)
    {
        if (tasks <= 1 || workers.empty() || runningAlone()) {
            if (tasks > 1 && !workers.empty())
                aloneJobs.fetch_sub(1, std::memory_order_relaxed);
            for (int t = 0; t < tasks; ++t)
                task(t);
            return;
        }
        using Function = std::remove_reference_t<Task>;
        Call call = [](void* function, int t) { (*static_cast<Function*>(function))(t); };
        for (int first = 0; first < tasks; first += kMostTasks)
            dispatch(first, tasks - first < kMostTasks ? tasks - first : kMostTasks, call, &task);
    }

    // The parts task t of a job of `tasks` is meant to cost on `threads`
    // threads. The first tasks, which the threads take at once, are alike;
    // then each takes a part less, down to one for the last. With no more
    // tasks than threads they are all alike.
    static int64_t taskParts(int t, int tasks, int threads)
    {
        int64_t most = mostParts(tasks, threads);
        return tasks - t < most ? tasks - t : most;
    }
    // The parts of tasks 0 .. t - 1; partsBefore(tasks, tasks, threads) is
    // the whole job's.
    static int64_t partsBefore(int t, int tasks, int threads)
    {
        int64_t most = mostParts(tasks, threads);
        int64_t alike = tasks - most + 1; // tasks of `most` parts
        if (t <= alike)
            return t * most;
        int64_t left = tasks - t;         // the parts of the next task
        return alike * most + (most - 1) * most / 2 - left * (left + 1) / 2;
    }

    // The parts of each of the first, alike tasks.
    static int64_t mostParts(int tasks, int threads) { return tasks - threads + 1 > 1 ? tasks - threads + 1 : 1; }

    // The machine's hardware threads, at least 1.
    static int hardwareThreads();

private:
    using Call = void (*)(void*, int);
    // The job word holds the job's number and task count (high half) and the
    // next task to take (low half), so that taking a task and learning which
    // job it belongs to is one atomic step.
    static constexpr int kCountBits = 12;
    static constexpr int kMostTasks = (1 << kCountBits) - 1;

    void dispatch(int first, int tasks, Call call, void* function);
    // Weighs one job of `tasks` tasks, `ranParts` of its parts run by the
    // caller in workNs, which then waited waitNs for the others.
    void judge(int tasks, int64_t ranParts, int64_t workNs, int64_t waitNs);
    void work();
    // Takes and runs tasks of the job in `job` until none is left; returns
    // the job word's high half as last seen. ranParts: the parts it ran.
    uint32_t runTasks(int64_t& ranParts);

    std::vector<std::thread> workers;
    std::atomic<uint64_t> job{0};
    std::atomic<int> pending{0};   // tasks of the current job not yet finished
    uint32_t jobNumber = 0;
    // The current job; written before its job word is published and left
    // alone until all its tasks have finished.
    Call call = nullptr;
    void* function = nullptr;
    int firstTask = 0;

    std::atomic<bool> stopping{false};
    std::atomic<int> sleepers{0};  // workers asleep, or about to be, on `wake`
    std::mutex mutex;
    std::condition_variable wake;
    std::mutex dispatching;        // one job at a time, whoever calls

    // Jobs judged together. Two judgements in a row that splitting gained
    // nothing (took longer than the caller alone would have) send the next
    // jobs to the caller alone, for a span that doubles while the judgements
    // stay bad: one hiccup costs nothing, a lasting load settles into long
    // spans.
    static constexpr int kJudgedJobs = 64;
    static constexpr int kFirstAloneJobs = 256;
    static constexpr int kMostAloneJobs = 4096;
    std::atomic<int> aloneJobs{0};
    // The rest under `dispatching`.
    int judgedJobs = 0;
    double judgedSplit = 0;        // ns the jobs took
    double judgedAlone = 0;        // ns the caller alone would have taken
    int badJudgements = 0;         // in a row
    int aloneSpan = kFirstAloneJobs;
};

} // namespace Zeb::Kamblo
