#include "app/qt_dialogs.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QStyle>
#include <QTextDocument>
#include <QTextEdit>
#include <algorithm>

namespace ferro {
namespace {

// Qt reads the masks of a filter from its last parentheses, separated by
// blanks; the captions here separate them with ";" (and "*.*" means every
// name). Such a caption gets the masks again in Qt's form.
QStringList QtFilters(const QStringList& filters) {
    QStringList out;
    for (const QString& f : filters) {
        const qsizetype open = f.lastIndexOf(QLatin1Char('('));
        if (open < 0 || !f.endsWith(QLatin1Char(')'))) {
            out << f;
            continue;
        }
        QStringList masks =
            f.mid(open + 1, f.size() - open - 2).split(QLatin1Char(';'), Qt::SkipEmptyParts);
        if (masks.size() == 1 && masks.front() != QLatin1String("*.*")) {
            out << f;  // already in Qt's form
            continue;
        }
        for (QString& m : masks)
            if (m == QLatin1String("*.*")) m = QStringLiteral("*");
        out << f + QStringLiteral(" (") + masks.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return out;
}

}  // namespace

namespace {
QMessageBox::Icon BoxIcon(DialogProvider::Icon icon) {
    using Icon = DialogProvider::Icon;
    QMessageBox::Icon i = QMessageBox::Information;
    switch (icon) {
        case Icon::Error:
            i = QMessageBox::Critical;
            break;
        case Icon::Information:
            i = QMessageBox::Information;
            break;
        case Icon::Question:
            i = QMessageBox::Question;
            break;
        case Icon::Warning:
            i = QMessageBox::Warning;
            break;
    }
    return i;
}

bool AskYesNo(QWidget* parent, const QString& title, const QString& text, bool noIsDefault) {
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.button(QMessageBox::Yes)->setText(QStringLiteral("是(&Y)"));
    box.button(QMessageBox::No)->setText(QStringLiteral("否(&N)"));
    box.setDefaultButton(noIsDefault ? QMessageBox::No : QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}
}  // namespace

void QtDialogs::Message(QWidget* parent, Icon icon, const QString& title, const QString& text) {
    QMessageBox box(BoxIcon(icon), title, text, QMessageBox::Ok, parent);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    box.exec();
}

void QtDialogs::MessageWithDetails(QWidget* parent, Icon icon, const QString& title,
                                   const QString& text, const QString& details) {
    QMessageBox box(BoxIcon(icon), title, text, QMessageBox::Ok, parent);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    // The list unfolds under the text; its text can be selected and copied.
    box.setDetailedText(details);
    // As wide as its longest line and as tall as its lines, within the
    // screen, so that paths are read whole and not wrapped.
    if (auto* list = box.findChild<QTextEdit*>()) {
        list->setLineWrapMode(QTextEdit::NoWrap);
        const QFontMetrics fm(list->font());
        const QStringList lines = details.split(QLatin1Char('\n'));
        int widest = 0;
        for (const QString& line : lines) widest = std::max(widest, fm.horizontalAdvance(line));
        const QScreen* screen = parent && parent->screen() ? parent->screen() : QGuiApplication::primaryScreen();
        const QRect room = screen ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
        const int frame = 2 * list->frameWidth() + 2 * static_cast<int>(list->document()->documentMargin()) +
                          list->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
        list->setMinimumWidth(std::min(widest + frame, room.width() * 3 / 4));
        const int shown = std::min(static_cast<int>(lines.size()), 20);
        list->setMinimumHeight(std::min(fm.lineSpacing() * shown + frame, room.height() / 2));
    }
    box.exec();
}

bool QtDialogs::Question(QWidget* parent, const QString& title, const QString& text) {
    return AskYesNo(parent, title, text, false);
}

bool QtDialogs::QuestionDefaultNo(QWidget* parent, const QString& title, const QString& text) {
    return AskYesNo(parent, title, text, true);
}

QStringList QtDialogs::OpenFiles(QWidget* parent, const FileDialogOptions& o) {
    QFileDialog dlg(parent, o.title, o.directory);
    dlg.setObjectName(o.objectName);
    dlg.setFileMode(QFileDialog::ExistingFiles);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setNameFilters(QtFilters(o.filters));
    dlg.setFilter(dlg.filter() | QDir::Hidden | QDir::System);
    dlg.setSizeGripEnabled(true);
    if (dlg.exec() != QDialog::Accepted) return {};
    return dlg.selectedFiles();
}

QString QtDialogs::SaveFile(QWidget* parent, const FileDialogOptions& o) {
    QFileDialog dlg(parent, o.title, o.directory);
    dlg.setObjectName(o.objectName);
    dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setNameFilters(QtFilters(o.filters));
    dlg.setDefaultSuffix(o.defaultSuffix);
    if (!o.selectedFile.isEmpty()) dlg.selectFile(o.selectedFile);
    if (!o.confirmOverwrite) dlg.setOption(QFileDialog::DontConfirmOverwrite);
    dlg.setSizeGripEnabled(true);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return {};
    return dlg.selectedFiles().front();
}

QString QtDialogs::ChooseFolder(QWidget* parent, const QString& title) {
    return QFileDialog::getExistingDirectory(parent, title, QString(), QFileDialog::ShowDirsOnly);
}

void QtDialogs::SetClipboardText(const QString& text) {
    QGuiApplication::clipboard()->setText(text);
}

void QtDialogs::OpenDocument(const QUrl& url) {
    QDesktopServices::openUrl(url);
}

}  // namespace ferro
