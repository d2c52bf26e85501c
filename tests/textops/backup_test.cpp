// Backups in a run of a line operation: a file whose .bak cannot be made is
// left as it was and reported; the file and its backup keep every property.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "common/file_testing.h"
#include "common/temp_folder.h"
#include "textops/file_combine.h"
#include "textops/key_merge.h"
#include "textops/line_sync.h"
#include "textops/text_batch.h"
#include "textops/textfile.h"

namespace ferro {
namespace {

using testing::Properties;
using testing::TempFolder;

// Appends a line to every file.
RunSummary AppendLine(const std::vector<std::string>& paths) {
    std::vector<BatchFile> files;
    for (const std::string& p : paths) files.push_back({static_cast<int>(files.size()) + 1, p});
    return RewriteTextFiles(files, {.backup = true}, [](const LineList& in, LineSink& out) {
        for (std::size_t i = 0; i < in.size(); ++i) out.push_back(in[i]);
        out.push_back("added");
    }, nullptr);
}

TEST(Backups, AFileWhoseBackupFailsIsLeftAsItWasAndReported) {
    TempFolder t;
    const std::string folderBak = t.Write("a.txt", "a\n");
    t.MakeFolder("a.txt.bak");
    const std::string longName(255, 'n');  // its .bak is too long a name
    const std::string tooLong = t.Write(longName, "n\n");
    const std::string fine = t.Write("b.txt", "b\n");

    const RunSummary run = AppendLine({folderBak, tooLong, fine});
    EXPECT_EQ(run.done, 1);
    ASSERT_EQ(run.undone.size(), 2u);
    EXPECT_EQ(run.undone[0].path, folderBak);
    EXPECT_EQ(run.undone[0].why, Undone::BackupFailed);
    // Said for what it is, not as a failing disk or journal.
    EXPECT_EQ(run.undone[1].path, tooLong);
    EXPECT_EQ(run.undone[1].why, Undone::BackupNameTooLong);
    EXPECT_EQ(UndoneText(run.undone[1].why), testing::Gbk("备份文件名过长"));
    EXPECT_EQ(t.Read("a.txt"), "a\n");
    EXPECT_EQ(t.Read(longName), "n\n");
    EXPECT_EQ(t.Read("b.txt"), "b\nadded\n");
    EXPECT_EQ(t.Read("b.txt.bak"), "b\n");
    EXPECT_EQ(testing::Entries(t.path()),
              (std::vector<std::string>{"a.txt", "a.txt.bak", "b.txt", "b.txt.bak", longName}));
}

// The operations that write one target from other files: with its copy
// impossible the target stays as it was, and the failure says so.
TEST(Backups, ATargetWhoseBackupFailsIsLeftAsItWas) {
    TempFolder t;
    const std::string source = t.Write("src.ini", "a=new\nb=2\n");
    const std::string target = t.Write("dst.ini", "a=old\n");
    t.MakeFolder("dst.ini.bak");
    const TextFileOptions options{.backup = true};
    struct Case {
        const char* name;
        std::function<void()> run;
    };
    const Case cases[] = {
        {"key merge", [&] { MergeKeyFiles(source, target, options); }},
        {"line sync", [&] { SyncLineFiles({"a"}, source, target, options); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            c.run();
            ADD_FAILURE() << "the target was written without its copy";
        } catch (const TextFileError& e) {
            EXPECT_EQ(e.why(), Undone::BackupFailed);
        }
        EXPECT_EQ(t.Read("dst.ini"), "a=old\n");
    }
    const RunSummary combined = CombineFiles({{1, source}, {2, target}}, {.backup = true}, nullptr);
    EXPECT_EQ(combined.done, 0);
    EXPECT_EQ(t.Read("dst.ini"), "a=old\n");
    EXPECT_EQ(testing::Entries(t.path()),
              (std::vector<std::string>{"dst.ini", "dst.ini.bak", "src.ini"}));
}

TEST(Backups, TheFileAndItsBackupKeepOwnerModeAclAndAttributes) {
    if (geteuid() != 0) GTEST_SKIP() << "giving files away needs root";
    TempFolder t;
    const bool acl = testing::AclsWork(t.path());
    const std::string f = t.Write("a.txt", "a\n");
    ASSERT_TRUE(testing::Dress(f, 65534, 65534, 06750, acl));
    const Properties before = Properties::Of(f);

    const RunSummary run = AppendLine({f});
    EXPECT_EQ(run.done, 1);
    EXPECT_EQ(t.Read("a.txt"), "a\nadded\n");
    EXPECT_EQ(Properties::Of(f), before);
    EXPECT_EQ(Properties::Of(f + ".bak"), before);
}

}  // namespace
}  // namespace ferro
