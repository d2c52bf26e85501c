// "Process pending window messages" for long loops in the core libraries.
// The window installs a hook; without one (tests, benchmarks) the call does
// nothing. Calls are cheap: the hook runs at most once per interval, so hot
// loops may call this for every line or directory entry.
#pragma once

namespace ferro {

using MessagePumpHook = void (*)();

void SetMessagePumpHook(MessagePumpHook hook, int intervalMs = 30);
void ProcessPendingMessages();
// Runs the hook now, whatever the interval (end of a run, before a dialog).
void ProcessPendingMessagesNow();

}  // namespace ferro
