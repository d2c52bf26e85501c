// The user's file-manager entries: written once however often they are
// added, the user's other Thunar actions kept as they were (their names in
// other languages included), and only ours taken out again.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>

#include "common/file_testing.h"
#include "common/temp_folder.h"
#include "desktop/file_manager_actions.h"

namespace ferro {
namespace {

using testing::ScopedEnv;
using testing::TempFolder;

const char* const kUserActions =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<actions>\n<action>\n"
    "\t<icon>utilities-terminal</icon>\n\t<name>Open Terminal Here</name>\n"
    "\t<name xml:lang=\"zh_CN\">在这里打开终端</name>\n\t<unique-id>1-1</unique-id>\n"
    "\t<command>exo-open --working-directory %f --launch TerminalEmulator</command>\n"
    "\t<description>Example</description>\n\t<patterns>*</patterns>\n\t<startup-notify/>\n"
    "\t<directories/>\n</action>\n</actions>\n";

class FileManagerActions : public ::testing::Test {
protected:
    TempFolder home_;
    ScopedEnv data_{"XDG_DATA_HOME", home_ / "data"};
    ScopedEnv config_{"XDG_CONFIG_HOME", home_ / "config"};
    ScopedEnv dirs_{"XDG_CONFIG_DIRS", home_ / "none"};
    // The script's name: as TempFolder takes it (GBK), and on disk (UTF-8).
    const std::string scriptName_ = testing::Gbk("data/nautilus/scripts/用 Ferrovan文件批处理 打开");
    const std::string script_ = home_.path() + "/data/nautilus/scripts/用 Ferrovan文件批处理 打开";
};

TEST_F(FileManagerActions, AreWrittenOnceAndKeepTheUsersOwn) {
    home_.Write("config/Thunar/uca.xml", kUserActions);
    const QString program = QStringLiteral("/opt/my programs/ferrovan-batch");
    const FileManagerActionsResult first = AddFileManagerActions(program);
    ASSERT_TRUE(first.ok()) << first.error.toStdString();
    EXPECT_EQ(first.changed.size(), 2);
    const std::string script = home_.Read(scriptName_);
    const std::string actions = home_.Read("config/Thunar/uca.xml");
    EXPECT_NE(script.find("exec '/opt/my programs/ferrovan-batch' \"$@\""), std::string::npos) << script;
    EXPECT_TRUE(testing::Stat(script_).st_mode & S_IXUSR);
    EXPECT_NE(actions.find("<unique-id>ferrovan-batch-open</unique-id>"), std::string::npos);
    EXPECT_NE(actions.find("'/opt/my programs/ferrovan-batch' %F"), std::string::npos);
    // The user's action, with its Chinese name, is still there.
    EXPECT_NE(actions.find("<name xml:lang=\"zh_CN\">在这里打开终端</name>"), std::string::npos) << actions;
    EXPECT_NE(actions.find("exo-open --working-directory %f"), std::string::npos);

    for (int again = 0; again < 3; ++again) {
        const FileManagerActionsResult next = AddFileManagerActions(program);
        EXPECT_TRUE(next.ok());
        EXPECT_TRUE(next.changed.isEmpty());
        EXPECT_EQ(next.unchanged.size(), 2);
    }
    EXPECT_EQ(home_.Read("config/Thunar/uca.xml"), actions);
    EXPECT_EQ(home_.Read(scriptName_), script);

    const FileManagerActionsResult removed = RemoveFileManagerActions();
    EXPECT_TRUE(removed.ok());
    EXPECT_EQ(removed.changed.size(), 2);
    EXPECT_FALSE(home_.Exists(scriptName_));
    const std::string left = home_.Read("config/Thunar/uca.xml");
    EXPECT_EQ(left.find("ferrovan-batch"), std::string::npos);
    EXPECT_NE(left.find("<name xml:lang=\"zh_CN\">在这里打开终端</name>"), std::string::npos);
    EXPECT_TRUE(RemoveFileManagerActions().changed.isEmpty());
}

TEST_F(FileManagerActions, AUserWithoutThunarActionsStartsFromTheSystemOnes) {
    ScopedEnv dirs("XDG_CONFIG_DIRS", home_ / "etc");
    home_.Write("etc/Thunar/uca.xml", kUserActions);
    ASSERT_TRUE(AddFileManagerActions(QStringLiteral("/usr/bin/ferrovan-batch")).ok());
    const std::string actions = home_.Read("config/Thunar/uca.xml");
    EXPECT_NE(actions.find("Open Terminal Here"), std::string::npos);
    EXPECT_NE(actions.find("ferrovan-batch-open"), std::string::npos);
}

TEST_F(FileManagerActions, AScriptTheUserWroteIsNeverRemoved) {
    home_.Write(scriptName_, "#!/bin/sh\necho mine\n");
    const FileManagerActionsResult removed = RemoveFileManagerActions();
    EXPECT_TRUE(removed.ok());
    EXPECT_TRUE(home_.Exists(scriptName_));
}

}  // namespace
}  // namespace ferro
