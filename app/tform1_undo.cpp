// 撤销: the undo button of the run strip and Ctrl+Z, the journal's budget
// shown on it, the question before a run whose old contents would not fit,
// and the offer at start to undo what a run cut short had finished.
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QTextEdit>
#include <unordered_map>

#include "app/run_host.h"
#include "app/tform1.h"
#include "journal/journal.h"
#include "journal/recovery.h"
#include "journal/undo.h"
#include "ops/undo_budget.h"
#include "platform/codec.h"
#include "platform/fs.h"

namespace ferro {

namespace {

QString Bytes(uint64_t bytes) { return GbkToQString(ops::SizeText(bytes)); }

// "“更改文件名称”（12月8日 11:50，命令行，/home/u/照片，50 个文件）": two
// runs of one operation a minute apart are told apart by where they were
// started and on what.
QString Describe(const JournalRun& run) {
    QStringList parts;
    if (run.startedNs > 0)
        parts << QDateTime::fromMSecsSinceEpoch(run.startedNs / 1000000)
                     .toString(QStringLiteral("M月d日 HH:mm"));
    if (run.origin == "window") parts << QStringLiteral("窗口");
    else if (run.origin == "cli") parts << QStringLiteral("命令行");
    if (!run.place.empty()) parts << GbkToQString(run.place);
    parts << QStringLiteral("%1 个文件").arg(run.files);
    const QString name = run.operation.empty() ? QStringLiteral("第 %1 次处理")
                                                     .arg(QString::fromStdString(run.id).toInt())
                                               : QStringLiteral("“%1”").arg(GbkToQString(run.operation));
    return name + QStringLiteral("（%1）").arg(parts.join(QStringLiteral("，")));
}

// A field that takes Ctrl+Z for its own text.
bool IsTextField(const QWidget* w) {
    if (!w) return false;
    if (qobject_cast<const QLineEdit*>(w) || qobject_cast<const QTextEdit*>(w) ||
        qobject_cast<const QPlainTextEdit*>(w) || qobject_cast<const QAbstractSpinBox*>(w))
        return true;
    const auto* combo = qobject_cast<const QComboBox*>(w);
    return combo && combo->isEditable();
}

}  // namespace

void TForm1::SetUpUndo() {
    if (qEnvironmentVariableIsSet("XDG_STATE_HOME")) OpenJournal();
    auto* undo = new QShortcut(QKeySequence::Undo, this);
    connect(undo, &QShortcut::activated, this, [this] {
        auto* button = Find<QPushButton>("btnUndo");
        if (!IsTextField(QApplication::focusWidget()) && button && button->isEnabled())
            btnUndoClick();
    });
    connect(this, &TForm1::busyChanged, this, [this](bool busy) {
        if (!busy) UpdateUndoButton();
    });
    UpdateUndoButton();
}

void TForm1::OpenJournal() {
    if (!journal_) journal_ = ops::OpenRunJournal();
    UpdateUndoButton();
}

void TForm1::UpdateUndoButton() {
    auto* button = Find<QPushButton>("btnUndo");
    if (!button) return;
    if (!journal_) {
        button->setEnabled(false);
        button->setToolTip(QStringLiteral("撤销记录未开启"));
        return;
    }
    const std::optional<JournalRun> next = journal_->NextToUndo();
    const QString budget = QStringLiteral("撤销记录保存的原内容：%1，上限 %2")
                               .arg(Bytes(journal_->KeptBytes()), Bytes(journal_->budget()));
    if (!IsBusy()) button->setEnabled(next.has_value());
    button->setToolTip((next ? QStringLiteral("撤销 %1 (Ctrl+Z)").arg(Describe(*next))
                             : QStringLiteral("没有可撤销的操作")) +
                       QLatin1Char('\n') + budget);
}

void TForm1::btnUndoClick() {
    if (!journal_) return;
    std::optional<JournalRun> next = journal_->NextToUndo();
    // Its record read whole: damage the journal's index cannot show.
    if (next) next = journal_->Inspect(next->id);
    if (!next) {
        ShowInfo(QStringLiteral("没有可撤销的操作！"));
        UpdateUndoButton();
        return;
    }
    if (next->damaged) {
        if (!DecideAboutDamagedRun(*next)) return;
    } else if (!AskYesNo(QStringLiteral("确定要撤销%1吗？").arg(Describe(*next)))) {
        return;
    }
    UndoJournalRun(next->id);
}

bool TForm1::DecideAboutDamagedRun(const JournalRun& run) {
    const QString damage = GbkToQString(DamagedRunText(run));
    if (run.changes > 0 &&
        AskYesNo(QStringLiteral("%1\n其中还能读出%2。\n是否撤销可以读出的部分？")
                     .arg(damage, Describe(run))))
        return true;
    // The user decides before any older run is touched.
    if (dialogs().QuestionDefaultNo(
            this, QString::fromUtf8(kAppCaption),
            (run.changes > 0 ? QString() : damage + QStringLiteral("\n其中没有可以撤销的更改。\n")) +
                QStringLiteral("是否搁置这个记录？搁置后，撤销将从更早的一次处理开始。"))) {
        journal_->SetAside(run.id);
        UpdateUndoButton();
    }
    return false;
}

void TForm1::UndoJournalRun(const std::string& id) {
    RunCommand(Find<QPushButton>("btnUndo"), [&] {
        UndoResult result;
        {
            WindowRunHost host(*this, nullptr);
            host.RecordNothing();
            result = UndoRun(*journal_, id, &host);
        }
        // Rows of files that got their old names back show them again.
        std::unordered_map<std::string, int> rows;
        for (const UndoResult::Moved& m : result.restored)
            if (m.from != m.to) rows.emplace(m.from, 0);
        if (!rows.empty()) {
            for (int r = 1; r <= files_.LastRow(); ++r) {
                if (files_.Name(r).empty()) continue;
                auto it = rows.find(files_.Path(r));
                if (it != rows.end()) it->second = r;
            }
            for (const UndoResult::Moved& m : result.restored) {
                auto it = rows.find(m.from);
                if (it == rows.end() || it->second == 0 || ExtractFileDir(m.to) != ExtractFileDir(m.from))
                    continue;
                const std::string name = ExtractFileName(m.to);
                files_.SetCell(kColName, it->second, name);
                files_.SetCell(kColType, it->second, ExtractFileExt(name));
            }
        }
        SetRunReport(result.summary, GbkToQString(UndoClosingText(result)));
    });
    UpdateUndoButton();
}

bool TForm1::CheckJournalRoom(const std::vector<BatchFile>& files, bool& withoutUndo) {
    withoutUndo = false;
    if (!journal_) return true;
    const ops::UndoRoom room = ops::MakeUndoRoom(*journal_, files);
    if (room.fits) return true;
    if (!AskYesNo(GbkToQString(ops::UndoRoomQuestion(room)))) return false;
    withoutUndo = true;
    return true;
}

void TForm1::OfferRecovery() {
    const StartRecovery recovered = RecoverAtStart(journal_.get());
    std::vector<std::string> unresolved = recovered.writes.unresolved;
    unresolved.insert(unresolved.end(), recovered.runs.unresolved.begin(),
                      recovered.runs.unresolved.end());
    if (!unresolved.empty()) {
        QString list;
        for (const std::string& path : unresolved) list += QLatin1Char('\n') + GbkToQString(path);
        ShowError(QStringLiteral("上次运行未正常结束，以下文件的原内容暂时无法恢复，"
                                 "撤销记录仍保留着它们，下次启动时将再次尝试：") + list);
    }
    if (!journal_) return;
    UpdateUndoButton();
    if (recovered.damaged) {
        ShowError(GbkToQString(DamagedRunText(*recovered.damaged)) +
                  QStringLiteral("\n按“撤销”按钮可以撤销其中还能读出的部分，或者搁置这个记录。"));
        return;
    }
    const JournalRecovery& found = recovered.runs;
    if (found.interrupted.empty()) return;
    // The newest run cut short is the one that can be undone first.
    const JournalRun& run = found.interrupted.front();
    const std::optional<JournalRun> next = journal_->NextToUndo();
    if (!next || next->id != run.id) return;
    if (!AskYesNo(QStringLiteral("上次的%1没有正常结束（可能是程序被强制关闭或断电）。\n"
                                 "是否撤销其中已完成的部分，让这些文件恢复原样？")
                      .arg(Describe(run))))
        return;
    UndoJournalRun(run.id);
}

}  // namespace ferro
