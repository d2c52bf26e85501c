// Text files as they are found: UTF-8, GBK and UTF-16 files side by side,
// with their byte-order marks, line breaks and last breaks kept; the rules
// see the same code page 936 text whatever the file's encoding; the classic
// mode is the old byte-for-byte behaviour.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "common/file_testing.h"
#include "common/temp_folder.h"
#include "platform/codec.h"
#include "textops/key_merge.h"
#include "textops/keywords.h"
#include "textops/line_cut.h"
#include "textops/line_delete.h"
#include "textops/line_extract.h"
#include "textops/line_insert.h"
#include "textops/line_sync.h"
#include "textops/new_lines.h"
#include "textops/pattern_replace.h"
#include "textops/text_batch.h"
#include "textops/textfile.h"

namespace ferro {
namespace {

using testing::Gbk;
using testing::TempFolder;

// Lines of a UTF-8 text (this source file is UTF-8) joined by LF.
const std::string kText =
    "中文 错误 ab\n"
    "第二行:ok\n"
    "\n"
    "三四;五 错误\n"
    "末行 end";

std::string Replace(std::string_view s, std::string_view from, std::string_view to) {
    std::string out;
    std::size_t p = 0;
    for (std::size_t at; (at = s.find(from, p)) != std::string_view::npos; p = at + from.size())
        out.append(s.substr(p, at - p)).append(to);
    return out.append(s.substr(p));
}

std::string Utf16Le(std::string_view utf8) {
    std::u16string u = GbkToUtf16(Gbk(utf8));
    std::string s = "\xFF\xFE";
    for (char16_t c : u) {
        s += static_cast<char>(c & 0xFF);
        s += static_cast<char>(c >> 8);
    }
    return s;
}

RunSummary Rewrite(const std::vector<std::string>& paths, TextMode mode,
                   const LineOperation& transform) {
    std::vector<BatchFile> files;
    for (const std::string& p : paths) files.push_back({0, p});
    TextBatchOptions options;
    options.mode = mode;
    return RewriteTextFiles(files, options, transform, nullptr);
}

struct Operation {
    const char* name;
    LineTransform transform;
};

std::vector<Operation> EveryLineOperation() {
    LineCutSettings cut;
    cut.format = "${getleft(4)}";
    cut.choice = LineChoice::AllLines;
    LineInsertSettings insert;
    insert.format = Gbk("${addleft(前缀)}");
    insert.choice = LineChoice::TextLines;
    PatternReplaceSettings pattern;
    pattern.pattern = Gbk("$2=$1");
    LineDeleteSettings del;
    del.mode = LineDeleteMode::Keywords;
    del.keywords = SplitKeywords(Gbk("错误"));
    LineExtractSettings extract;
    extract.mode = LineExtractMode::Keywords;
    extract.keywords = SplitKeywords(Gbk("错误;ok"));
    const NewLinesSettings newLines = MakeNewLinesSettings(NewLineMode::kInterval, 0, 2, 1, {});
    const NewLineBlock block = NewLineBlock::Parse(Gbk("新:${LineStr(2)}"));
    return {
        {"line cut", [=](const LineList& in, LineSink& out) { CutLines(cut, in, out); }},
        {"line insert", [=](const LineList& in, LineSink& out) { InsertIntoLines(insert, in, out); }},
        {"pattern replace",
         [=](const LineList& in, LineSink& out) {
             PatternReplaceState state;
             ReplaceByPattern(pattern, state, in, out);
         }},
        {"line delete", [=](const LineList& in, LineSink& out) { DeleteLines(del, in, out); }},
        {"line extract", [=](const LineList& in, LineSink& out) { ExtractLines(extract, in, out); }},
        {"insert new lines",
         [=](const LineList& in, LineSink& out) {
             InsertNewLines(newLines, block.ForFile(in), in, out);
         }},
    };
}

TEST(TextEncodings, UTF8AndGbkFilesGiveTheSameResultForEveryLineOperation) {
    for (const Operation& op : EveryLineOperation()) {
        SCOPED_TRACE(op.name);
        TempFolder t;
        // The same text: UTF-8 with LF and no last break; GBK with CR LF
        // after every line; UTF-16 LE with a mark and CR LF.
        const std::string crlf = Replace(kText, "\n", "\r\n") + "\r\n";
        const std::string u = t.Write("u.txt", kText);
        const std::string g = t.Write("g.txt", Gbk(crlf));
        const std::string w = t.Write("w.txt", Utf16Le(crlf));
        const RunSummary r = Rewrite({u, g, w}, TextMode::Auto, op.transform);
        ASSERT_EQ(r.done, 3) << r.error;

        const std::string gbkResult = t.Read("g.txt");
        EXPECT_NE(gbkResult, Gbk(crlf));  // the operation did change something
        const std::string utf8Result = t.Read("u.txt");
        EXPECT_EQ(utf8Result.find('\r'), std::string::npos);
        ASSERT_FALSE(utf8Result.empty());
        EXPECT_NE(utf8Result.back(), '\n');
        // Each is the other, re-encoded, with its own line breaks.
        EXPECT_EQ(Gbk(Replace(utf8Result, "\n", "\r\n") + "\r\n"), gbkResult);
        EXPECT_EQ(t.Read("w.txt"), Utf16Le(Replace(utf8Result, "\n", "\r\n") + "\r\n"));
    }
}

// The operations that take a UTF-8 file in its own bytes give exactly what
// converting it gives: marks, breaks, emoji, and keywords whose GBK bytes
// hide inside other characters ("丒" is 81 45, "爸形摹" holds "中文").
TEST(TextEncodings, Utf8FilesTakenInTheirOwnBytesGiveTheConvertedResult) {
    const std::string tricky = "中文 错误 ab\r\n丒RROR 爸形摹\r\n\r\n😀 ERROR 前缀\r\n  \r\n末行 中文";
    const struct {
        const char* name;
        std::string bytes;
    } files[] = {
        {"marked, CR LF, no last break", "\xEF\xBB\xBF" + tricky},
        {"LF and a last break", Replace(tricky, "\r\n", "\n") + "\n"},
        {"CR", Replace(tricky, "\r\n", "\r")},
        {"ASCII", "a\nERROR\n\nb"},
        {"UTF-8, then a byte that is not", tricky + "\xFF"},
    };
    LineDeleteSettings del;
    del.mode = LineDeleteMode::Keywords;
    del.keywords = SplitKeywords(Gbk("ERROR;中文"));
    LineDeleteSettings blank;
    blank.mode = LineDeleteMode::BlankLines;
    LineExtractSettings extract;
    extract.mode = LineExtractMode::Keywords;
    extract.keywords = SplitKeywords(Gbk("错误 ERROR"));
    LineExtractSettings every;
    every.mode = LineExtractMode::Interval;
    every.interval = LineInterval::Make(2, 2);
    every.keepBlank = false;
    LineInsertSettings left;
    left.format = Gbk("${addleft(前缀)}");
    LineInsertSettings right;
    right.format = Gbk("${AddRight(😀\\n)}");
    right.choice = LineChoice::Keyword;
    right.keyword = Gbk("错误");
    LineInsertSettings swap;
    swap.format = Gbk("${RegRep((\\p{Han})(\\p{Han}),\\2\\1)}");
    LineInsertSettings keyed;
    keyed.format = Gbk("${RegRep(ERROR|.$,错误)}");
    keyed.choice = LineChoice::Keyword;
    keyed.keyword = Gbk("错误");
    LineInsertSettings one;
    one.format = "${addleft(x)}";
    one.choice = LineChoice::LineNumber;
    one.lineNumber = 2;
    const struct {
        const char* name;
        LineOperation op;
    } ops[] = {
        {"delete by keyword", LineDeleteOperation(del)},
        {"delete blank lines", LineDeleteOperation(blank)},
        {"extract by keyword", LineExtractOperation(extract)},
        {"extract at an interval", LineExtractOperation(every)},
        {"insert on text lines", LineInsertOperation(left)},
        {"insert with a break on keyword lines", LineInsertOperation(right)},
        {"insert on one line", LineInsertOperation(one)},
        {"insert by a regular expression", LineInsertOperation(swap)},
        {"insert by a regular expression on keyword lines", LineInsertOperation(keyed)},
    };
    for (const auto& op : ops) {
        SCOPED_TRACE(op.name);
        ASSERT_TRUE(op.op.utf8);
        for (const auto& f : files) {
            SCOPED_TRACE(f.name);
            TempFolder t;
            const std::string own = t.Write("own.txt", f.bytes);
            const std::string converted = t.Write("converted.txt", f.bytes);
            ASSERT_EQ(Rewrite({own}, TextMode::Auto, op.op).done, 1);
            ASSERT_EQ(Rewrite({converted}, TextMode::Auto, LineOperation(op.op.gbk)).done, 1);
            EXPECT_EQ(t.Read("own.txt"), t.Read("converted.txt"));
        }
    }
    // Templates that look inside the line, numbered lines and keywords that
    // are not whole characters keep converting.
    LineInsertSettings cut = left;
    cut.format = "${getleft(2)}";
    LineInsertSettings numbered = left;
    numbered.format = "${addleft(${sn(1,2)})}";
    numbered.sequence = FindSequenceItem(numbered.format);
    LineDeleteSettings half = del;
    half.keywords = {"\xD6"};
    EXPECT_FALSE(LineInsertOperation(cut).utf8);
    EXPECT_FALSE(LineInsertOperation(numbered).utf8);
    EXPECT_FALSE(LineDeleteOperation(half).utf8);
}

// A large file is read and rewritten a piece of lines at a time. Whatever
// falls on the edges of the pieces (a CR LF cut in two, a lone CR, a
// character cut in two, a line longer than a piece), the result is what the
// same operation gives when the file is read whole.
TEST(TextEncodings, LargeFilesInPiecesGiveWhatWholeFilesGive) {
    const std::size_t mib = 1 << 20;
    // Lines up to exactly end bytes, the last one padded.
    auto fillTo = [](std::string& s, std::size_t end) {
        const std::string words[] = {"中文 错误 ab", "ERROR 行", "", "  ", "丒RROR 末"};
        for (std::size_t n = 0; s.size() + 64 < end; ++n)
            s += words[n % 5] + std::to_string(n) + "\r\n";
        s += std::string(end - s.size() - 2, 'z') + "\r\n";
    };
    std::string text;
    fillTo(text, mib - 1);
    text += "\r\n";  // the first read ends between CR and LF
    fillTo(text, 2 * mib - 1);
    text += "\rlone CR\r\n";
    fillTo(text, 3 * mib - 1);
    text += "中文\r\n";  // a character cut by the read
    text += std::string(mib + 4321, 'L') + "\r\n";  // longer than a piece
    text += "后 ERROR\r\n\r\n末行 中文";
    const struct {
        const char* name;
        std::string bytes;
    } files[] = {
        {"UTF-8, CR LF", text},
        {"marked UTF-8, LF", "\xEF\xBB\xBF" + Replace(text, "\r\n", "\n") + "\n"},
        {"GBK, CR", Gbk(Replace(text, "\r\n", "\r"))},
        {"UTF-8, then a byte that is not", text + "\xFF"},
    };
    LineDeleteSettings del;
    del.mode = LineDeleteMode::Keywords;
    del.keywords = SplitKeywords(Gbk("ERROR;中文"));
    LineDeleteSettings every;
    every.mode = LineDeleteMode::Interval;
    every.interval = LineInterval::Make(3, 2);
    LineExtractSettings blankless;
    blankless.mode = LineExtractMode::Interval;
    blankless.interval = LineInterval::Make(2, 1);
    blankless.keepBlank = false;
    LineInsertSettings left;
    left.format = Gbk("${addleft(前缀)}");
    LineInsertSettings inside;  // looks inside the line: UTF-8 is converted
    inside.format = "${getleft(4)}";
    inside.choice = LineChoice::AllLines;
    LineCutSettings cut;
    cut.format = "${getright(3)}";
    cut.keepCut = false;
    PatternReplaceSettings pattern;
    pattern.pattern = Gbk("$2=$1\r\n第二行");
    PatternReplaceState state;  // one run's, for both ways
    const struct {
        const char* name;
        LineOperation op;
    } ops[] = {
        {"delete by keyword", LineDeleteOperation(del)},
        {"delete at an interval", LineDeleteOperation(every)},
        {"extract at an interval", LineExtractOperation(blankless)},
        {"insert on text lines", LineInsertOperation(left)},
        {"insert a template", LineInsertOperation(inside)},
        {"cut", LineCutOperation(cut)},
        {"pattern replace", PatternReplaceOperation(pattern, state)},
    };
    for (const auto& op : ops) {
        SCOPED_TRACE(op.name);
        ASSERT_TRUE(op.op.linewise);
        LineOperation whole = op.op;
        whole.linewise = nullptr;
        // Every file with the first rules, every rule on the first file.
        const bool first = &op == &ops[0];
        for (const auto& f : files) {
            if (&f != &files[0] && &op > &ops[1]) continue;
            SCOPED_TRACE(f.name);
            for (TextMode mode : {TextMode::Auto, TextMode::ClassicGbk}) {
                if (mode == TextMode::ClassicGbk && !(first && &f == &files[0])) continue;
                TempFolder t;
                const std::string pieces = t.Write("pieces.txt", f.bytes);
                const std::string read = t.Write("whole.txt", f.bytes);
                ASSERT_EQ(Rewrite({pieces}, mode, op.op).done, 1);
                ASSERT_EQ(Rewrite({read}, mode, whole).done, 1);
                const std::string result = t.Read("pieces.txt");
                EXPECT_TRUE(result == t.Read("whole.txt"));  // megabytes: no message
                EXPECT_NE(result, f.bytes);
            }
        }
    }
}

// Rewritten in pieces, a file is read again as it is written: where the new
// bytes go over the old ones (a file with another hard link), it is read
// whole first; a file changed since it was first read is left alone.
TEST(TextEncodings, FilesInPiecesAreNeverReadAfterTheyAreWritten) {
    std::string text;
    for (int n = 0; text.size() < (3u << 20); ++n) text += "中文 " + std::to_string(n) + "\n";
    LineInsertSettings left;
    left.format = Gbk("${addleft(前缀 前缀)}");  // every line grows
    const LineOperation op = LineInsertOperation(left);
    LineOperation whole = op;
    whole.linewise = nullptr;
    TempFolder t;
    const std::string linked = t.Write("linked.txt", text);
    ASSERT_EQ(link(linked.c_str(), (t / "other.txt").c_str()), 0);
    const std::string expected = t.Write("expected.txt", text);
    ASSERT_EQ(Rewrite({linked}, TextMode::Auto, op).done, 1);
    ASSERT_EQ(Rewrite({expected}, TextMode::Auto, whole).done, 1);
    EXPECT_TRUE(t.Read("linked.txt") == t.Read("expected.txt"));
    EXPECT_TRUE(t.Read("other.txt") == t.Read("expected.txt"));

    // A rule that gives up part-way (a value past the engine's bound) leaves
    // the file as it was, and nothing open.
    const std::string given = t.Write("given up.txt", text);
    const auto openFiles = testing::Entries("/proc/self/fd").size();
    LineOperation givesUp(whole.gbk);
    givesUp.linewise = [] {
        return [pieces = 0](const LineList&, LineBytes, LineSink&) mutable {
            if (++pieces == 2) throw ValueTooLong();
        };
    };
    const RunSummary r = Rewrite({given}, TextMode::Auto, givesUp);
    ASSERT_EQ(r.undone.size(), 1u);
    EXPECT_EQ(r.undone[0].why, Undone::TooLong);
    EXPECT_TRUE(t.Read("given up.txt") == text);
    EXPECT_EQ(testing::Entries("/proc/self/fd").size(), openFiles);

    const std::string changed = t.Write("changed.txt", text);
    const TextScan scan = CheckTextFile(changed, TextMode::Auto);
    t.Write("changed.txt", text + "后来\n");
    std::string error;
    try {
        RewriteInPieces(changed, scan, true, op.linewise());
    } catch (const TextFileError& e) {
        error = e.what();
    }
    EXPECT_EQ(error, Gbk("文件在处理过程中被其他程序改动，未作任何修改：") + changed);
    EXPECT_TRUE(t.Read("changed.txt") == text + "后来\n");
}

TEST(TextEncodings, FormatsAreKeptAsFound) {
    struct Case {
        const char* name;
        std::string before, after;
    };
    // Deleting the lines holding "x" from files found in different ways.
    const Case cases[] = {
        {"UTF-8, LF, no last break", "中\nx\n文", "中\n文"},
        {"UTF-8, LF, last break", "中\nx\n文\n", "中\n文\n"},
        {"GBK, CR LF", Gbk("中\r\nx\r\n文\r\n"), Gbk("中\r\n文\r\n")},
        {"GBK, CR, no last break", Gbk("中\rx\r文"), Gbk("中\r文")},
        {"UTF-8 with a mark", "\xEF\xBB\xBF中\r\nx\r\n文", "\xEF\xBB\xBF中\r\n文"},
        {"a mark and nothing left", "\xEF\xBB\xBFx\n", "\xEF\xBB\xBF"},
        {"mixed breaks take the first one's style", "中\r\nx\n文\r末\n", "中\r\n文\r\n末\r\n"},
        {"ASCII", "a\nx\nb", "a\nb"},
        {"empty", "", ""},
        {"UTF-16 LE", Utf16Le("中\r\nx\r\n文"), Utf16Le("中\r\n文")},
    };
    LineDeleteSettings del;
    del.mode = LineDeleteMode::Keywords;
    del.keywords = {"x"};
    // Read whole, or a piece of lines at a time.
    const LineOperation whole = [&](const LineList& in, LineSink& out) { DeleteLines(del, in, out); };
    const LineOperation pieces = LineDeleteOperation(del);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const LineOperation* op : {&whole, &pieces}) {
            TempFolder t;
            const std::string f = t.Write("f.txt", c.before);
            const RunSummary r = Rewrite({f}, TextMode::Auto, *op);
            EXPECT_EQ(r.done, 1) << r.error;
            EXPECT_EQ(t.Read("f.txt"), c.after);
        }
    }
}

TEST(TextEncodings, BreaksInsideMadeLinesBecomeTheFilesOwn) {
    // A pattern of two lines (the box joins them with CR LF) in an LF file.
    TempFolder t;
    const std::string f = t.Write("f.txt", "a b\nc d");
    PatternReplaceSettings s;
    s.pattern = "$2\r\n$1";
    Rewrite({f}, TextMode::Auto, [&](const LineList& in, LineSink& out) {
        PatternReplaceState state;
        ReplaceByPattern(s, state, in, out);
    });
    EXPECT_EQ(t.Read("f.txt"), "b\na\nd\nc");
}

TEST(TextEncodings, GbkStaysGbkAndUntouchedWhereNoRuleChangedIt) {
    // Valid UTF-8 in places (the first line), then GBK: the file is GBK and
    // the lines no rule touched keep their very bytes, whatever they are.
    TempFolder t;
    const std::string odd = "\x80\xFF" + Gbk("中") + "\xD6";
    const std::string before = "中文 UTF-8\r\n" + Gbk("删除 x") + "\r\n" + odd + "\r\n" + Gbk("文");
    const std::string f = t.Write("f.txt", before);
    LineDeleteSettings del;
    del.mode = LineDeleteMode::Keywords;
    del.keywords = {"x"};
    Rewrite({f}, TextMode::Auto,
            [&](const LineList& in, LineSink& out) { DeleteLines(del, in, out); });
    EXPECT_EQ(t.Read("f.txt"), "中文 UTF-8\r\n" + odd + "\r\n" + Gbk("文"));
    // A keyword typed in the window (GBK) finds its text in a UTF-8 file.
    const std::string u = t.Write("u.txt", "保留\n删除这一行\n");
    del.keywords = {Gbk("删除")};
    Rewrite({u}, TextMode::Auto,
            [&](const LineList& in, LineSink& out) { DeleteLines(del, in, out); });
    EXPECT_EQ(t.Read("u.txt"), "保留\n");
}

TEST(TextEncodings, AnEmojiIsOneFourByteCharacter) {
    // In code page 936 terms an emoji is one four-byte character: four bytes
    // take it whole, whatever the file's encoding, and it comes back as it
    // was.
    TempFolder t;
    const std::string u = t.Write("u.txt", "😀中文ab\nab🀄cd\n");
    LineCutSettings cut;
    cut.format = "${getleft(6)}";
    cut.choice = LineChoice::AllLines;
    Rewrite({u}, TextMode::Auto,
            [&](const LineList& in, LineSink& out) { CutLines(cut, in, out); });
    EXPECT_EQ(t.Read("u.txt"), "😀中\nab🀄\n");
    // A rule that cuts a character in two leaves a byte that is no text: it
    // is written as U+FFFD.
    const std::string half = t.Write("half.txt", "😀中文\n");
    cut.format = "${getleft(5)}";
    Rewrite({half}, TextMode::Auto,
            [&](const LineList& in, LineSink& out) { CutLines(cut, in, out); });
    EXPECT_EQ(t.Read("half.txt"), "😀\xEF\xBF\xBD\n");
}

TEST(TextEncodings, ClassicModeIsTheOldBehaviourByteForByte) {
    // UTF-8 bytes taken as code page 936, a mark as part of the first line,
    // CR LF after every line; a GBK keyword does not match UTF-8 text.
    TempFolder t;
    const std::string before = "\xEF\xBB\xBF删除\nkeep\rx\n" + Gbk("删除") + "\n末";
    const std::string f = t.Write("f.txt", before);
    LineDeleteSettings del;
    del.mode = LineDeleteMode::Keywords;
    del.keywords = {"x", Gbk("删除")};
    Rewrite({f}, TextMode::ClassicGbk,
            [&](const LineList& in, LineSink& out) { DeleteLines(del, in, out); });
    EXPECT_EQ(t.Read("f.txt"), "\xEF\xBB\xBF删除\r\nkeep\r\n末\r\n");
    // A made line keeps its own breaks.
    PatternReplaceSettings s;
    s.pattern = "$1\n$1";
    Rewrite({f}, TextMode::ClassicGbk, [&](const LineList& in, LineSink& out) {
        PatternReplaceState state;
        ReplaceByPattern(s, state, in, out);
    });
    EXPECT_EQ(t.Read("f.txt"),
              "\xEF\xBB\xBF删除\n\xEF\xBB\xBF删除\r\nkeep\nkeep\r\n末\n末\r\n");
}

TEST(TextEncodings, NulBytesAreRefusedOnceDecoded) {
    TempFolder t;
    const std::string nul = t.Write("nul.txt", std::string("a\0b\n", 4));
    const std::string wide = t.Write("wide.txt", Utf16Le("a\r\nx\r\n"));
    LineDeleteSettings del;
    del.mode = LineDeleteMode::Keywords;
    del.keywords = {"x"};
    const LineTransform transform = [&](const LineList& in, LineSink& out) {
        DeleteLines(del, in, out);
    };
    // Also far into a file read a piece at a time.
    const std::string late = std::string(3u << 20, 'x') + "\n" + std::string("a\0b\n", 4);
    const std::string lateNul = t.Write("late.txt", late);
    for (TextMode mode : {TextMode::Auto, TextMode::ClassicGbk}) {
        const RunSummary r = Rewrite({nul}, mode, transform);
        ASSERT_EQ(r.undone.size(), 1u);
        EXPECT_EQ(r.undone[0].why, Undone::NotText);
        EXPECT_EQ(t.Read("nul.txt"), std::string("a\0b\n", 4));
        const RunSummary inPieces = Rewrite({lateNul}, mode, LineDeleteOperation(del));
        ASSERT_EQ(inPieces.undone.size(), 1u);
        EXPECT_EQ(inPieces.undone[0].why, Undone::NotText);
        EXPECT_TRUE(t.Read("late.txt") == late);
    }
    // UTF-16 text is full of NUL bytes, but not once it is decoded.
    EXPECT_EQ(Rewrite({wide}, TextMode::Auto, transform).done, 1);
    EXPECT_EQ(t.Read("wide.txt"), Utf16Le("a\r\n"));
    EXPECT_EQ(Rewrite({wide}, TextMode::ClassicGbk, transform).undone[0].why, Undone::NotText);
}

TEST(TextEncodings, TwoFileOperationsReadEachFileInItsEncoding) {
    TempFolder t;
    // Key merge: a UTF-8 source into a GBK target, which stays GBK.
    const std::string src = t.Write("src.ini", "名称=新值\nsize=10\n");
    const std::string dst = t.Write("dst.ini", Gbk("[节]\r\n名称=旧值\r\nSIZE=1\r\n"));
    TextFileOptions options;
    options.backup = true;
    EXPECT_EQ(MergeKeyFiles(src, dst, options), 2);
    EXPECT_EQ(t.Read("dst.ini"), Gbk("[节]\r\n名称=新值\r\nsize=10\r\n"));
    EXPECT_EQ(t.Read("dst.ini.bak"), Gbk("[节]\r\n名称=旧值\r\nSIZE=1\r\n"));
    EXPECT_EQ(t.Read("src.ini"), "名称=新值\nsize=10\n");
    // Line sync: a GBK source into a UTF-8 target without a last break.
    const std::string from = t.Write("from.txt", Gbk("一 关键\r\n二\r\n"));
    const std::string to = t.Write("to.txt", "甲\n乙");
    EXPECT_EQ(SyncLineFiles({Gbk("关键")}, from, to, TextFileOptions()), 1);
    EXPECT_EQ(t.Read("to.txt"), "一 关键\n乙");
    // The classic mode: bytes as they are, CR LF everywhere.
    const std::string plain = t.Write("plain.ini", "k=1\n");
    const std::string raw = t.Write("raw.ini", "中=1\nk=0");
    options.mode = TextMode::ClassicGbk;
    options.backup = false;
    EXPECT_EQ(MergeKeyFiles(plain, raw, options), 1);
    EXPECT_EQ(t.Read("raw.ini"), "中=1\r\nk=1\r\n");
}

}  // namespace
}  // namespace ferro
