// "Process pending window messages" for long loops in the core libraries.
// The window installs a hook; without one (tests, benchmarks) the call does
// nothing. Calls are cheap: the hook runs at most once per interval, so hot
// loops may call this for every line or directory entry.
#pragma once

#include <functional>

namespace ferro {

using MessagePumpHook = void (*)();

void SetMessagePumpHook(MessagePumpHook hook, int intervalMs = 30);
void ProcessPendingMessages();
// The same for loops whose turns take long (a piece of a large file): the
// clock is read on every call.
void ProcessPendingMessagesTimed();
// Runs the hook now, whatever the interval (end of a run, before a dialog).
void ProcessPendingMessagesNow();

// Runs a call that may block for long (flushing a large file to disk,
// freeing the blocks of one) on a helper thread while this thread goes on
// processing messages, and returns its result with the errno it left. The
// call must touch nothing the window may touch meanwhile. Without a hook it
// is simply called.
bool WhileProcessingMessages(const std::function<bool()>& call);

// A worker thread (one that reads and writes files for a run while the
// window's thread follows it) never processes the window's messages: once a
// thread has called this, every call above is nothing on it, and
// WhileProcessingMessages simply makes its call.
void NeverPumpOnThisThread();

}  // namespace ferro
