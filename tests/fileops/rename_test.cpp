// Batch rename over real files in a temporary folder.
#include "fileops/rename.h"

#include <gtest/gtest.h>

#include "common/temp_folder.h"
#include "platform/error.h"
#include "platform/fs.h"

namespace ferro {
namespace {

using testing::Gbk;
using testing::TempFolder;

// Creates the files (each holding its own name) and lists them, all ticked.
FileList Listed(const TempFolder& dir, const std::vector<std::string>& names,
                const std::string& sub = "") {
    FileList list;
    for (const std::string& n : names) {
        const std::string rel = sub.empty() ? n : sub + "/" + n;
        const std::string path = dir.Write(rel, n);
        FindEntry e;
        EXPECT_TRUE(StatPath(path, e)) << path;
        const int row = list.AddFile(e, ExtractFileDir(path));
        list.SetChecked(row, true);
    }
    return list;
}

std::vector<std::string> Names(const FileList& list) {
    std::vector<std::string> names;
    for (int r = 1; r <= list.LastRow(); ++r) names.push_back(list.Name(r));
    return names;
}

using Names_ = std::vector<std::string>;

TEST(Rename, SequenceNumbersPadAndAdvanceOnEveryTickedRow) {
    {
        TempFolder dir;
        FileList list = Listed(dir, {"a.jpg", "b.jpg", "c.png"});
        EXPECT_EQ(RenameFiles(list, "  img_${sn(1,3)}  ", "").done, 3);
        EXPECT_EQ(Names(list), (Names_{"img_001.jpg", "img_002.jpg", "img_003.png"}));
        EXPECT_EQ(dir.Read("img_002.jpg"), "b.jpg");
        EXPECT_EQ(dir.Read("img_003.png"), "c.png");
        EXPECT_FALSE(dir.Exists("a.jpg"));
    }
    {
        TempFolder dir;  // the pattern is lower-cased, function names included
        FileList list = Listed(dir, {"a.jpg", "b.jpg", "c.png"});
        EXPECT_EQ(RenameFiles(list, "IMG_${SN(1,3)}", "").done, 3);
        EXPECT_EQ(Names(list), (Names_{"img_001.jpg", "img_002.jpg", "img_003.png"}));
    }
    {
        TempFolder dir;  // longer than the width: not cut; width past sixteen zeros
        FileList list = Listed(dir, {"a.txt", "b.txt"});
        EXPECT_EQ(RenameFiles(list, "${sn(1000,3)}", "").done, 2);
        EXPECT_EQ(Names(list), (Names_{"1000.txt", "1001.txt"}));
        FileList wide = Listed(dir, {"c.txt"});
        RenameFiles(wide, "${sn( 5 , 20 )}", "");
        EXPECT_EQ(wide.Name(1), "00000000000000005.txt");
    }
    {
        // Row 2's target exists, row 3 already has its new name, row 4 is
        // unticked: rows 2 and 3 still use up a number, row 4 does not.
        TempFolder dir;
        FileList list = Listed(dir, {"a.txt", "b.txt", "f_3.txt", "d.txt", "e.txt"});
        dir.Write("f_2.txt", "keep");
        list.SetChecked(4, false);
        EXPECT_EQ(RenameFiles(list, "f_${sn(1,1)}", "").done, 2);
        EXPECT_EQ(Names(list), (Names_{"f_1.txt", "b.txt", "f_3.txt", "d.txt", "f_4.txt"}));
        EXPECT_EQ(dir.Read("f_2.txt"), "keep");
        EXPECT_EQ(dir.Read("b.txt"), "b.txt");
    }
}

TEST(Rename, VariablesOfTheOldNameAndFolder) {
    TempFolder dir;
    FileList list = Listed(dir, {"Report.TXT"});
    EXPECT_EQ(RenameFiles(list, "New_${filename}", "").done, 1);
    EXPECT_EQ(list.Name(1), "new_Report.TXT");  // the old name keeps its case
    EXPECT_TRUE(dir.Exists("new_Report.TXT"));

    FileList photos = Listed(dir, {"x.jpg", "y.jpg"}, "photos/2012");
    EXPECT_EQ(RenameFiles(photos, "${lastdir}_${sn(1,2)}", "").done, 2);
    EXPECT_EQ(Names(photos), (Names_{"2012_01.jpg", "2012_02.jpg"}));
    EXPECT_TRUE(dir.Exists("photos/2012/2012_02.jpg"));

    // No dot: no extension; several dots: only the last part is the extension.
    FileList dots = Listed(dir, {"README", "a.b.c"});
    EXPECT_EQ(RenameFiles(dots, "${filename}_v2", "").done, 2);
    EXPECT_EQ(Names(dots), (Names_{"README_v2", "a.b_v2.c"}));

    // ${ext} and ${fullname} stand for the old extension and whole name, in
    // any case; a name holding variable text is not read again.
    FileList ext = Listed(dir, {"p.Jpeg", "${ext}.png", "noext"});
    EXPECT_EQ(RenameFiles(ext, "${EXT}-${FullName}", "").done, 3);
    EXPECT_EQ(Names(ext), (Names_{"Jpeg-p.Jpeg.Jpeg", "png-${ext}.png.png", "-noext"}));

    // Chinese names: the base is split at bytes, the case mapping leaves
    // them alone.
    FileList chinese = Listed(dir, {Gbk("报告.doc")});
    EXPECT_EQ(RenameFiles(chinese, Gbk("月报_${filename}"), "").done, 1);
    EXPECT_EQ(chinese.Name(1), Gbk("月报_报告.doc"));
}

TEST(Rename, TemplateFunctionsEvaluateAgainstTheOldBase) {
    TempFolder dir;
    FileList list = Listed(dir, {"abcdef.txt"});
    EXPECT_EQ(RenameFiles(list, "${GetLeft(3)}", "").done, 1);
    EXPECT_EQ(list.Name(1), "abc.txt");

    FileList again = Listed(dir, {"uvwxyz.txt"});
    EXPECT_EQ(RenameFiles(again, "x${getleft(3)}", "").done, 1);  // text before the call is dropped
    EXPECT_EQ(again.Name(1), "uvw.txt");

    // Text after the call must not hang the run.
    FileList trailing = Listed(dir, {"qrstuv.txt"});
    RenameFiles(trailing, "${getleft(3)}_x", "");
    EXPECT_TRUE(dir.Exists(trailing.Name(1)));
}

TEST(Rename, NameListGivesOneNamePerGridRow) {
    TempFolder dir;
    FileList list = Listed(dir, {"1.txt", "2.txt", "3.txt", "4.txt", "5.txt"});
    dir.Write("names.txt", " First \r\nSecond\n");
    list.SetChecked(1, false);  // row 1 still uses up line 1
    const std::string pattern = "${file(" + (dir / "names.txt") + ")}";
    EXPECT_EQ(RenameFiles(list, pattern, "").done, 1);
    EXPECT_EQ(Names(list), (Names_{"1.txt", "Second.txt", "3.txt", "4.txt", "5.txt"}));

    // Every line ending counts; an empty line keeps the old name; the path
    // keeps the letters as typed; a relative path is looked for from the
    // current folder, then in the program's folder.
    TempFolder programDir;
    programDir.Write("Lists/Names.txt", "one\rtwo\r\n\nfour\nfive");
    FileList more = Listed(dir, {"a.log", "b.log", "c.log", "d.log", "e.log", "f.log"});
    EXPECT_EQ(RenameFiles(more, "${File(Lists/Names.txt)}", programDir.path() + "/").done, 4);
    EXPECT_EQ(Names(more), (Names_{"one.log", "two.log", "c.log", "four.log", "five.log", "f.log"}));

    const std::string before = GetCurrentDir();
    ASSERT_TRUE(SetCurrentDir(dir.path()));
    dir.Write("here.txt", "local");
    FileList local = Listed(dir, {"g.dat"});
    const int renamed = RenameFiles(local, "${file(here.txt)}", programDir.path()).done;
    SetCurrentDir(before);
    EXPECT_EQ(renamed, 1);
    EXPECT_EQ(local.Name(1), "local.dat");

    // A list that is nowhere to be found ends the run at the first row.
    FileList none = Listed(dir, {"h.dat"});
    EXPECT_EQ(RenameFiles(none, "${file(missing.txt)}", programDir.path()).done, 0);
    EXPECT_EQ(none.Name(1), "h.dat");
}

TEST(Rename, NameListsAreReadInTheirOwnEncoding) {
    // The same names in a UTF-8 list (this file is UTF-8), a UTF-8 list with
    // a mark, and a GBK one.
    TempFolder dir;
    const std::string lists[] = {dir.Write("utf8.txt", "甲\n乙"),
                                 dir.Write("bom.txt", "\xEF\xBB\xBF甲\r\n乙\r\n"),
                                 dir.Write("gbk.txt", Gbk("甲\r\n乙"))};
    for (const std::string& names : lists) {
        SCOPED_TRACE(names);
        std::vector<std::string> lines;
        ASSERT_TRUE(ReadNameList(names, lines));
        EXPECT_EQ(lines, (std::vector<std::string>{Gbk("甲"), Gbk("乙")}));
    }
    FileList list = Listed(dir, {"1.txt", "2.txt"}, "sub");
    EXPECT_EQ(RenameFiles(list, "${file(" + lists[0] + ")}", "").done, 2);
    EXPECT_TRUE(dir.Exists(Gbk("sub/甲.txt")));
    EXPECT_TRUE(dir.Exists(Gbk("sub/乙.txt")));
}

TEST(Rename, ReplacementListAppliesOldNewPairs) {
    TempFolder dir;
    FileList list = Listed(dir, {"Old_OLD_x.txt", "keep.txt", "a b.txt", "t1.txt", "m_n.txt"});
    dir.Write("pairs.txt", " old ; new \r\nnoseparator\r\na b:c\r\nt\tT\r\nm_n x y\r\n");
    const std::string pattern = "${file2(" + (dir / "pairs.txt") + ")}";
    EXPECT_EQ(RenameFiles(list, pattern, "").done, 4);
    EXPECT_EQ(Names(list), (Names_{"new_new_x.txt", "keep.txt", "c.txt", "T1.txt", "x y.txt"}));

    // With both items the replacement list wins when it exists, else the
    // name list is used as replacements.
    dir.Write("plain.txt", "q;z\r\n");
    FileList both = Listed(dir, {"qq.txt"});
    const std::string mixed =
        "${file(" + (dir / "plain.txt") + ")}${file2(" + (dir / "nothere.txt") + ")}";
    EXPECT_EQ(RenameFiles(both, mixed, "").done, 1);
    EXPECT_EQ(both.Name(1), "zz.txt");
}

TEST(Rename, NeverOverwritesAndRefusesImpossibleNames) {
    TempFolder dir;
    FileList list = Listed(dir, {"a.txt", "b.txt"});
    dir.Write("taken.txt", "precious");
    RunSummary s = RenameFiles(list, "${repstr(a,taken)}", "");
    EXPECT_EQ(s.done, 0);  // a -> taken exists, b unchanged
    ASSERT_EQ(s.undone.size(), 2u);
    EXPECT_EQ(s.undone[0].why, Undone::NameExists);
    EXPECT_EQ(s.undone[1].why, Undone::Unchanged);
    EXPECT_EQ(Names(list), (Names_{"a.txt", "b.txt"}));
    EXPECT_EQ(dir.Read("taken.txt"), "precious");
    EXPECT_EQ(dir.Read("a.txt"), "a.txt");

    // Two rows of one batch asking for the same name: the later one fails.
    TempFolder same;
    FileList twins = Listed(same, {"x1.txt", "x2.txt"});
    s = RenameFiles(twins, "${getleft(1)}", "");
    EXPECT_EQ(s.done, 1);
    ASSERT_EQ(s.undone.size(), 1u);
    EXPECT_EQ(s.undone[0].why, Undone::DuplicateName);
    EXPECT_EQ(s.undone[0].path, same / "x2.txt");
    EXPECT_EQ(Names(twins), (Names_{"x.txt", "x2.txt"}));
    EXPECT_EQ(same.Read("x.txt"), "x1.txt");
    EXPECT_EQ(same.Read("x2.txt"), "x2.txt");

    // A separator, an empty name, "." and ".." or a control character are
    // refused without touching anything.
    TempFolder odd;
    FileList bad = Listed(odd, {"sep", "empty", "dot", "dotdot", "tab"});
    odd.Write("nameslist", "a/b\r\n\r\n.\r\n..\r\nx\ty\r\n");
    odd.MakeFolder("a");  // "a/b" would move the file into it
    s = RenameFiles(bad, "${file(" + (odd / "nameslist") + ")}", "");
    EXPECT_EQ(s.done, 0);
    ASSERT_EQ(s.undone.size(), 5u);
    for (const FileResult& r : s.undone)  // an empty line keeps the old name
        EXPECT_EQ(r.why, r.path == odd / "empty" ? Undone::Unchanged : Undone::NameNotAllowed);
    EXPECT_EQ(Names(bad), (Names_{"sep", "empty", "dot", "dotdot", "tab"}));
    EXPECT_TRUE(odd.Exists("sep"));
    EXPECT_FALSE(odd.Exists("a/b"));
    EXPECT_FALSE(IsAcceptableFileName(std::string("a\0b", 3)));
    EXPECT_FALSE(IsAcceptableFileName(""));
    EXPECT_TRUE(IsAcceptableFileName(Gbk("中文 名.txt")));
}

TEST(Rename, PatternChecksAndTheConversionError) {
    EXPECT_EQ(CheckRenamePattern(NormalizeRenamePattern("   ")), RenamePatternProblem::Empty);
    EXPECT_EQ(CheckRenamePattern(NormalizeRenamePattern(" ${FileName} ")),
              RenamePatternProblem::Empty);
    EXPECT_EQ(CheckRenamePattern(NormalizeRenamePattern("abc")), RenamePatternProblem::NoVariable);
    EXPECT_EQ(CheckRenamePattern(NormalizeRenamePattern("\"${filename}\"")),
              RenamePatternProblem::DoubleQuote);
    EXPECT_EQ(CheckRenamePattern(NormalizeRenamePattern("${filename}_1")),
              RenamePatternProblem::None);

    TempFolder dir;
    FileList list = Listed(dir, {"a.txt"});
    auto message = [&](const std::string& pattern) {
        try {
            RenameFiles(list, pattern, "");
        } catch (const Error& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    };
    EXPECT_EQ(message(Gbk("${Sn(开始序号,长度)}")),
              Gbk("'开始序号' is not a valid integer value"));
    EXPECT_EQ(message("x_${sn(1,n)}"), "'n' is not a valid integer value");
    EXPECT_EQ(message("x_${sn(7)}"), "'' is not a valid integer value");
    EXPECT_EQ(list.Name(1), "a.txt");
    EXPECT_TRUE(dir.Exists("a.txt"));
}

}  // namespace
}  // namespace ferro
