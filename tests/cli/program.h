// Runs the built program as a child process in a folder, with no display,
// and keeps what it printed; reads its JSON report.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace ferro::testing {

struct ProgramRun {
    int status = -1;  // exit status; -1 when it did not exit normally
    std::string out, err;
    // The report on standard output as JSON (an empty object if it is not).
    QJsonObject Json() const {
        return QJsonDocument::fromJson(QByteArray::fromStdString(out)).object();
    }
};

inline std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The program's state folder (XDG_STATE_HOME) for the children of this test
// process: its own, outside every test's folder, removed at the end.
inline const std::string& ChildStateHome() {
    struct Folder {
        std::string path;
        Folder() {
            const char* tmp = std::getenv("TMPDIR");
            path = std::string(tmp && *tmp ? tmp : "/tmp") + "/ferro-cli-state-XXXXXX";
            if (!mkdtemp(path.data())) path.clear();
        }
        ~Folder() {
            std::error_code ignored;
            if (!path.empty()) std::filesystem::remove_all(path, ignored);
        }
    };
    static const Folder folder;
    return folder.path;
}

// Starts `ferrovan-batch run args` in folder, with what it prints thrown
// away; the caller waits for it.
inline pid_t StartProgram(const std::string& folder, const std::vector<std::string>& args,
                   const char* asanOptions = nullptr, std::string stateHome = {}) {
    if (stateHome.empty()) stateHome = ChildStateHome();
    const pid_t pid = fork();
    if (pid == 0) {
        if (asanOptions) {
            const char* given = std::getenv("ASAN_OPTIONS");
            setenv("ASAN_OPTIONS", (std::string(given ? given : "") + ":" + asanOptions).c_str(), 1);
        }
        const int null = open("/dev/null", O_WRONLY);
        if (null < 0 || dup2(null, 1) < 0 || dup2(null, 2) < 0 || chdir(folder.c_str()) != 0)
            _exit(127);
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) unsetenv(name);
        setenv("XDG_STATE_HOME", stateHome.c_str(), 1);
        std::vector<char*> argv{const_cast<char*>(FERRO_PROGRAM), const_cast<char*>("run")};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(FERRO_PROGRAM, argv.data());
        _exit(127);
    }
    return pid;
}

// `ferrovan-batch run` followed by args (UTF-8), in folder (a disk path).
inline ProgramRun RunProgram(const std::string& folder, const std::vector<std::string>& args) {
    // What it prints goes to files outside the folder, which a search may walk.
    const char* tmp = std::getenv("TMPDIR");
    std::string outFile = std::string(tmp && *tmp ? tmp : "/tmp") + "/ferro-cli-out-XXXXXX";
    std::string errFile = std::string(tmp && *tmp ? tmp : "/tmp") + "/ferro-cli-err-XXXXXX";
    const int out = mkstemp(outFile.data()), err = mkstemp(errFile.data());
    const std::string stateHome = ChildStateHome();
    const pid_t pid = fork();
    if (pid == 0) {
        if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 || chdir(folder.c_str()) != 0)
            _exit(127);
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) unsetenv(name);
        setenv("XDG_STATE_HOME", stateHome.c_str(), 1);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(FERRO_PROGRAM));
        argv.push_back(const_cast<char*>("run"));
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(FERRO_PROGRAM, argv.data());
        _exit(127);
    }
    close(out);
    close(err);
    ProgramRun run;
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status))
        run.status = WEXITSTATUS(status);
    run.out = ReadWhole(outFile);
    run.err = ReadWhole(errFile);
    unlink(outFile.c_str());
    unlink(errFile.c_str());
    return run;
}

}  // namespace ferro::testing
