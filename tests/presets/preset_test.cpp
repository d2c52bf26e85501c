// Presets kept as files: every field of every operation comes back as it was
// saved, names that cannot be file names are refused, and a file from
// another machine (another version, edited by hand, saved as GBK) is read
// as far as it can be, with what was left out reported.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "common/field_testing.h"
#include "common/temp_folder.h"
#include "ops/registry.h"
#include "platform/error.h"
#include "platform/fs.h"
#include "presets/preset.h"

namespace ferro::presets {
namespace {

using ferro::testing::Gbk;
using ferro::testing::TempFolder;

Preset EveryFieldChanged(const ops::Operation& op) {
    return Preset{&op, testing::EveryFieldChanged(op),
                  op.info().textFiles ? TextMode::ClassicGbk : TextMode::Auto};
}

TEST(Presets, EveryFieldOfEveryOperationComesBack) {
    TempFolder dir;
    const PresetStore store(dir / "presets");
    for (const ops::Operation* op : ops::Operations()) {
        SCOPED_TRACE(op->info().name);
        const Preset saved = EveryFieldChanged(*op);
        const std::string name = Gbk("方案 ") + op->info().name;
        store.Save(name, saved);
        const LoadedPreset loaded = PresetStore(dir / "presets").Load(name);
        EXPECT_TRUE(loaded.problems.empty()) << (loaded.problems.empty() ? "" : loaded.problems[0]);
        EXPECT_EQ(loaded.preset.operation, op);
        EXPECT_EQ(loaded.preset.mode, saved.mode);
        for (const ops::Field& f : op->fields()) {
            SCOPED_TRACE(f.name);
            EXPECT_EQ(loaded.preset.values.Text(f.name), saved.values.Text(f.name));
        }
    }
    EXPECT_EQ(store.Names().size(), ops::Operations().size());
}

TEST(Presets, AreListedByNameAndRemoved) {
    TempFolder dir;
    const PresetStore store(dir / "presets");
    EXPECT_TRUE(store.Names().empty());  // no folder yet
    const ops::Operation& op = *ops::FindOperation("rename");
    for (const char* name : {"照片", "b", "a"}) store.Save(Gbk(name), Preset{&op, op.Defaults()});
    dir.Write("presets/notes.md", "not a preset");
    dir.MakeFolder("presets/folder.txt");
    EXPECT_EQ(store.Names(), (std::vector<std::string>{"a", "b", Gbk("照片")}));
    EXPECT_TRUE(store.Exists("a"));
    store.Remove("a");
    EXPECT_FALSE(store.Exists("a"));
    EXPECT_FALSE(FileExists(dir / "presets/a.txt"));
    EXPECT_THROW(store.Remove("a"), Error);
    EXPECT_THROW(store.Load("a"), Error);
    EXPECT_EQ(store.Names(), (std::vector<std::string>{"b", Gbk("照片")}));
}

TEST(Presets, SavingOverANameReplacesItsFileWhole) {
    TempFolder dir;
    const PresetStore store(dir / "presets");
    const ops::Operation& op = *ops::FindOperation("rename");
    Preset p{&op, op.Defaults()};
    p.values.Set("pattern", "old_${Sn(1,3)}");
    store.Save("x", p);
    p.values.Set("pattern", "new_${Sn(1,3)}");
    store.Save("x", p);
    EXPECT_EQ(store.Load("x").preset.values.Text("pattern"), "new_${Sn(1,3)}");
    // Nothing but the preset is left in the folder.
    EXPECT_EQ(store.Names(), std::vector<std::string>{"x"});
    int entries = 0;
    FolderReader reader;
    ASSERT_TRUE(reader.Open(dir / "presets"));
    for (DirItem item; reader.Next(item);) entries += item.name != "." && item.name != "..";
    EXPECT_EQ(entries, 1);
    // The file is UTF-8 text a person can read.
    const std::string text = dir.Read("presets/x.txt");
    EXPECT_NE(text.find("operation=rename\n"), std::string::npos);
    EXPECT_NE(text.find("pattern=new_${Sn(1,3)}\n"), std::string::npos);
    EXPECT_NE(text.find("# Ferrovan文件批处理 方案（更改文件名称）"), std::string::npos);
}

TEST(Presets, NamesThatCannotBeFileNamesAreRefused) {
    TempFolder dir;
    const PresetStore store(dir / "presets");
    const ops::Operation& op = *ops::FindOperation("rename");
    const struct {
        const char* name;
        const char* why;
    } cases[] = {
        {"", "不能为空"},           {"   ", "不能为空"},        {".hidden", "不能以 . 开头"},
        {"..", "不能以 . 开头"},    {"a/b", "不能含有"},        {"a\\b", "不能含有"},
        {"a:b", "不能含有"},        {"a*", "不能含有"},         {"what?", "不能含有"},
        {"a\"b", "不能含有"},       {"<a>", "不能含有"},        {"a|b", "不能含有"},
        {"a\tb", "不能含有"},       {"a\nb", "不能含有"},       {"end.", "结尾"},
        {" lead", "空格开头"},      {"trail ", "结尾"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto problem = NameProblem(c.name);
        ASSERT_TRUE(problem.has_value());
        EXPECT_NE(problem->find(Gbk(c.why)), std::string::npos) << *problem;
        EXPECT_THROW(store.Save(c.name, Preset{&op, op.Defaults()}), Error);
    }
    EXPECT_TRUE(NameProblem(std::string(121, 'a')).has_value());
    for (const char* fine : {"照片改名", "a.b", "日报 2024-05", "x_y (2)"}) {
        SCOPED_TRACE(fine);
        EXPECT_FALSE(NameProblem(Gbk(fine)).has_value());
    }
    EXPECT_TRUE(store.Names().empty());
}

TEST(Presets, AFileFromAnotherMachineIsReadAsFarAsItCanBe) {
    TempFolder dir;
    const PresetStore store(dir / "presets");
    // Another version: a field and a key this one does not know, a choice
    // it does not have, a flag that is no flag; CR LF line breaks.
    dir.Write("presets/other.txt",
              "# 方案\r\noperation=delete-lines\r\nencoding=gbk\r\ncolour=blue\r\n\r\n[fields]\r\n"
              "keywords=ERR;WARN\r\nfuture=1\r\nmode=no-such-mode\r\nbackup=maybe\r\n");
    const LoadedPreset loaded = store.Load("other");
    ASSERT_EQ(loaded.preset.operation, ops::FindOperation("delete-lines"));
    EXPECT_EQ(loaded.preset.mode, TextMode::ClassicGbk);
    EXPECT_EQ(loaded.preset.values.Text("keywords"), "ERR;WARN");
    const ops::FieldValues defaults = loaded.preset.operation->Defaults();
    EXPECT_EQ(loaded.preset.values.Text("backup"), defaults.Text("backup"));
    const std::vector<std::string> expected = {
        Gbk("不认识的设置项 “colour”，已忽略"), Gbk("不认识的设置项 “future”，已忽略"),
        Gbk("设置项 “mode” 的值不正确，已用默认值"), Gbk("设置项 “backup” 的值不正确，已用默认值")};
    EXPECT_EQ(loaded.problems, expected);

    // Saved by a Windows editor as GBK.
    dir.Write("presets/gbk.txt", Gbk("operation=rename\n[fields]\npattern=照片_${Sn(1,3)}\n"));
    EXPECT_EQ(store.Load("gbk").preset.values.Text("pattern"), Gbk("照片_${Sn(1,3)}"));

    // No operation, or one this program lacks: nothing of it can be used.
    dir.Write("presets/none.txt", "[fields]\npattern=x\n");
    dir.Write("presets/future.txt", "operation=teleport\n");
    for (const char* name : {"none", "future"}) {
        SCOPED_TRACE(name);
        try {
            store.Load(name);
            ADD_FAILURE() << "loaded";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(Gbk("无法使用")), std::string::npos);
        }
    }
}

}  // namespace
}  // namespace ferro::presets
