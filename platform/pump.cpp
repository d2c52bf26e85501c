#include "platform/pump.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace ferro {
namespace {

MessagePumpHook g_hook = nullptr;
std::chrono::steady_clock::duration g_interval = std::chrono::milliseconds(30);
std::chrono::steady_clock::time_point g_last;
unsigned g_calls = 0;
thread_local bool t_noPump = false;

}  // namespace

void NeverPumpOnThisThread() { t_noPump = true; }

void SetMessagePumpHook(MessagePumpHook hook, int intervalMs) {
    g_hook = hook;
    g_interval = std::chrono::milliseconds(intervalMs);
    g_last = std::chrono::steady_clock::now();
}

void ProcessPendingMessages() {
    if (t_noPump || !g_hook) return;
    // Reading the clock on every call would show in loops over millions of
    // lines; every 16th call is often enough at any realistic loop speed.
    if ((++g_calls & 15u) != 0) return;
    ProcessPendingMessagesTimed();
}

void ProcessPendingMessagesTimed() {
    if (t_noPump || !g_hook) return;
    auto now = std::chrono::steady_clock::now();
    if (now - g_last < g_interval) return;
    g_last = now;
    g_hook();
}

bool WhileProcessingMessages(const std::function<bool()>& call) {
    if (t_noPump || !g_hook) return call();
    std::mutex m;
    std::condition_variable cv;
    bool finished = false, result = false;
    int error = 0;
    std::thread helper([&] {
        const bool r = call();
        const int e = errno;
        std::lock_guard<std::mutex> lock(m);
        result = r;
        error = e;
        finished = true;
        cv.notify_one();
    });
    std::unique_lock<std::mutex> lock(m);
    while (!cv.wait_for(lock, std::chrono::milliseconds(10), [&] { return finished; })) {
        lock.unlock();
        const auto now = std::chrono::steady_clock::now();
        if (now - g_last >= g_interval) {
            g_last = now;
            g_hook();
        }
        lock.lock();
    }
    lock.unlock();
    helper.join();
    errno = error;
    return result;
}

void ProcessPendingMessagesNow() {
    if (t_noPump || !g_hook) return;
    g_last = std::chrono::steady_clock::now();
    g_hook();
}

}  // namespace ferro
