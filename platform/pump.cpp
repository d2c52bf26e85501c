#include "platform/pump.h"

#include <chrono>

namespace ferro {
namespace {

MessagePumpHook g_hook = nullptr;
std::chrono::steady_clock::duration g_interval = std::chrono::milliseconds(30);
std::chrono::steady_clock::time_point g_last;
unsigned g_calls = 0;

}  // namespace

void SetMessagePumpHook(MessagePumpHook hook, int intervalMs) {
    g_hook = hook;
    g_interval = std::chrono::milliseconds(intervalMs);
    g_last = std::chrono::steady_clock::now();
}

void ProcessPendingMessages() {
    if (!g_hook) return;
    // Reading the clock on every call would show in loops over millions of
    // lines; every 16th call is often enough at any realistic loop speed.
    if ((++g_calls & 15u) != 0) return;
    auto now = std::chrono::steady_clock::now();
    if (now - g_last < g_interval) return;
    g_last = now;
    g_hook();
}

void ProcessPendingMessagesNow() {
    if (!g_hook) return;
    g_last = std::chrono::steady_clock::now();
    g_hook();
}

}  // namespace ferro
