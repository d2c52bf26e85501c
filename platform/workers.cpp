#include "platform/workers.h"

#include <algorithm>
#include <cstdlib>

#include "platform/pump.h"

namespace ferro {

int WorkerCount() {
    if (const char* set = std::getenv("FERRO_WORKERS"); set && *set) {
        const int n = std::atoi(set);
        if (n >= 1) return std::min(n, 64);
    }
    static const int cores = static_cast<int>(std::thread::hardware_concurrency());
    return std::max(2, cores);
}

WorkerPool::WorkerPool(int threads) {
    threads_.reserve(static_cast<std::size_t>(std::max(threads, 1)));
    for (int i = 0; i < std::max(threads, 1); ++i) threads_.emplace_back([this] { Work(); });
}

WorkerPool::~WorkerPool() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        tasks_.clear();
        ending_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : threads_) t.join();
}

void WorkerPool::Submit(std::function<void()> task) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    wake_.notify_one();
}

std::size_t WorkerPool::DropWaiting() {
    std::deque<std::function<void()>> dropped;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        dropped.swap(tasks_);
    }
    return dropped.size();
}

void WorkerPool::Work() {
    NeverPumpOnThisThread();
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return ending_ || !tasks_.empty(); });
            if (tasks_.empty()) return;
            task = std::move(tasks_.front());
            tasks_.pop_front();
        }
        task();
    }
}

}  // namespace ferro
