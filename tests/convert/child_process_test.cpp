#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "common/temp_folder.h"
#include "convert/child_process.h"
#include "convert/convert.h"
#include "convert/office.h"

using ferro::ChildResult;
using ferro::testing::TempFolder;

namespace {

std::string Script(const TempFolder& dir, const char* name, const std::string& body) {
    const std::string path = dir.Write(name, "#!/bin/sh\n" + body + "\n");
    chmod(path.c_str(), 0755);
    return path;
}

// PATH pointed at an empty folder for one scope.
class HiddenPath {
public:
    explicit HiddenPath(const std::string& dir) {
        if (const char* p = std::getenv("PATH")) old_ = p;
        setenv("PATH", dir.c_str(), 1);
    }
    ~HiddenPath() { setenv("PATH", old_.c_str(), 1); }

private:
    std::string old_;
};

}  // namespace

TEST(ChildProcess, ExitCodesOutputAndMissingPrograms) {
    TempFolder dir;
    ferro::ChildOptions o;
    o.arguments = {"one", "two words"};
    o.outputFile = dir / "out.txt";
    auto r = ferro::RunChild(Script(dir, "ok.sh", "echo \"$2\"; echo err >&2; exit 3"), o);
    EXPECT_EQ(r.status, ChildResult::Exited);
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(dir.Read("out.txt"), "two words\nerr\n");
    EXPECT_EQ(ferro::RunChild(Script(dir, "crash.sh", "kill -SEGV $$"), o).status,
              ChildResult::Crashed);
    EXPECT_EQ(ferro::RunChild(dir / "none.sh", o).status, ChildResult::NotFound);
    dir.Write("plain.sh", "#!/bin/sh\n");  // not executable
    EXPECT_EQ(ferro::RunChild(dir / "plain.sh", o).status, ChildResult::NotFound);
    HiddenPath hidden(dir.MakeFolder("empty"));
    EXPECT_EQ(ferro::FindProgram("sh"), "");
    EXPECT_EQ(ferro::RunChild("sh", o).status, ChildResult::NotFound);
}

TEST(ChildProcess, AHungProgramAndWhatItStartedAreKilled) {
    TempFolder dir;
    ferro::ChildOptions o;
    o.stallTimeoutMs = 300;
    o.outputFile = dir / "out.txt";
    const std::string pidFile = dir / "helper.pid";
    // The script leaves a helper behind, in its process group, and hangs.
    const auto start = std::chrono::steady_clock::now();
    auto r = ferro::RunChild(
        Script(dir, "hang.sh", "sleep 60 & echo $! > '" + pidFile + "'; sleep 60"), o);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(r.status, ChildResult::TimedOut);
    EXPECT_LT(took, std::chrono::seconds(10));
    const int helper = std::atoi(dir.Read("helper.pid").c_str());
    ASSERT_GT(helper, 0);
    // Gone (or at most a zombie of init) once the group was killed.
    std::string state;
    for (int i = 0; i < 50; ++i) {
        const std::string stat = "/proc/" + std::to_string(helper) + "/stat";
        FILE* f = std::fopen(stat.c_str(), "r");
        if (!f) break;
        char buf[256] = {};
        std::fgets(buf, sizeof buf, f);
        std::fclose(f);
        state = buf;
        if (state.find(") Z") != std::string::npos) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        state.clear();
    }
    EXPECT_TRUE(state.empty() || state.find(") Z") != std::string::npos) << state;

    // A program that keeps making progress is left to finish.
    o.progress = [&] { return static_cast<long long>(dir.Read("out.txt").size()); };
    r = ferro::RunChild(
        Script(dir, "slow.sh", "for i in 1 2 3 4 5 6; do echo $i; sleep 0.15; done"), o);
    EXPECT_EQ(r.status, ChildResult::Exited);
}

TEST(OfficeSession, AnApplicationThatHangsOrMisbehavesConvertsNothing) {
    TempFolder dir;
    const std::string src = dir.Write("a.csv", "1,2\n");
    ferro::ConvertContext ctx;
    // Hangs: killed after the time limit, file not counted, no message.
    ferro::OfficeSession hang({Script(dir, "soffice-hang", "sleep 60"), 300, 25});
    ctx.office = &hang;
    auto out = ferro::ConvertFile(src, "${CsvTo(xls)}", ctx);
    EXPECT_TRUE(out.newPath.empty());
    EXPECT_FALSE(out.cannotStart);
    // Exits 0 without writing anything: judged by the missing file.
    ferro::OfficeSession liar({Script(dir, "soffice-liar", "exit 0"), 5000, 25});
    ctx.office = &liar;
    out = ferro::ConvertFile(src, "${CsvTo(xls)}", ctx);
    EXPECT_TRUE(out.newPath.empty());
    EXPECT_FALSE(out.cannotStart);
    EXPECT_FALSE(dir.Exists("a.xls"));
    // Hidden from PATH: cannot start, every time it is asked.
    HiddenPath hidden(dir.MakeFolder("empty"));
    ferro::OfficeSession missing;
    ctx.office = &missing;
    for (int i = 0; i < 2; ++i)
        EXPECT_TRUE(ferro::ConvertFile(src, "${CsvTo(xls)}", ctx).cannotStart);
    EXPECT_FALSE(dir.Exists("a.xls"));
}
