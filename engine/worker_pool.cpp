#include "worker_pool.h"

#include <algorithm>
#include <chrono>

namespace Zeb::Kamblo {

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

void WorkerPool::runTasks()
{
    for (int t = nextTask.fetch_add(1, std::memory_order_relaxed); t < taskCount;
         t = nextTask.fetch_add(1, std::memory_order_relaxed))
        call(function, t);
}

void WorkerPool::dispatch(int tasks, Call jobCall, void* jobFunction)
{
    std::lock_guard<std::mutex> one(dispatching);
    {
        std::lock_guard<std::mutex> lock(mutex);
        call = jobCall;
        function = jobFunction;
        taskCount = tasks;
        nextTask.store(0, std::memory_order_relaxed);
        open = true;
        generation.fetch_add(1, std::memory_order_release);
    }
    wake.notify_all();
    runTasks();
    // Every task has been taken; wait for the workers still running theirs,
    // and keep late sleepers from joining a job that is over.
    std::unique_lock<std::mutex> lock(mutex);
    open = false;
    finished.wait(lock, [this] { return active == 0; });
}

// A step starts a job every few hundred microseconds; a worker put to sleep
// between them would wake too late to take a share (a sleeping thread takes
// tens of microseconds to wake on a virtual machine). So it watches for the
// next job for a while before it sleeps.
bool WorkerPool::awaitJob(unsigned seen) const
{
    using Clock = std::chrono::steady_clock;
    auto giveUp = Clock::now() + std::chrono::microseconds(200);
    for (int i = 1;; ++i) {
        if (stopping.load(std::memory_order_relaxed) || generation.load(std::memory_order_acquire) != seen)
            return true;
        if (i % 64 == 0 && Clock::now() > giveUp)
            return false;
    }
}

void WorkerPool::work()
{
    unsigned seen = 0;
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        lock.unlock();
        awaitJob(seen);
        lock.lock();
        wake.wait(lock, [&] { return stopping || generation != seen; });
        if (stopping)
            return;
        seen = generation;
        if (!open)
            continue;
        ++active;
        lock.unlock();
        runTasks();
        lock.lock();
        if (--active == 0)
            finished.notify_one();
    }
}

} // namespace Zeb::Kamblo
