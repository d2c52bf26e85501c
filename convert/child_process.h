// Running an outside program to its end without freezing the window: the
// program runs in a process group of its own with its output in a file,
// window messages are processed while it works, and it is killed (with
// everything it started) when it stops making progress, when it runs past
// its total time, when a stop is asked for, and when the program exits.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace ferro {

struct ChildResult {
    enum Status {
        NotFound,       // no such program, or not executable
        FailedToStart,  // found, but the system could not start it
        Exited,         // ended by itself (exitCode holds its code)
        Crashed,        // ended by a signal
        TimedOut,       // made no progress for too long, or ran out of time, and was killed
        Stopped,        // killed because a stop was asked for
    };
    Status status = NotFound;
    int exitCode = -1;
};

// The program's full path: itself when it holds a "/", else the first
// executable of that name along PATH. Empty when there is none.
std::string FindProgram(const std::string& program);

struct ChildOptions {
    std::vector<std::string> arguments;  // after the program name
    std::vector<std::string> setEnv;     // "NAME=value" added to the environment
    std::string outputFile;              // stdout and stderr go here (disk path)
    // Killed after this long without the progress value changing.
    int stallTimeoutMs = 120000;
    // Killed after this long in all, progress or not; 0: no such limit.
    long long totalTimeoutMs = 0;
    // Asked while the program runs; true kills it.
    std::function<bool()> stop;
    // Told the process group once the program has started.
    std::function<void(int group)> started;
    // Any value that changes while the program does useful work (the size of
    // its output, the number of files written); none means elapsed time only.
    std::function<long long()> progress;
};

ChildResult RunChild(const std::string& program, const ChildOptions& options);

// Kills every child process group still running (each with everything it
// started); a run waiting for its child returns Stopped. Called when the
// program exits; also run by an exit handler and when the program
// terminates abnormally.
void KillChildProcesses();

}  // namespace ferro
