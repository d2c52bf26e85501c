// The kill tests: a child process rewrites a big file, alternately with two
// contents, and is killed at random points of the rewrite, again and again;
// after each kill the test runs the next start's recovery and checks what is
// left. The cases, the file, the timing of one whole rewrite and the kill
// itself are the same for every such test; what the child does and what is
// checked are each test's own.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "common/file_testing.h"
#include "common/temp_folder.h"

namespace ferro::testing {

struct KillCase {
    const char* name;
    bool hardLinked;  // the file has a second name: it is rewritten where it stands
    bool named;       // the replacement's temporary files have names
    int kills;
};

inline const std::vector<KillCase>& KillCases() {
    static const std::vector<KillCase> cases = {
        {"in place (two links)", true, false, 10},
        {"replacement", false, false, 6},
        {"replacement with named temporaries", false, true, 5},
    };
    return cases;
}

// The two contents, of about 50 MiB, that differ in every 4 KiB block.
inline const std::string& OldBigContent() {
    static const std::string a = MarkedContent('a', 50u << 20);
    return a;
}
inline const std::string& NewBigContent() {
    static const std::string b = MarkedContent('b', (50u << 20) - 123457);
    return b;
}

// The case's file in t, holding the old content, with its second link when
// the case asks for one; names: what the folder is to hold.
struct KilledFile {
    std::string path;
    std::vector<std::string> names;
};
inline KilledFile MakeKilledFile(const TempFolder& t, const KillCase& c) {
    KilledFile f{t.Write("big.txt", OldBigContent()), {"big.txt"}};
    if (c.hardLinked && link(f.path.c_str(), (t / "link.txt").c_str()) == 0) f.names.push_back("link.txt");
    return f;
}

// Waits for the child started and tells whether it ended well.
inline bool EndedWell(pid_t pid) {
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Microseconds one whole rewrite takes, so that kills land all over it;
// -1 when the child did not end well.
inline long long TimeWholeRewrite(const std::function<pid_t()>& start) {
    const auto begin = std::chrono::steady_clock::now();
    if (!EndedWell(start())) return -1;
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - begin)
        .count();
}

// Starts a rewrite and kills it after a random pause of up to 1.1 times a
// whole rewrite's time; false when the child could not be waited for.
inline bool KillPartWay(const std::function<pid_t()>& start, long long micros, std::mt19937& random) {
    const pid_t pid = start();
    std::this_thread::sleep_for(
        std::chrono::microseconds(std::uniform_int_distribution<long>(0, micros * 11 / 10)(random)));
    kill(pid, SIGKILL);
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid;
}

// One line of the test's output for each case.
inline void PrintKills(const KillCase& c, long long micros, int sawOld, int restored, int sawNew,
                       const char* more = "") {
    std::printf("[ kills    ] %s: %d kills over %.2f s rewrites: %d old (%d put back), %d new%s\n", c.name,
                c.kills, micros / 1e6, sawOld, restored, sawNew, more);
}

}  // namespace ferro::testing
