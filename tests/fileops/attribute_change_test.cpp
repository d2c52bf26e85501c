// Attribute change over real files in a temporary folder.
#include "fileops/attribute_change.h"

#include <gtest/gtest.h>

#include "common/temp_folder.h"
#include "platform/fs.h"

namespace ferro {
namespace {

using testing::TempFolder;

FileList Listed(const TempFolder& dir, const std::vector<std::string>& rels) {
    FileList list;
    for (const std::string& rel : rels) {
        const std::string path = dir.Write(rel, rel);
        FindEntry e;
        EXPECT_TRUE(StatPath(path, e));
        list.SetChecked(list.AddFile(e, ExtractFileDir(path)), true);
    }
    return list;
}

TEST(AttributeChange, TheChosenSetReplacesTheWholeSet) {
    TempFolder dir;
    FileList list = Listed(dir, {"a.txt", "b.txt", "c.txt"});
    ASSERT_TRUE(SetFileAttributes(dir / "a.txt", attr::ReadOnly | attr::Hidden | attr::System));
    list.SetChecked(3, false);
    AttributeSettings defaults;
    EXPECT_EQ(defaults.Value(), attr::Archive);
    // The read-only file can still be given new attributes.
    EXPECT_EQ(ChangeAttributes(list, defaults).done, 2);
    EXPECT_EQ(GetFileAttributes(dir / "a.txt"), attr::Archive);
    EXPECT_EQ(GetFileAttributes(dir / "b.txt"), attr::Archive);

    AttributeSettings readOnly;
    readOnly.archive = false;
    readOnly.readOnly = true;
    EXPECT_EQ(ChangeAttributes(list, readOnly).done, 2);
    EXPECT_EQ(GetFileAttributes(dir / "a.txt"), attr::ReadOnly);  // archive cleared
    EXPECT_EQ(GetFileAttributes(dir / "c.txt"), attr::Archive);   // not ticked

    AttributeSettings none;
    none.archive = false;
    EXPECT_EQ(none.Value(), 0u);
    EXPECT_EQ(ChangeAttributes(list, none).done, 0);
    EXPECT_EQ(GetFileAttributes(dir / "a.txt"), attr::ReadOnly);
}

TEST(AttributeChange, FoldersTakeTheSameSet) {
    TempFolder dir;
    FileList list = Listed(dir, {"p/a.txt", "p/b.txt", "q/c.txt"});
    ASSERT_TRUE(DeleteFile(dir / "q/c.txt"));  // a failed file: its folder is still set
    AttributeSettings s;
    s.archive = false;
    s.hidden = true;
    s.foldersToo = true;
    EXPECT_EQ(ChangeAttributes(list, s).done, 2);
    EXPECT_EQ(GetFileAttributes(dir / "p"), attr::Directory | attr::Hidden);
    EXPECT_EQ(GetFileAttributes(dir / "q"), attr::Directory | attr::Hidden);
    EXPECT_EQ(GetFileAttributes(dir / "p/b.txt"), attr::Hidden);
    EXPECT_EQ(GetFileAttributes(dir.path()), attr::Directory);  // only the holding folders
}

}  // namespace
}  // namespace ferro
