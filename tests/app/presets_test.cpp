// 方案 in the window: a preset saved from every operation's page comes back
// in a new window with all its fields and the text mode; saving over a name
// and deleting ask first; a name that cannot be a file name is refused; a
// file from another version is used as far as it goes and what it lacks is
// told. Every window here keeps its presets in a temporary XDG_CONFIG_HOME.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "app/pages/page_binding.h"
#include "common/field_testing.h"
#include "common/file_testing.h"
#include "common/temp_folder.h"
#include "ops/registry.h"
#include "platform/codec.h"
#include "presets/preset.h"
#include "scripted_dialogs.h"

using ferro::TForm1;
using ferro::testing::ChooseOperation;
using ferro::testing::Gbk;
using ferro::testing::FolderInEnv;
using ferro::testing::ScriptedDialogs;
using ferro::testing::TempFolder;

namespace {

QComboBox* Presets(TForm1& form) { return form.Find<QComboBox>("cmbPreset"); }

QStringList PresetItems(TForm1& form) {
    QStringList items;
    for (int i = 0; i < Presets(form)->count(); ++i) items << Presets(form)->itemText(i);
    return items;
}

// Picks a preset from the list as the user does.
void Choose(TForm1& form, const QString& name) {
    const int index = Presets(form)->findText(name);
    QVERIFY2(index >= 0, qPrintable(name));
    Presets(form)->setCurrentIndex(index);
    emit Presets(form)->activated(index);
}

void SaveAs(TForm1& form, const QString& name) {
    Presets(form)->setEditText(name);
    form.Find<QPushButton>("btnSavePreset")->click();
}

}  // namespace

class PresetsWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init() { config_ = std::make_unique<FolderInEnv>("XDG_CONFIG_HOME"); }
    void cleanup() { config_.reset(); }

    void everyPageComesBackInANewWindow() {
        const auto all = ferro::ops::Operations();
        {
            ScriptedDialogs dialogs;
            TForm1 form(&dialogs);
            for (std::size_t i = 0; i < all.size(); ++i) {
                ChooseOperation(form, static_cast<int>(i));
                form.pages()[i]->Write(ferro::testing::EveryFieldChanged(*all[i]));
                form.Find<QComboBox>("cmbTextEncoding")->setCurrentIndex(static_cast<int>(i % 2));
                SaveAs(form, QStringLiteral("方案 %1").arg(all[i]->info().name));
            }
            QVERIFY2(dialogs.messages.empty(), qPrintable(dialogs.LastText()));
            QCOMPARE(PresetItems(form).size(), static_cast<int>(all.size()));
        }
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        QCOMPARE(PresetItems(form).size(), static_cast<int>(all.size()));
        // Shown from another operation each time, so that every choice
        // changes the page.
        for (std::size_t k = 0; k < all.size(); ++k) {
            const std::size_t i = (k * 7) % all.size();
            const ferro::ops::Operation& op = *all[i];
            Choose(form, QStringLiteral("方案 %1").arg(op.info().name));
            QCOMPARE(form.Find<QComboBox>("cmbOpt")->currentIndex(), static_cast<int>(i));
            QCOMPARE(&form.CurrentPage()->operation(), &op);
            QCOMPARE(form.Find<QComboBox>("cmbTextEncoding")->currentIndex(), static_cast<int>(i % 2));
            const ferro::ops::FieldValues expected = ferro::testing::EveryFieldChanged(op);
            const ferro::ops::FieldValues shown = form.CurrentPage()->Read();
            for (const ferro::ops::Field& f : op.fields())
                QVERIFY2(shown.Text(f.name) == expected.Text(f.name),
                         qPrintable(QStringLiteral("%1/%2: %3").arg(op.info().name, f.name,
                                                                   ferro::GbkToQString(shown.Text(f.name)))));
        }
        QVERIFY(dialogs.messages.empty());
    }

    void savingOverANameAsksFirst() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        ChooseOperation(form, 1);  // 更改文件名称
        form.Find<QLineEdit>("edtNewFilename")->setText(QStringLiteral("old_${Sn(1,3)}"));
        SaveAs(form, QStringLiteral("照片"));
        QVERIFY(dialogs.questions.empty());
        form.Find<QLineEdit>("edtNewFilename")->setText(QStringLiteral("new_${Sn(1,3)}"));
        dialogs.answers = {false};
        SaveAs(form, QStringLiteral("照片"));
        QCOMPARE(dialogs.questions.size(), std::size_t{1});
        QVERIFY2(dialogs.questions[0].contains(QStringLiteral("方案“照片”已经存在")), qPrintable(dialogs.questions[0]));
        const ferro::presets::PresetStore store;
        QCOMPARE(store.Load(Gbk("照片")).preset.values.Text("pattern"), std::string("old_${Sn(1,3)}"));
        dialogs.answers = {true};
        SaveAs(form, QStringLiteral("照片"));
        QCOMPARE(store.Load(Gbk("照片")).preset.values.Text("pattern"), std::string("new_${Sn(1,3)}"));
        QCOMPARE(PresetItems(form), QStringList{QStringLiteral("照片")});
    }

    void deletingAsksFirst() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        SaveAs(form, QStringLiteral("a"));
        SaveAs(form, QStringLiteral("b"));
        Presets(form)->setEditText(QStringLiteral("a"));
        dialogs.answers = {false};
        form.Find<QPushButton>("btnDeletePreset")->click();
        QVERIFY(dialogs.questions.back().contains(QStringLiteral("确定要删除方案“a”吗？")));
        QCOMPARE(PresetItems(form), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
        dialogs.answers = {true};
        form.Find<QPushButton>("btnDeletePreset")->click();
        QCOMPARE(PresetItems(form), QStringList{QStringLiteral("b")});
        QVERIFY(!ferro::presets::PresetStore().Exists("a"));
        // A name there is none of.
        Presets(form)->setEditText(QStringLiteral("zzz"));
        const std::size_t asked = dialogs.questions.size();
        form.Find<QPushButton>("btnDeletePreset")->click();
        QCOMPARE(dialogs.questions.size(), asked);
        QVERIFY(dialogs.LastText().contains(QStringLiteral("没有名为“zzz”的方案")));
    }

    void namesThatCannotBeFileNamesAreRefused() {
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        for (const QString name : {QString(), QStringLiteral("a/b"), QStringLiteral(".x"), QStringLiteral("a:b")}) {
            dialogs.Clear();
            SaveAs(form, name);
            QVERIFY2(dialogs.LastText().startsWith(QStringLiteral("方案名称")), qPrintable(dialogs.LastText()));
        }
        QVERIFY(PresetItems(form).isEmpty());
        QVERIFY(ferro::presets::PresetStore().Names().empty());
    }

    void aFileFromAnotherVersionIsUsedAsFarAsItGoes() {
        config_->folder().Write("ferrovan-batch/presets/other.txt",
                       "operation=rename\nencoding=gbk\n[fields]\npattern=x_${Sn(1,1)}\nglitter=1\n");
        ScriptedDialogs dialogs;
        TForm1 form(&dialogs);
        Choose(form, QStringLiteral("other"));
        QCOMPARE(form.Find<QLineEdit>("edtNewFilename")->text(), QStringLiteral("x_${Sn(1,1)}"));
        const QString told = dialogs.LastText();
        QVERIFY2(told.contains(QStringLiteral("不认识的设置项 “glitter”")), qPrintable(told));
        // One this program cannot use at all is an error box; the page stays.
        config_->folder().Write("ferrovan-batch/presets/later.txt", "operation=teleport\n");
        form.RefreshPresets();
        dialogs.Clear();
        Choose(form, QStringLiteral("later"));
        QVERIFY2(dialogs.LastText().contains(QStringLiteral("“teleport” 是本程序没有的")), qPrintable(dialogs.LastText()));
        QCOMPARE(form.Find<QLineEdit>("edtNewFilename")->text(), QStringLiteral("x_${Sn(1,1)}"));
    }

private:
    std::unique_ptr<FolderInEnv> config_;
};

QTEST_MAIN(PresetsWindowTest)
#include "presets_test.moc"
