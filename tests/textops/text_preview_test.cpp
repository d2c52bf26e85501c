// The preview of a line operation: the lines the run would write, worked
// out without writing, and a diff that accounts for every line.
#include "textops/text_preview.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/temp_folder.h"
#include "textops/keywords.h"
#include "textops/line_delete.h"
#include "textops/line_insert.h"
#include "textops/textfile.h"

namespace ferro {
namespace {

using testing::Gbk;
using testing::TempFolder;

LineList Lines(const std::vector<std::string>& lines) {
    LineList l;
    for (const auto& s : lines) l.push_back(s);
    return l;
}

// Rebuilds both sides from the diff (folded lines taken from the file) and
// checks they are the two lists: the diff loses nothing and invents nothing.
void ExpectAccountsForEveryLine(const LineList& a, const LineList& b, const LineDiff& d) {
    std::vector<std::string> before, after;
    for (const DiffLine& l : d.shown()) {
        switch (l.kind) {
            case DiffLine::Kind::Same:
                before.emplace_back(l.text);
                after.emplace_back(l.text);
                break;
            case DiffLine::Kind::Removed: before.emplace_back(l.text); break;
            case DiffLine::Kind::Added: after.emplace_back(l.text); break;
            case DiffLine::Kind::Folded:
                for (std::size_t k = 0; k < l.folded; ++k) {
                    before.emplace_back(a[l.oldLine - 1 + k]);
                    after.emplace_back(a[l.oldLine - 1 + k]);
                }
                break;
        }
    }
    ASSERT_EQ(before.size(), a.size());
    ASSERT_EQ(after.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) EXPECT_EQ(before[i], a[i]) << i;
    for (std::size_t i = 0; i < b.size(); ++i) EXPECT_EQ(after[i], b[i]) << i;
    EXPECT_EQ(a.size() - d.removed(), b.size() - d.added());
    EXPECT_EQ(d.unchanged(), a.size() - d.removed());
}

TEST(LineDiff, AccountsForEveryLineWithTheFewestChangesForLineRules) {
    std::vector<std::string> file;
    for (int i = 1; i <= 40; ++i) file.push_back(i % 7 == 0 ? "" : "line " + std::to_string(i));
    auto drop = [&](auto keep) {
        std::vector<std::string> out;
        for (std::size_t i = 0; i < file.size(); ++i)
            if (keep(i)) out.push_back(file[i]);
        return out;
    };
    std::vector<std::string> everyOtherBlank, rewritten, blanksAdded;
    for (const auto& l : file) {
        everyOtherBlank.push_back(l);
        everyOtherBlank.push_back("");
        rewritten.push_back("x" + l);
    }
    blanksAdded = file;
    blanksAdded.insert(blanksAdded.begin() + 10, 3, "");
    struct Case {
        const char* name;
        std::vector<std::string> after;
        std::size_t removed, added;
    } cases[] = {
        {"unchanged", file, 0, 0},
        {"every second line dropped", drop([](std::size_t i) { return i % 2 == 1; }), 20, 0},
        {"blank lines dropped", drop([&](std::size_t i) { return !file[i].empty(); }), 5, 0},
        {"a long stretch dropped", drop([](std::size_t i) { return i < 3 || i > 30; }), 28, 0},
        {"a blank after every line", everyOtherBlank, 0, 40},
        {"blank lines added among blank lines", blanksAdded, 0, 3},
        {"every line rewritten", rewritten, 40, 40},
        {"everything dropped", {}, 40, 0},
    };
    const LineList a = Lines(file);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const LineList b = Lines(c.after);
        LineDiff d(a, b);
        // In slices of a few lines, as the window asks for them.
        int slices = 0;
        while (!d.Advance(7)) ASSERT_LT(++slices, 1000);
        EXPECT_EQ(d.removed(), c.removed);
        EXPECT_EQ(d.added(), c.added);
        ExpectAccountsForEveryLine(a, b, d);
    }
}

TEST(LineDiff, FoldsUnchangedLinesAndCapsWhatIsKept) {
    std::vector<std::string> file, after;
    for (int i = 1; i <= 1000; ++i) file.push_back(std::to_string(i));
    after = file;
    after[499] = "changed";
    const LineList a = Lines(file), b = Lines(after);
    LineDiff d(a, b);
    while (!d.Advance(1u << 20)) {
    }
    // 496 folded, three lines of context, the change, three, 497 folded.
    ASSERT_EQ(d.shown().size(), 10u);
    EXPECT_EQ(d.shown()[0].kind, DiffLine::Kind::Folded);
    EXPECT_EQ(d.shown()[0].folded, 496u);
    EXPECT_EQ(d.shown()[4].kind, DiffLine::Kind::Removed);
    EXPECT_EQ(d.shown()[4].oldLine, 500u);
    EXPECT_EQ(d.shown()[5].text, "changed");
    EXPECT_EQ(d.shown()[9].folded, 497u);
    EXPECT_FALSE(d.capped());

    // Every line changed: showing stops at the cap, counting does not.
    std::vector<std::string> all;
    for (const auto& l : file) all.push_back(l + "!");
    const LineList c = Lines(all);
    LineDiff::Options small;
    small.maxShown = 50;
    LineDiff capped(a, c, small);
    while (!capped.Advance(100)) {
    }
    EXPECT_EQ(capped.shown().size(), 50u);
    EXPECT_TRUE(capped.capped());
    EXPECT_EQ(capped.removed(), 1000u);
    EXPECT_EQ(capped.added(), 1000u);
}

TEST(TextPreview, GivesTheRunsLinesAndWritesNothing) {
    TempFolder t;
    const std::string text = "中文 错误 一\nok\n错误 二\n";
    const std::string f = t.Write("u.txt", text);
    LineDeleteSettings del;
    del.mode = LineDeleteMode::Keywords;
    del.keywords = SplitKeywords(Gbk("错误"));
    const LineTransform rule = [&](const LineList& in, LineSink& out) { DeleteLines(del, in, out); };

    const TextPreview p = PreviewTextFile(f, TextMode::Auto, rule);
    ASSERT_TRUE(p.ok());
    EXPECT_EQ(t.Read("u.txt"), text);  // untouched
    ASSERT_EQ(p.after.size(), 1u);
    EXPECT_EQ(p.after[0], "ok");

    // The same rule run for real leaves what the preview showed.
    const RunSummary r = RewriteTextFiles({{1, f}}, TextBatchOptions(), rule, nullptr);
    ASSERT_EQ(r.done, 1);
    EXPECT_EQ(t.Read("u.txt"), "ok\n");

    // Files a run would refuse say why; a cancel ends it early.
    const std::string nul = t.Write("nul.txt", std::string("a\0b\n", 4));
    EXPECT_EQ(PreviewTextFile(nul, TextMode::Auto, rule).why, Undone::NotText);
    EXPECT_EQ(PreviewTextFile(t / "none.txt", TextMode::Auto, rule).why, Undone::Missing);
    std::string big;
    for (int i = 0; i < 5000; ++i) big += "line\n";
    const std::string b = t.Write("big.txt", big);
    LineInsertSettings ins;
    ins.format = "${addleft(x)}";
    ins.choice = LineChoice::AllLines;
    const TextPreview stopped = PreviewTextFile(
        b, TextMode::Auto, [&](const LineList& in, LineSink& out) { InsertIntoLines(ins, in, out); },
        [] { return true; });
    EXPECT_TRUE(stopped.cancelled);
    EXPECT_FALSE(stopped.ok());
}

}  // namespace
}  // namespace ferro
