#include "convert/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <exception>
#include <mutex>
#include <set>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/pump.h"

extern char** environ;

namespace ferro {
namespace {

using Clock = std::chrono::steady_clock;

bool IsExecutableFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

// Whether the child has ended, without reaping it: while it is a zombie its
// process id (and so its group id) cannot be given to anyone else, so the
// group can still be signalled safely.
// A child that someone else reaped (errno ECHILD) has ended too, but its id
// may be in use again and is not to be signalled.
bool HasEnded(pid_t pid, siginfo_t& info, bool& gone) {
    std::memset(&info, 0, sizeof info);
    gone = false;
    if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0) {
        if (errno == EINTR) return false;
        gone = true;
        return true;
    }
    return info.si_pid == pid;
}

// Groups of the children running now. Kept in a fixed table besides the
// set, so that a terminate handler can kill them without allocating.
std::mutex& RegistryLock() {
    static std::mutex m;
    return m;
}
constexpr int kSlots = 64;
std::atomic<pid_t> gGroups[kSlots];
std::atomic<unsigned> gKills{0};  // how often every child was killed
std::terminate_handler gPreviousTerminate = nullptr;

void KillRegistered() {
    for (auto& g : gGroups) {
        const pid_t pid = g.exchange(0);
        if (pid > 0) kill(-pid, SIGKILL);
    }
}

[[noreturn]] void OnTerminate() {
    KillRegistered();
    if (gPreviousTerminate) gPreviousTerminate();
    std::abort();
}

void InstallSafetyNet() {
    static std::once_flag once;
    std::call_once(once, [] {
        std::atexit([] { KillChildProcesses(); });
        gPreviousTerminate = std::set_terminate(OnTerminate);
    });
}

void Register(pid_t pid) {
    InstallSafetyNet();
    std::lock_guard<std::mutex> lock(RegistryLock());
    for (auto& g : gGroups) {
        pid_t empty = 0;
        if (g.compare_exchange_strong(empty, pid)) return;
    }
}

void Unregister(pid_t pid) {
    std::lock_guard<std::mutex> lock(RegistryLock());
    for (auto& g : gGroups) {
        pid_t mine = pid;
        if (g.compare_exchange_strong(mine, 0)) return;
    }
}

void Reap(pid_t pid) {
    while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

}  // namespace

void KillChildProcesses() {
    ++gKills;
    std::lock_guard<std::mutex> lock(RegistryLock());
    KillRegistered();
}

std::string FindProgram(const std::string& program) {
    if (program.empty()) return {};
    if (program.find('/') != std::string::npos)
        return IsExecutableFile(program) ? program : std::string();
    const char* path = std::getenv("PATH");
    if (!path) return {};
    std::string_view rest(path);
    while (true) {
        const std::size_t colon = rest.find(':');
        std::string dir(rest.substr(0, colon));
        if (!dir.empty()) {
            std::string candidate = dir + "/" + program;
            if (IsExecutableFile(candidate)) return candidate;
        }
        if (colon == std::string_view::npos) break;
        rest.remove_prefix(colon + 1);
    }
    return {};
}

ChildResult RunChild(const std::string& program, const ChildOptions& options) {
    ChildResult result;
    const std::string exe = FindProgram(program);
    if (exe.empty()) return result;

    std::vector<std::string> argStore;
    argStore.push_back(exe);
    argStore.insert(argStore.end(), options.arguments.begin(), options.arguments.end());
    std::vector<char*> argv;
    for (std::string& a : argStore) argv.push_back(a.data());
    argv.push_back(nullptr);

    // The environment, with the requested variables replaced.
    std::vector<std::string> envStore;
    for (char** e = environ; e && *e; ++e) {
        std::string_view entry(*e);
        bool replaced = false;
        for (const std::string& s : options.setEnv) {
            const std::size_t eq = s.find('=');
            if (entry.substr(0, eq + 1) == std::string_view(s).substr(0, eq + 1)) replaced = true;
        }
        if (!replaced) envStore.emplace_back(entry);
    }
    envStore.insert(envStore.end(), options.setEnv.begin(), options.setEnv.end());
    std::vector<char*> envp;
    for (std::string& s : envStore) envp.push_back(s.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    const char* out = options.outputFile.empty() ? "/dev/null" : options.outputFile.c_str();
    posix_spawn_file_actions_addopen(&actions, 1, out, O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGCHLD);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    sigaddset(&defaults, SIGHUP);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setflags(
        &attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    pid_t pid = -1;
    const int rc = posix_spawn(&pid, exe.c_str(), &actions, &attr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) {
        result.status = ChildResult::FailedToStart;
        return result;
    }

    const unsigned kills = gKills;
    Register(pid);
    if (options.started) options.started(static_cast<int>(pid));

    // Asks politely, then makes sure: the whole group, helpers included.
    auto killGroup = [&](ChildResult::Status why) {
        kill(-pid, SIGTERM);
        siginfo_t info;
        bool gone = false;
        const Clock::time_point asked = Clock::now();
        while (!HasEnded(pid, info, gone) && Clock::now() - asked < std::chrono::seconds(2))
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (!gone) {
            kill(-pid, SIGKILL);
            Reap(pid);
        }
        Unregister(pid);
        result.status = why;
        return result;
    };

    long long lastValue = options.progress ? options.progress() : 0;
    const Clock::time_point begun = Clock::now();
    Clock::time_point lastProgress = begun;
    auto pause = std::chrono::milliseconds(2);
    siginfo_t info;
    bool gone = false;
    while (!HasEnded(pid, info, gone)) {
        ProcessPendingMessagesNow();
        if (gKills != kills) return killGroup(ChildResult::Stopped);
        if (options.stop && options.stop()) return killGroup(ChildResult::Stopped);
        std::this_thread::sleep_for(pause);
        if (pause < std::chrono::milliseconds(20)) pause *= 2;
        if (options.progress) {
            const long long v = options.progress();
            if (v != lastValue) {
                lastValue = v;
                lastProgress = Clock::now();
            }
        }
        const Clock::time_point now = Clock::now();
        if (now - lastProgress > std::chrono::milliseconds(options.stallTimeoutMs) ||
            (options.totalTimeoutMs > 0 &&
             now - begun > std::chrono::milliseconds(options.totalTimeoutMs)))
            return killGroup(ChildResult::TimedOut);
    }
    Unregister(pid);
    if (gKills != kills) {
        // Killed with every other child at exit.
        if (!gone) Reap(pid);
        result.status = ChildResult::Stopped;
        return result;
    }
    if (gone) {
        result.status = ChildResult::Crashed;
        return result;
    }
    // Helpers the program left behind would hold on to the files it used.
    kill(-pid, SIGKILL);
    Reap(pid);
    if (info.si_code == CLD_EXITED) {
        result.status = ChildResult::Exited;
        result.exitCode = info.si_status;
    } else {
        result.status = ChildResult::Crashed;
    }
    return result;
}

}  // namespace ferro
