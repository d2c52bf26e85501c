#include "platform/workers.h"

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <system_error>

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

void InTwoHalves(std::size_t count, const std::function<void(std::size_t, std::size_t)>& work,
                 WorkerPool* helper) {
    const std::size_t half = count / 2;
    std::mutex mutex;
    std::condition_variable finished;
    bool over = false;
    std::exception_ptr failed;
    const auto second = [&] {
        try {
            work(half, count);
        } catch (...) {
            failed = std::current_exception();
        }
        std::lock_guard<std::mutex> lock(mutex);
        over = true;
        finished.notify_one();
    };
    std::thread thread;
    try {
        if (helper) helper->Submit(second);
        else thread = std::thread(second);
    } catch (const std::system_error&) {
        work(0, count);  // no thread to be had
        return;
    }
    const auto join = [&] {
        if (thread.joinable()) {
            thread.join();
            return;
        }
        std::unique_lock<std::mutex> lock(mutex);
        finished.wait(lock, [&] { return over; });
    };
    try {
        work(0, half);
    } catch (...) {
        join();
        throw;
    }
    join();
    if (failed) std::rethrow_exception(failed);
}

}  // namespace ferro
