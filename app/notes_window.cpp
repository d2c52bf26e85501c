#include "app/notes_window.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QStringDecoder>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>
#include <functional>

#include "app/looks.h"
#include "platform/codec.h"

namespace ferro {

namespace {

const char* const kNotesName = "使用说明.txt";

// Enter and Shift+Enter in the find field.
class EnterFilter : public QObject {
public:
    EnterFilter(QObject* parent, std::function<void(bool backward)> onEnter)
        : QObject(parent), onEnter_(std::move(onEnter)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                onEnter_(key->modifiers() & Qt::ShiftModifier);
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void(bool)> onEnter_;
};

}  // namespace

NotesWindow::NotesWindow(QWidget* owner) : QWidget(owner, Qt::Window) {
    setObjectName(QStringLiteral("frmNotes"));
    setWindowTitle(QStringLiteral("使用说明"));
    setAttribute(Qt::WA_DeleteOnClose, false);

    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(6, 6, 6, 6);
    v->setSpacing(4);
    auto* findRow = new QHBoxLayout;
    auto* caption = new QLabel(QStringLiteral("查找(&F)："), this);
    edNotesFind_ = new QLineEdit(this);
    edNotesFind_->setObjectName(QStringLiteral("edNotesFind"));
    edNotesFind_->setClearButtonEnabled(true);
    edNotesFind_->setPlaceholderText(QStringLiteral("输入要查找的文字，回车查找下一个"));
    caption->setBuddy(edNotesFind_);
    lblNotesFind_ = new QLabel(this);
    lblNotesFind_->setObjectName(QStringLiteral("lblNotesFind"));
    SetTint(lblNotesFind_, Tint::Count);
    findRow->addWidget(caption);
    findRow->addWidget(edNotesFind_, 1);
    findRow->addWidget(lblNotesFind_);
    v->addLayout(findRow);

    mmNotes_ = new QPlainTextEdit(this);
    mmNotes_->setObjectName(QStringLiteral("mmNotes"));
    mmNotes_->setReadOnly(true);
    mmNotes_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    v->addWidget(mmNotes_, 1);

    connect(edNotesFind_, &QLineEdit::textEdited, this, [this] { FindFromField(false, false); });
    edNotesFind_->installEventFilter(
        new EnterFilter(this, [this](bool backward) { FindFromField(true, backward); }));
    auto* next = new QShortcut(QKeySequence::FindNext, this);
    connect(next, &QShortcut::activated, this, [this] { FindFromField(true, false); });
    auto* previous = new QShortcut(QKeySequence::FindPrevious, this);
    connect(previous, &QShortcut::activated, this, [this] { FindFromField(true, true); });
    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        edNotesFind_->setFocus();
        edNotesFind_->selectAll();
    });
    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(close, &QShortcut::activated, this, &QWidget::close);

    FitToScreen(*this, QSize(680, 520));
}

bool NotesWindow::Load(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QByteArray bytes = file.readAll();
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (utf8.hasError()) text = GbkToQString(bytes.toStdString());
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    mmNotes_->setPlainText(text);
    mmNotes_->moveCursor(QTextCursor::Start);
    return true;
}

bool NotesWindow::FindText(const QString& text, bool next, bool backward) {
    if (text.isEmpty()) return true;
    QTextDocument::FindFlags flags;
    if (backward) flags |= QTextDocument::FindBackward;
    QTextCursor from = mmNotes_->textCursor();
    // As the text grows the match grows in place: start where it starts.
    if (!next) from.setPosition(from.selectionStart());
    QTextCursor found = mmNotes_->document()->find(text, from, flags);
    if (found.isNull()) {
        // Round the end (or the start, going back).
        QTextCursor wrap(mmNotes_->document());
        if (backward) wrap.movePosition(QTextCursor::End);
        found = mmNotes_->document()->find(text, wrap, flags);
    }
    if (found.isNull()) return false;
    mmNotes_->setTextCursor(found);
    mmNotes_->ensureCursorVisible();
    return true;
}

void NotesWindow::FindFromField(bool next, bool backward) {
    const QString text = edNotesFind_->text();
    const bool found = FindText(text, next, backward);
    lblNotesFind_->setText(found ? QString() : QStringLiteral("找不到“%1”").arg(text));
}

QString UsageNotesPath() {
    const QString name = QString::fromUtf8(kNotesName);
    const QString programDir = QCoreApplication::applicationDirPath();
    const QStringList candidates = {
        QDir::current().absoluteFilePath(name),
        QDir(programDir).absoluteFilePath(name),
        QDir(programDir).absoluteFilePath(QStringLiteral("../share/ferrovan-batch/") + name),
        QStringLiteral(FERRO_DATA_DIR "/") + name,
    };
    for (const QString& path : candidates)
        if (QFileInfo(path).isFile()) return QDir::cleanPath(path);
    return QString();
}

}  // namespace ferro
