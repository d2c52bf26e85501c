// Extension change over real files in a temporary folder.
#include "fileops/extension_change.h"

#include <gtest/gtest.h>

#include "common/temp_folder.h"
#include "platform/fs.h"

namespace ferro {
namespace {

using testing::TempFolder;
using Names = std::vector<std::string>;

FileList Listed(const TempFolder& dir, const Names& names) {
    FileList list;
    for (const std::string& n : names) {
        const std::string path = dir.Write(n, n);
        FindEntry e;
        EXPECT_TRUE(StatPath(path, e));
        list.SetChecked(list.AddFile(e, dir.path()), true);
    }
    return list;
}

Names Column(const FileList& list, int column) {
    Names cells;
    for (int r = 1; r <= list.LastRow(); ++r) cells.push_back(list.Cell(column, r));
    return cells;
}

TEST(ExtensionChange, PatternRules) {
    EXPECT_EQ(NormalizeExtensionPattern(" TXT "), ".txt");
    EXPECT_EQ(NormalizeExtensionPattern(".Bak"), ".bak");
    EXPECT_EQ(NormalizeExtensionPattern("${EXT}_old"), ".${ext}_old");
    EXPECT_EQ(NormalizeExtensionPattern(""), "");
    EXPECT_EQ(NormalizeExtensionPattern(" ${Ext} "), "");  // refused
    EXPECT_EQ(NameWithNewExtension("README", ".md"), "README.md");
    EXPECT_EQ(NameWithNewExtension("a.b.c", ".d"), "a.b.d");
    EXPECT_EQ(NameWithNewExtension("a.TXT", ".${ext}.bak"), "a.TXT.bak");
}

TEST(ExtensionChange, RenamesEachFileWithItsOwnExtension) {
    TempFolder dir;
    FileList list = Listed(dir, {"a.TXT", "b.doc", "README", "x.y.z"});
    EXPECT_EQ(ChangeExtensions(list, "${ext}.bak").done, 4);
    EXPECT_EQ(Column(list, kColName), (Names{"a.TXT.bak", "b.doc.bak", "README..bak", "x.y.z.bak"}));
    // The type column takes the new extension as the pattern made it.
    EXPECT_EQ(Column(list, kColType), (Names{".TXT.bak", ".doc.bak", "..bak", ".z.bak"}));
    EXPECT_EQ(dir.Read("b.doc.bak"), "b.doc");

    TempFolder other;
    FileList more = Listed(other, {"a.txt", "b.txt", "c.log", "d.Bak"});
    more.SetChecked(3, false);
    EXPECT_EQ(ChangeExtensions(more, "${ext}_old").done, 3);
    EXPECT_EQ(Column(more, kColName), (Names{"a.txt_old", "b.txt_old", "c.log", "d.Bak_old"}));
    EXPECT_EQ(Column(more, kColType), (Names{".txt_old", ".txt_old", ".log", ".Bak_old"}));
    EXPECT_TRUE(other.Exists("c.log"));
}

TEST(ExtensionChange, UnchangedTakenAndImpossibleNamesAreNotCounted) {
    TempFolder dir;
    FileList list = Listed(dir, {"a.txt", "b.TXT", "c.log"});
    dir.Write("c.txt", "other");
    EXPECT_EQ(ChangeExtensions(list, "TXT").done, 1);
    // a.txt unchanged; b.TXT differs in case only, so it is renamed; c.txt
    // exists and is kept.
    EXPECT_EQ(Column(list, kColName), (Names{"a.txt", "b.txt", "c.log"}));
    EXPECT_EQ(dir.Read("c.txt"), "other");
    EXPECT_EQ(dir.Read("c.log"), "c.log");

    EXPECT_EQ(ChangeExtensions(list, "x/y").done, 0);
    EXPECT_EQ(ChangeExtensions(list, "${ext}").done, 0);
    EXPECT_EQ(Column(list, kColName), (Names{"a.txt", "b.txt", "c.log"}));
}

}  // namespace
}  // namespace ferro
