#include "cli/console.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>

namespace ferro::cli {

namespace {

volatile std::sig_atomic_t stopRequested = 0;
struct sigaction previous {};

void OnInterrupt(int) { stopRequested = 1; }

void Write(std::FILE* stream, std::string_view bytes) {
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
    std::fflush(stream);
}

}  // namespace

StdConsole::StdConsole() {
    stopRequested = 0;
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    // The handler goes after the first signal: a second Ctrl+C ends the
    // program. Files are written safely, so even that loses none.
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, &previous);
}

StdConsole::~StdConsole() { sigaction(SIGINT, &previous, nullptr); }

void StdConsole::Out(std::string_view bytes) { Write(stdout, bytes); }

void StdConsole::Err(std::string_view bytes) { Write(stderr, bytes); }

bool StdConsole::ErrIsTerminal() const { return isatty(STDERR_FILENO) == 1; }

bool StdConsole::StopRequested() const { return stopRequested != 0; }

}  // namespace ferro::cli
