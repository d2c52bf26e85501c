// Running an outside program to its end without freezing the window: the
// program runs in a process group of its own with its output in a file,
// window messages are processed while it works, and it is killed (with
// everything it started) when it stops making progress.
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
        TimedOut,       // made no progress for too long and was killed
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
    // Any value that changes while the program does useful work (the size of
    // its output, the number of files written); none means elapsed time only.
    std::function<long long()> progress;
};

ChildResult RunChild(const std::string& program, const ChildOptions& options);

}  // namespace ferro
