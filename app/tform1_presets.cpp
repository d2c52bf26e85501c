// 方案: the lower panel's presets. A preset holds the operation on show, its
// page's fields and the text mode; choosing one brings them back, saving
// over a name asks first, deleting asks.
#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>

#include "app/pages/page_binding.h"
#include "app/tform1.h"
#include "ops/registry.h"
#include "platform/codec.h"
#include "platform/error.h"
#include "presets/preset.h"

namespace ferro {

namespace {

QString Quoted(const QString& name) { return QStringLiteral("“%1”").arg(name); }

}  // namespace

void TForm1::RefreshPresets() {
    const QString typed = cmbPreset_->currentText();
    const QSignalBlocker quiet(cmbPreset_);
    cmbPreset_->clear();
    for (const std::string& name : presets::PresetStore().Names()) cmbPreset_->addItem(GbkToQString(name));
    cmbPreset_->setCurrentIndex(cmbPreset_->findText(typed));
    cmbPreset_->setEditText(typed);
}

void TForm1::cmbPresetChoose(const QString& name) {
    if (IsBusy() || name.isEmpty()) return;
    const presets::LoadedPreset loaded = presets::PresetStore().Load(QStringToGbk(name));
    const auto all = ops::Operations();
    for (std::size_t i = 0; i < all.size() && i < pages_.size(); ++i) {
        if (all[i] != loaded.preset.operation) continue;
        cmbOpt_->setCurrentIndex(static_cast<int>(i));
        cmbOptChange(static_cast<int>(i));
        pages_[i]->Write(loaded.preset.values);
    }
    Find<QComboBox>("cmbTextEncoding")->setCurrentIndex(loaded.preset.mode == TextMode::ClassicGbk ? 1 : 0);
    cmbPreset_->setEditText(name);
    if (loaded.problems.empty()) return;
    QString text = QStringLiteral("方案%1中有些设置本程序不认识，已按默认值处理：").arg(Quoted(name));
    for (const std::string& problem : loaded.problems) text += QLatin1Char('\n') + GbkToQString(problem);
    ShowInfo(text);
}

void TForm1::btnSavePresetClick() {
    const QString name = cmbPreset_->currentText();
    const std::string gbk = QStringToGbk(name);
    if (const auto problem = presets::NameProblem(gbk)) {
        ShowError(GbkToQString(*problem));
        cmbPreset_->setFocus();
        return;
    }
    const page::PageBinding* page = CurrentPage();
    if (!page) return;
    const presets::PresetStore store;
    if (store.Exists(gbk) &&
        !AskYesNo(QStringLiteral("方案%1已经存在，是否用现在的设置替换它？").arg(Quoted(name))))
        return;
    store.Save(gbk, presets::Preset{&page->operation(), page->Read(), CurrentTextMode()});
    RefreshPresets();
}

void TForm1::btnDeletePresetClick() {
    const QString name = cmbPreset_->currentText();
    const std::string gbk = QStringToGbk(name);
    const presets::PresetStore store;
    if (!store.Exists(gbk)) {
        ShowError(name.trimmed().isEmpty() ? QStringLiteral("请先选择要删除的方案！")
                                           : QStringLiteral("没有名为%1的方案！").arg(Quoted(name)));
        return;
    }
    if (!AskYesNo(QStringLiteral("确定要删除方案%1吗？").arg(Quoted(name)))) return;
    store.Remove(gbk);
    cmbPreset_->setEditText(QString());
    RefreshPresets();
}

}  // namespace ferro
