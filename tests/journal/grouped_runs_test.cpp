// Text runs that stage their files on workers and put them in place a group
// at a time leave exactly what writing the files one after the other leaves,
// and report the same, whatever the number of workers: on a table of
// operations over awkward lists (the same file twice, a backup listed, a
// link to a listed file, a hard-linked file, UTF-16, a large file, a file
// that cannot be read or written); their undo is complete; a stop leaves
// every file done or untouched; only the run's own thread hears the run
// and processes window messages.
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <set>
#include <thread>

#include "journal_support.h"
#include "platform/pump.h"
#include "template/template.h"
#include "textops/line_cut.h"
#include "textops/line_delete.h"
#include "textops/line_extract.h"
#include "textops/line_insert.h"
#include "textops/pattern_replace.h"
#include "textops/text_batch.h"
#include "textops/textfile.h"

namespace ferro {
namespace {

using testing::Entries;
using testing::Gbk;
using testing::ScopedEnv;
using testing::TempFolder;
using testing::UndoNewest;

// Hands every call on to the journal's recorder but takes no group: the run
// then writes each file on its own, as it did before group commit.
class OneByOne final : public ChangeRecorder {
public:
    explicit OneByOne(RunRecorder& r) : r_(r) {}
    bool Plan(const std::vector<Planned>& c) override { return r_.Plan(c); }
    bool WillRename(std::string_view a, std::string_view b) override { return r_.WillRename(a, b); }
    bool WillSetTimes(std::string_view p) override { return r_.WillSetTimes(p); }
    bool WillSetAttributes(std::string_view p) override { return r_.WillSetAttributes(p); }
    OldContentKeeper* WillWrite(std::string_view p) override { return r_.WillWrite(p); }
    bool WillCopyTo(std::string_view p) override { return r_.WillCopyTo(p); }
    bool WillBackUp(std::string_view f, std::string_view b) override { return r_.WillBackUp(f, b); }
    bool WillMakeFolder(std::string_view p) override { return r_.WillMakeFolder(p); }
    bool WillTrash(std::string_view p) override { return r_.WillTrash(p); }
    void Changed() override { r_.Changed(); }
    void Trashed(const TrashedFile& t) override { r_.Trashed(t); }
    void NotChanged() override { r_.NotChanged(); }

private:
    RunRecorder& r_;
};

// Records what it hears, and from which thread.
class ListeningHost : public RunHost {
public:
    ListeningHost(Journal& journal, bool oneByOne, int stopAfterStarted = -1)
        : run_(journal.StartRun("内容按行删除")), stopAfter_(stopAfterStarted) {
        if (oneByOne) oneByOne_ = std::make_unique<OneByOne>(*run_);
    }
    void FileStarted(int, std::string_view) override {
        ++started_;
        Here();
    }
    void FileFinished(const FileResult& r) override {
        Here();
        heard += std::to_string(r.row) + " " + r.path + " " + UndoneText(r.why) + "\n";
    }
    bool StopRequested() override {
        Here();
        return stopAfter_ >= 0 && started_ >= stopAfter_;
    }
    ChangeRecorder* recorder() override {
        if (oneByOne_) return oneByOne_.get();
        return run_.get();
    }
    void End() { run_->Close(); }

    std::string heard;
    bool elsewhere = false;  // a call came from another thread

private:
    void Here() { elsewhere |= std::this_thread::get_id() != thread_; }
    std::unique_ptr<RunRecorder> run_;
    std::unique_ptr<OneByOne> oneByOne_;
    std::thread::id thread_ = std::this_thread::get_id();
    int started_ = 0;
    int stopAfter_;
};

std::string Report(const RunSummary& s) {
    std::string text = "done " + std::to_string(s.done) + " stopped " + std::to_string(s.stopped) +
                       " error " + s.error + "\n";
    return text + UndoneListText(s);
}

// Every file under a folder with its bytes (links as links).
std::map<std::string, std::string> Tree(const std::string& root) {
    std::map<std::string, std::string> files;
    for (const std::string& name : Entries(root)) {
        const std::string path = root + "/" + name;
        const struct stat st = testing::Stat(path);
        if (S_ISDIR(st.st_mode)) {
            for (auto& [n, bytes] : Tree(path)) files[name + "/" + n] = bytes;
        } else if (S_ISLNK(st.st_mode)) {
            char target[256];
            const ssize_t n = readlink(path.c_str(), target, sizeof target);
            files[name] = "-> " + std::string(target, n > 0 ? static_cast<std::size_t>(n) : 0);
        } else {
            std::string bytes;
            ReadFileBytes(path, bytes);
            // Large contents by size and hash: a difference stays readable.
            if (bytes.size() > 4096)
                bytes = std::to_string(bytes.size()) + " bytes, hash " +
                        std::to_string(std::hash<std::string>()(bytes));
            files[name] = bytes;
        }
    }
    return files;
}

// The awkward list: small files of every encoding in two folders, a large
// one, the same file twice, a backup name listed, a link to a listed file,
// a hard-linked file; optionally one that ends the run.
std::vector<BatchFile> MakeFiles(const TempFolder& t, const std::string& ender) {
    std::vector<BatchFile> files;
    int row = 0;
    auto add = [&](const std::string& relative) { files.push_back({++row, t / relative}); };
    for (int i = 0; i < 24; ++i) {
        const std::string name = (i % 2 ? "b/" : "a/") + std::to_string(i) + ".txt";
        std::string text;
        for (int l = 0; l < 6; ++l)
            text += (l % 3 == 0 ? "ERROR " : "line ") + std::to_string(i) + "_" + std::to_string(l) +
                    (i % 3 == 0 ? "\r\n" : "\n");
        if (i % 4 == 1) text = Gbk("中文 ERROR_一\n中文 二_\n");      // GBK
        if (i % 4 == 2) text = "\xE4\xB8\xAD ERROR_x\n\xE6\x96\x87 y_z\n";  // UTF-8
        t.Write(name, text);
        add(name);
    }
    t.Write("a/utf16.txt", std::string("\xFF\xFE" "E\0R\0R\0O\0R\0_\0\n\0x\0_\0\n\0", 22));
    add("a/utf16.txt");
    std::string large;
    while (large.size() < (5u << 18)) large += "a large file's line ERROR_" + std::to_string(large.size()) + "\n";
    t.Write("a/large.txt", large);
    add("a/large.txt");
    add("a/0.txt");                   // the same file again
    t.Write("b/1.txt.bak", "an older backup of b/1\n");
    add("b/1.txt.bak");               // written, then b/1.txt's backup would replace it
    add("b/1.txt");
    EXPECT_EQ(symlink("2.txt", (t / "a/link-to-2.txt").c_str()), 0);
    add("a/link-to-2.txt");           // the same file as a/2.txt, listed before it
    add("a/2.txt");
    t.Write("b/hard.txt", "hard ERROR_link\n");
    EXPECT_EQ(link((t / "b/hard.txt").c_str(), (t / "b/hard-too.txt").c_str()), 0);
    add("b/hard.txt");
    add("b/hard-too.txt");
    if (!ender.empty()) {
        if (ender == "read-only") {
            t.Write("b/ro.txt", "read ERROR_only\n");
            t.SetMode("b/ro.txt", 0444);
            files.insert(files.begin() + 10, {++row, t / "b/ro.txt"});
        } else if (ender == "nul") {
            t.Write("b/nul.txt", std::string("a\0b\n", 4));
            files.insert(files.begin() + 10, {++row, t / "b/nul.txt"});
        } else if (ender == "missing") {
            files.insert(files.begin() + 10, {++row, t / "b/missing.txt"});
        }
    }
    return files;
}

struct Operation {
    const char* name;
    std::function<LineOperation(PatternReplaceState&)> make;
};

std::vector<Operation> Operations() {
    std::vector<Operation> ops;
    ops.push_back({"delete by keyword", [](PatternReplaceState&) {
                       LineDeleteSettings s;
                       s.mode = LineDeleteMode::Keywords;
                       s.keywords = {"ERROR"};
                       return LineDeleteOperation(s);
                   }});
    ops.push_back({"extract every second line", [](PatternReplaceState&) {
                       LineExtractSettings s;
                       s.mode = LineExtractMode::Interval;
                       s.interval = LineInterval::Make(2, 1);
                       return LineExtractOperation(s);
                   }});
    ops.push_back({"insert a template", [](PatternReplaceState&) {
                       LineInsertSettings s;
                       s.format = "${getleft(${pos(_)}-1)}";
                       s.choice = LineChoice::AllLines;
                       return LineInsertOperation(s);
                   }});
    ops.push_back({"insert numbered lines", [](PatternReplaceState&) {
                       LineInsertSettings s;
                       s.format = "${Sn(1,3)}: ${lineorg()}";
                       s.sequence = FindSequenceItem(s.format);
                       return LineInsertOperation(s);
                   }});
    ops.push_back({"cut by keyword", [](PatternReplaceState&) {
                       LineCutSettings s;
                       s.format = "${getright(3)}";
                       s.choice = LineChoice::Keyword;
                       s.keyword = "ERROR";
                       return LineCutOperation(s);
                   }});
    ops.push_back({"pattern (one thread)", [](PatternReplaceState& state) {
                       PatternReplaceSettings s;
                       s.pattern = "$2|$1";
                       s.count = 2;
                       return PatternReplaceOperation(s, state);
                   }});
    ops.push_back({"a rule refusing some files", [](PatternReplaceState&) {
                       LineOperation op([](const LineList& in, LineSink& out) {
                           for (std::string_view line : in) {
                               if (line.find("_3") != std::string_view::npos) throw ValueTooLong();
                               out.push_back(line);
                           }
                       });
                       op.parallel = true;
                       return op;
                   }});
    return ops;
}

class GroupedRunsTest : public ::testing::Test {
protected:
    TempFolder state_;
    ScopedEnv env_{"XDG_STATE_HOME", state_.path()};
};

TEST_F(GroupedRunsTest, ResultsAndReportsAreThoseOfFilesWrittenOneAfterTheOther) {
    struct Case {
        const char* ender;
        bool backup;
    };
    const Case cases[] = {{"", true}, {"", false}, {"read-only", true}, {"nul", false},
                          {"missing", true}};
    for (const Operation& op : Operations()) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(op.name) + (c.backup ? ", backups" : "") + ", " +
                         (*c.ender ? c.ender : "every file readable"));
            std::string referenceReport, referenceHeard, referenceUndo;
            std::map<std::string, std::string> referenceTree, referenceUndoneTree;
            for (const char* workers : {"one by one", "1", "2", "3"}) {
                SCOPED_TRACE(workers);
                const bool oneByOne = std::string(workers) == "one by one";
                ScopedEnv count("FERRO_WORKERS", oneByOne ? "2" : workers);
                TempFolder t;
                const std::vector<BatchFile> files = MakeFiles(t, c.ender);
                const std::map<std::string, std::string> before = Tree(t.path());
                Journal journal;
                ListeningHost host(journal, oneByOne);
                PatternReplaceState state;
                TextBatchOptions options;
                options.backup = c.backup;
                const RunSummary summary = RewriteTextFiles(files, options, op.make(state), &host);
                host.End();
                EXPECT_FALSE(host.elsewhere);
                // Paths differ by the folder only.
                std::string report = Report(summary), heard = host.heard;
                for (std::string* s : {&report, &heard})
                    for (std::size_t at; (at = s->find(t.path())) != std::string::npos;)
                        s->replace(at, t.path().size(), "T");
                if (oneByOne) {
                    referenceReport = report;
                    referenceHeard = heard;
                    referenceTree = Tree(t.path());
                } else {
                    EXPECT_EQ(report, referenceReport);
                    EXPECT_EQ(heard, referenceHeard);
                    EXPECT_EQ(Tree(t.path()), referenceTree);
                }
                // Undo gives every listed file its old content back, and
                // leaves what it leaves whichever way the files were written.
                // Some backups may stay where the same file was written twice
                // (listed twice, or by a link beside its target) or was copied
                // read-only; without backups nothing stays.
                std::string undoReport;
                if (journal.NextToUndo()) {
                    const UndoResult undone = UndoNewest(journal);
                    undoReport = UndoneListText(undone.summary);
                    for (std::size_t at; (at = undoReport.find(t.path())) != std::string::npos;)
                        undoReport.replace(at, t.path().size(), "T");
                    if (!c.backup) EXPECT_TRUE(undone.complete()) << undoReport;
                }
                std::map<std::string, std::string> undoneTree = Tree(t.path());
                for (const auto& [name, bytes] : before) EXPECT_EQ(undoneTree[name], bytes) << name;
                if (!c.backup) EXPECT_EQ(undoneTree, before);
                if (oneByOne) {
                    referenceUndo = undoReport;
                    referenceUndoneTree = undoneTree;
                } else {
                    EXPECT_EQ(undoReport, referenceUndo);
                    EXPECT_EQ(undoneTree, referenceUndoneTree);
                }
            }
        }
    }
}

TEST_F(GroupedRunsTest, AStopLeavesEachFileDoneOrUntouched) {
    ScopedEnv count("FERRO_WORKERS", "2");
    for (const int after : {1, 7, 150}) {
        SCOPED_TRACE("stop after " + std::to_string(after) + " files started");
        TempFolder t;
        std::vector<BatchFile> files;
        for (int i = 0; i < 300; ++i)
            files.push_back({i + 1, t.Write("f" + std::to_string(i) + ".log", "keep\nERROR\n")});
        Journal journal;
        ListeningHost host(journal, false, after);
        LineDeleteSettings s;
        s.mode = LineDeleteMode::Keywords;
        s.keywords = {"ERROR"};
        TextBatchOptions options;
        const RunSummary summary = RewriteTextFiles(files, options, LineDeleteOperation(s), &host);
        host.End();
        EXPECT_TRUE(summary.stopped);
        // Files announced but not yet begun by a worker are given up: at
        // most the files in hand (eight a worker) are not done.
        EXPECT_GE(summary.done + 16, after);
        EXPECT_LT(summary.done, 300);
        std::set<std::string> stopped;
        for (const FileResult& r : summary.undone) {
            EXPECT_EQ(r.why, Undone::Stopped);
            stopped.insert(r.path);
        }
        EXPECT_EQ(summary.done + static_cast<int>(stopped.size()), 300);
        for (const BatchFile& f : files) {
            std::string now;
            ReadFileBytes(f.path, now);
            EXPECT_EQ(now, stopped.count(f.path) ? "keep\nERROR\n" : "keep\n") << f.path;
        }
        for (const std::string& name : Entries(t.path()))
            EXPECT_EQ(name.find(".ferro-"), std::string::npos) << name;
        if (summary.done == 0) continue;  // stopped before a worker began: nothing to undo
        const UndoResult undone = UndoNewest(journal);
        EXPECT_EQ(undone.summary.done, summary.done);
        EXPECT_TRUE(undone.complete());
    }
}

std::atomic<bool> g_pumpedElsewhere{false};
std::atomic<int> g_pumps{0};
std::thread::id g_windowThread;
void CountingPump() {
    ++g_pumps;
    if (std::this_thread::get_id() != g_windowThread) g_pumpedElsewhere = true;
}

TEST_F(GroupedRunsTest, OnlyTheRunsThreadProcessesWindowMessages) {
    ScopedEnv count("FERRO_WORKERS", "2");
    TempFolder t;
    std::vector<BatchFile> files;
    std::string big;
    while (big.size() < (4u << 20)) big += "ERROR line with some text in it\nplain line\n";
    for (int i = 0; i < 40; ++i) files.push_back({i + 1, t.Write("f" + std::to_string(i), big)});
    g_windowThread = std::this_thread::get_id();
    g_pumps = 0;
    SetMessagePumpHook(CountingPump, 0);
    Journal journal;
    ListeningHost host(journal, false);
    LineDeleteSettings s;
    s.mode = LineDeleteMode::Keywords;
    s.keywords = {"ERROR"};
    const RunSummary summary = RewriteTextFiles(files, {}, LineDeleteOperation(s), &host);
    SetMessagePumpHook(nullptr);
    host.End();
    EXPECT_EQ(summary.done, 40);
    EXPECT_FALSE(g_pumpedElsewhere);
    EXPECT_FALSE(host.elsewhere);
    EXPECT_GT(g_pumps, 10);  // the window went on while the workers worked
}

}  // namespace
}  // namespace ferro
