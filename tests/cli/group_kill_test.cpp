// Runs over thousands of small files, written and renamed a group at a
// time, killed at random moments through the command line: after the next
// run's mending each file is old or new, no temporary is left and undo
// gives every file back; one worker and two give the same files and the
// same report.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <QJsonArray>
#include <chrono>
#include <map>
#include <random>
#include <set>
#include <thread>

#include "cli/run.h"
#include "common/file_testing.h"
#include "common/temp_folder.h"
#include "journal/journal.h"
#include "journal/undo.h"
#include "program.h"

namespace ferro::cli {
namespace {

using testing::Entries;
using testing::ProgramRun;
using testing::RunProgram;
using testing::ScopedEnv;
using testing::TempFolder;

// A state folder of the test's own, so that the newest run is the one the
// test started.
struct StateHome {
    TempFolder folder;
    std::string journal() const { return folder / "ferrovan-batch/journal"; }
};

pid_t Start(const std::string& folder, const StateHome& state, const std::vector<std::string>& args) {
    return testing::StartProgram(folder, args, nullptr, state.folder.path());
}

int Wait(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -2;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Every file under root by its path relative to root, with its bytes.
std::map<std::string, std::string> Files(const std::string& root, const std::string& under = {}) {
    std::map<std::string, std::string> files;
    for (const std::string& name : Entries(root + under)) {
        const std::string relative = under + "/" + name;
        if (S_ISDIR(testing::Stat(root + relative).st_mode)) {
            files.merge(Files(root, relative));
        } else {
            std::string bytes;
            ReadFileBytes(root + relative, bytes);
            files[relative] = bytes;
        }
    }
    return files;
}

// Names the program's temporaries have, anywhere under root.
std::vector<std::string> Temporaries(const std::map<std::string, std::string>& files) {
    std::vector<std::string> found;
    for (const auto& [name, bytes] : files)
        if (name.find(".ferro-") != std::string::npos) found.push_back(name);
    return found;
}

struct KillRound {
    int killedMidway = 0, sawNew = 0, sawOld = 0;
};

// A run of args in t killed at random moments, rounds times: each time
// check sees the files after the mending, then the run is undone and every
// file must be as it was.
KillRound KillAgainAndAgain(const TempFolder& t, const std::vector<std::string>& args, int rounds,
                            const std::function<void(const std::map<std::string, std::string>&, KillRound&)>& check) {
    StateHome state;
    TempFolder elsewhere;
    elsewhere.Write("other.txt", "x\n");
    const std::map<std::string, std::string> before = Files(t.path());
    // How long a whole run takes, so that kills land all over it.
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(Wait(Start(t.path(), state, args)), kExitDone);
    const long long micros =
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - begin).count();
    KillRound seen;
    check(Files(t.path()), seen);
    std::mt19937 random(20261209);
    for (int round = 0; round <= rounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        if (round > 0) {
            const pid_t pid = Start(t.path(), state, args);
            std::this_thread::sleep_for(
                std::chrono::microseconds(std::uniform_int_distribution<long long>(0, micros)(random)));
            kill(pid, SIGKILL);
            if (Wait(pid) == -1) ++seen.killedMidway;
            // Any later run of the command line mends what the kill left.
            EXPECT_EQ(Wait(Start(elsewhere.path(), state, {"statistics", "other.txt"})), kExitDone);
            const std::map<std::string, std::string> now = Files(t.path());
            EXPECT_EQ(Temporaries(now), std::vector<std::string>{});
            check(now, seen);
        }
        // Undo gives every finished file back.
        Journal journal(state.journal());
        if (const std::optional<JournalRun> run = journal.NextToUndo()) {
            const UndoResult undone = UndoRun(journal, run->id, nullptr);
            EXPECT_TRUE(undone.complete()) << UndoneListText(undone.summary);
        }
        const std::map<std::string, std::string> undone = Files(t.path());
        EXPECT_TRUE(undone == before) << Temporaries(undone).size() << " temporaries, " << undone.size()
                                      << " files of " << before.size();
        if (undone != before) break;  // every later round would say the same
    }
    std::printf("[ kills    ] %d kills over %.2f s runs: %d landed before the end, %d files seen old, %d new\n",
                rounds, micros / 1e6, seen.killedMidway, seen.sawOld, seen.sawNew);
    return seen;
}

std::string LogText(int folder, int file) {
    std::string text;
    for (int l = 0; l < 40; ++l)
        text += (l % 5 == 2 ? "ERROR " : "INFO ") + std::to_string(folder) + "/" + std::to_string(file) +
                " line " + std::to_string(l) + "\n";
    return text;
}

TEST(CliGroupKill, AKilledLineDeleteOverTwoThousandFilesLeavesEachOldOrNewAndUndoes) {
    TempFolder t;
    std::map<std::string, std::string> oldText, newText;
    for (int d = 0; d < 20; ++d)
        for (int f = 0; f < 100; ++f) {
            const std::string name = "/logs/d" + std::to_string(d) + "/f" + std::to_string(f) + ".log";
            const std::string text = LogText(d, f);
            t.Write(name.substr(1), text);
            oldText[name] = text;
            std::string kept;
            for (std::size_t at = 0; at < text.size();) {
                const std::size_t end = text.find('\n', at) + 1;
                if (text.compare(at, 5, "ERROR") != 0) kept += text.substr(at, end - at);
                at = end;
            }
            newText[name] = kept;
        }
    const KillRound seen = KillAgainAndAgain(
        t, {"delete-lines", "--keywords", "ERROR", "--no-backup", "--search", "logs", "--mask", "*.log"}, 30,
        [&](const std::map<std::string, std::string>& now, KillRound& seen) {
            EXPECT_EQ(now.size(), oldText.size());
            for (const auto& [name, text] : oldText) {
                const auto it = now.find(name);
                if (it == now.end()) {
                    ADD_FAILURE() << name << " is gone";
                } else if (it->second == text) {
                    ++seen.sawOld;
                } else if (it->second == newText[name]) {
                    ++seen.sawNew;
                } else {
                    ADD_FAILURE() << name << " is neither old nor new: " << it->second.size() << " bytes";
                }
            }
        });
    EXPECT_GT(seen.killedMidway, 10);  // most kills landed before the run ended
}

TEST(CliGroupKill, AKilledRenameOfFiveThousandFilesLeavesEachOldOrNewAndUndoes) {
    TempFolder t;
    for (int d = 0; d < 10; ++d)
        for (int f = 0; f < 500; ++f)
            t.Write("photos/d" + std::to_string(d) + "/p" + std::to_string(f) + ".jpg",
                    std::to_string(d) + "-" + std::to_string(f));
    const std::vector<std::string> args = {"rename", "--pattern", "img_${sn(1,5)}", "--search", "photos",
                                           "--mask", "*.jpg"};
    // Where each file goes in a whole run, by its content.
    std::map<std::string, std::string> oldName, newName;
    for (const auto& [name, bytes] : Files(t.path())) oldName[bytes] = name;
    {
        StateHome state;
        ASSERT_EQ(Wait(Start(t.path(), state, args)), kExitDone);
        for (const auto& [name, bytes] : Files(t.path())) newName[bytes] = name;
        Journal journal(state.journal());
        ASSERT_TRUE(journal.NextToUndo());
        ASSERT_TRUE(UndoRun(journal, journal.NextToUndo()->id, nullptr).complete());
    }
    ASSERT_EQ(newName.size(), 5000u);
    const KillRound seen = KillAgainAndAgain(
        t, args, 30, [&](const std::map<std::string, std::string>& now, KillRound& seen) {
            EXPECT_EQ(now.size(), oldName.size());
            std::set<std::string> contents;
            for (const auto& [name, bytes] : now) {
                contents.insert(bytes);
                if (name == oldName[bytes]) ++seen.sawOld;
                else if (name == newName[bytes]) ++seen.sawNew;
                else ADD_FAILURE() << bytes << " is at " << name;
            }
            EXPECT_EQ(contents.size(), oldName.size());
        });
    EXPECT_GT(seen.killedMidway, 10);
}

// The JSON report with the test's folder taken out.
std::string Report(const ProgramRun& run, const std::string& folder) {
    std::string out = run.out;
    for (std::size_t at; (at = out.find(folder)) != std::string::npos;) out.replace(at, folder.size(), "T");
    return out;
}

TEST(CliGroupKill, OneWorkerAndTwoLeaveTheSameFilesAndReport) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
    };
    const std::vector<std::string> list = {"--search", "data", "--mask", "*.txt", "--json"};
    const Case cases[] = {
        {"delete by keyword", {"delete-lines", "--keywords", "ERROR", "--no-backup"}},
        {"delete by keyword with backups", {"delete-lines", "--keywords", "ERROR"}},
        {"insert a template", {"insert", "--format", "${getleft(${pos(/)}-1)}", "--all-lines", "--no-backup"}},
        {"insert numbered lines", {"insert", "--format", "${Sn(1,3)}: ${lineorg()}", "--all-lines"}},
        {"rename", {"rename", "--pattern", "n_${sn(1,4)}"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string reference;
        std::map<std::string, std::string> referenceFiles;
        for (const char* workers : {"1", "2"}) {
            SCOPED_TRACE(std::string("workers ") + workers);
            ScopedEnv count("FERRO_WORKERS", workers);
            TempFolder t;
            for (int i = 0; i < 300; ++i) {
                std::string text = LogText(i % 7, i);
                if (i % 50 == 7) text = "\xFF\xFE" + std::string("x\0\n\0", 4);  // UTF-16
                if (i % 97 == 3) text = std::string("bin\0ary\n", 8);            // refused
                t.Write("data/s" + std::to_string(i % 6) + "/f" + std::to_string(i) + ".txt", text);
            }
            t.Write("data/s1/ro.txt", "ERROR read only\n");
            t.SetMode("data/s1/ro.txt", 0444);
            std::vector<std::string> args = c.args;
            args.insert(args.end(), list.begin(), list.end());
            const ProgramRun run = RunProgram(t.path(), args);
            const std::string report = Report(run, t.path());
            const std::map<std::string, std::string> files = Files(t.path());
            if (reference.empty()) {
                reference = report;
                referenceFiles = files;
                EXPECT_FALSE(report.empty());
            } else {
                EXPECT_EQ(report, reference);
                EXPECT_TRUE(files == referenceFiles);
            }
        }
    }
}

}  // namespace
}  // namespace ferro::cli
