// Worker threads for the runs that read, transform and write many files at
// once, while the window's thread (or the command line's) follows the run:
// only that thread reports, records and processes window messages; a worker
// never does (NeverPumpOnThisThread, pump.h).
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace ferro {

// How many workers a run uses: as many as the machine has cores, at least
// two. FERRO_WORKERS in the environment (read when a run starts) sets
// another number, 1 included, for tests and benchmarks.
int WorkerCount();

// A fixed set of threads taking tasks in the order they are given.
class WorkerPool {
public:
    explicit WorkerPool(int threads);
    // Drops the tasks not begun and waits for those under way.
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    void Submit(std::function<void()> task);
    // Drops the tasks no worker has begun yet; returns how many. The tasks
    // under way go on.
    std::size_t DropWaiting();

private:
    void Work();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> tasks_;
    bool ending_ = false;
    std::vector<std::thread> threads_;
};

// work(from, to) over [0, count) on two threads at once, the calling one
// and helper (a thread made for it when null): each takes a sixteenth at a
// time, in no set order, so the calling thread does what the helper has no
// time for. Returns when every part is done, rethrowing what one threw (the
// parts not begun then are left); where no thread can be had, the calling
// thread does it all.
void OnTwoThreads(std::size_t count, const std::function<void(std::size_t, std::size_t)>& work,
                  WorkerPool* helper = nullptr);

}  // namespace ferro
