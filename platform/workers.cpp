#include "platform/workers.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <exception>
#include <memory>
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

void OnTwoThreads(std::size_t count, const std::function<void(std::size_t, std::size_t)>& work,
                  WorkerPool* helper) {
    // The two threads take the calls a small share at a time, so that the
    // calling thread never waits for a helper that woke late for more than
    // the share the helper has in hand. The helper's task may start after
    // the call has returned, every share taken: it then finds none, and
    // what it reads is kept for it.
    struct Shares {
        std::size_t count = 0;
        std::size_t size = 1;
        std::atomic<std::size_t> next{0};
        std::mutex mutex;
        std::condition_variable idle;
        int active = 0;  // threads that may hold a share
        std::exception_ptr failed;
    };
    const auto shares = std::make_shared<Shares>();
    shares->count = count;
    shares->size = std::max<std::size_t>(1, count / 16);
    const auto take = [&work](Shares& s) {
        {
            std::lock_guard<std::mutex> lock(s.mutex);
            ++s.active;
        }
        for (;;) {
            const std::size_t from = s.next.fetch_add(s.size);
            if (from >= s.count) break;
            try {
                work(from, std::min(s.count, from + s.size));
            } catch (...) {
                std::lock_guard<std::mutex> lock(s.mutex);
                if (!s.failed) s.failed = std::current_exception();
                s.next = s.count;  // the shares not begun are given up
                break;
            }
        }
        std::lock_guard<std::mutex> lock(s.mutex);
        if (--s.active == 0) s.idle.notify_all();
    };
    std::thread thread;
    try {
        const auto second = [shares, take] { take(*shares); };
        if (helper)
            helper->Submit(second);
        else
            thread = std::thread(second);
    } catch (const std::system_error&) {
        work(0, count);  // no thread to be had
        return;
    }
    take(*shares);
    if (thread.joinable()) thread.join();
    std::unique_lock<std::mutex> lock(shares->mutex);
    // Every share is taken: wait for the one the helper may still be on.
    shares->idle.wait(lock, [&] { return shares->active == 0; });
    if (shares->failed) std::rethrow_exception(shares->failed);
}

}  // namespace ferro
