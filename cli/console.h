// Where the command line writes, and how it hears of Ctrl+C. The program
// uses the process's own standard output and error; tests record.
#pragma once

#include <string_view>

namespace ferro::cli {

class Console {
public:
    virtual ~Console() = default;
    // Bytes as they are to be printed (UTF-8).
    virtual void Out(std::string_view bytes) = 0;
    virtual void Err(std::string_view bytes) = 0;
    // Whether standard error is a terminal: only then a progress line is
    // shown on it.
    virtual bool ErrIsTerminal() const { return false; }
    // Whether the user asked the run to stop (Ctrl+C).
    virtual bool StopRequested() const { return false; }
};

// Standard output and error of the process. While it exists, the first
// Ctrl+C (SIGINT) asks the run to stop after the file it is working on; a
// second one ends the program at once, as usual.
class StdConsole : public Console {
public:
    StdConsole();
    ~StdConsole() override;
    StdConsole(const StdConsole&) = delete;
    StdConsole& operator=(const StdConsole&) = delete;

    void Out(std::string_view bytes) override;
    void Err(std::string_view bytes) override;
    bool ErrIsTerminal() const override;
    bool StopRequested() const override;
};

}  // namespace ferro::cli
