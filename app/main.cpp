// Program entry: `run` and the other verbs (the command line, no window),
// else the window. The window and the libraries behind it (Qt's widgets,
// its GUI and network modules and theirs) are a module of their own
// (app/window_main.cpp), loaded only when a window is wanted: a command
// line run does not spend its first tens of milliseconds loading them.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "cli/run.h"
#include "cli/text.h"
#include "cli/verbs.h"
#include "convert/child_process.h"
#include "platform/codec.h"
#include "platform/modules.h"

namespace {

// `ferrovan-batch run|presets|history|undo ...`: before anything of Qt
// exists, so it needs no display. The arguments come in as the names on
// disk do (UTF-8).
int RunCommandLine(int argc, char* argv[]) {
    std::vector<std::string> args;
    for (int i = 2; i < argc; ++i) args.push_back(ferro::DiskToGbk(argv[i]));
    int status = ferro::cli::kExitUndone;
    {
        ferro::cli::StdConsole console;
        try {
            status = ferro::cli::VerbMain(argv[1], args, console);
        } catch (const std::exception& e) {
            console.Err(ferro::cli::ToUtf8(e.what()) + "\n");
        }
    }
    ferro::KillChildProcesses();
    return status;
}

}  // namespace

int main(int argc, char* argv[]) {
    // A verb, or a word in its place that is none: never a window.
    if (argc > 1 && (ferro::cli::IsVerb(argv[1]) || ferro::cli::LooksLikeVerb(argv[1])))
        return RunCommandLine(argc, argv);
    using WindowMain = int (*)(int, char**);
    const auto window = reinterpret_cast<WindowMain>(ferro::ModuleEntry("window", "ferro_window_main_1"));
    if (!window) {
        std::fputs("ferrovan-batch: 无法打开窗口：程序的窗口模块缺失或不完整，请重新安装本程序。\n", stderr);
        return 1;
    }
    return window(argc, argv);
}
