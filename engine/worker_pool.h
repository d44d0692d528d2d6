#pragma once
// A small pool of worker threads that runs numbered tasks of one job at a
// time. The threads are started once and sleep between jobs, so a step makes
// no threads of its own.
#include <atomic>
#include <condition_variable>
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

    // Runs task(0) .. task(tasks - 1), each exactly once, on the caller and
    // the workers, and returns when all have finished. Tasks must not start
    // another job on the same pool.
    template <class Task>
    void run(int tasks, Task&& task)
    {
        if (tasks <= 1 || workers.empty()) {
            for (int t = 0; t < tasks; ++t)
                task(t);
            return;
        }
        using Function = std::remove_reference_t<Task>;
        dispatch(tasks, [](void* function, int t) { (*static_cast<Function*>(function))(t); }, &task);
    }

    // The machine's hardware threads, at least 1.
    static int hardwareThreads();

private:
    using Call = void (*)(void*, int);
    void dispatch(int tasks, Call call, void* function);
    void work();
    bool awaitJob(unsigned seen) const;
    void runTasks();

    std::vector<std::thread> workers;
    std::mutex mutex;
    std::condition_variable wake;     // workers wait here for a job
    std::condition_variable finished; // the caller waits here for the workers
    std::atomic<unsigned> generation{0}; // counts jobs; a worker joins each at most once
    bool open = false;                // tasks of the current job may still be taken
    std::atomic<bool> stopping{false};
    int active = 0;                   // workers inside the current job
    Call call = nullptr;
    void* function = nullptr;
    int taskCount = 0;
    std::atomic<int> nextTask{0};
    std::mutex dispatching;           // one job at a time, whoever calls
};

} // namespace Zeb::Kamblo
