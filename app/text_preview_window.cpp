#include "app/text_preview_window.h"

#include <QFileInfo>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QKeyEvent>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>

#include "platform/codec.h"

namespace ferro {
namespace {

constexpr std::size_t kLinesPerSlice = 50000;

// A colour between the view's base colour and an accent: light on a light
// theme, dark on a dark one, so the palette's text stays readable on it.
QColor Shade(const QPalette& palette, QColor accent) {
    const QColor base = palette.color(QPalette::Base);
    const double t = 0.3;
    return QColor::fromRgbF(base.redF() * (1 - t) + accent.redF() * t,
                            base.greenF() * (1 - t) + accent.greenF() * t,
                            base.blueF() * (1 - t) + accent.blueF() * t);
}

QString Number(std::size_t n) {
    return n ? QString::number(static_cast<qulonglong>(n)) : QString();
}

}  // namespace

TextPreviewWindow::TextPreviewWindow(QWidget* owner) : QWidget(owner, Qt::Window) {
    setObjectName(QStringLiteral("frmTextPreview"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(820, 560);
    auto* v = new QVBoxLayout(this);
    lblPreviewFile_ = new QLabel(this);
    lblPreviewFile_->setObjectName(QStringLiteral("lblPreviewFile"));
    lblPreviewFile_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblPreviewCounts_ = new QLabel(this);
    lblPreviewCounts_->setObjectName(QStringLiteral("lblPreviewCounts"));
    mmPreview_ = new QPlainTextEdit(this);
    mmPreview_->setObjectName(QStringLiteral("mmPreview"));
    mmPreview_->setReadOnly(true);
    mmPreview_->setLineWrapMode(QPlainTextEdit::NoWrap);
    mmPreview_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    v->addWidget(lblPreviewFile_);
    v->addWidget(lblPreviewCounts_);
    v->addWidget(mmPreview_, 1);
    v->addWidget(new QLabel(QStringLiteral("预览只读取文件，不写入任何内容。"), this));
    timer_ = new QTimer(this);
    timer_->setInterval(0);
    connect(timer_, &QTimer::timeout, this, &TextPreviewWindow::Step);
}

TextPreviewWindow::~TextPreviewWindow() = default;

void TextPreviewWindow::keyPressEvent(QKeyEvent* event) {
    // Escape closes it, as it closes a dialog.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TextPreviewWindow::Begin(const QString& path) {
    timer_->stop();
    diff_.reset();
    preview_.reset();
    linesShown_ = 0;
    mmPreview_->clear();
    setWindowTitle(QStringLiteral("预览 - %1").arg(QFileInfo(path).fileName()));
    lblPreviewFile_->setText(path);
    lblPreviewCounts_->setText(QStringLiteral("正在读取并处理文件…"));
}

void TextPreviewWindow::Show(TextPreview preview) {
    preview_ = std::make_unique<TextPreview>(std::move(preview));
    if (preview_->cancelled) {
        lblPreviewCounts_->setText(QStringLiteral("预览已停止"));
        return;
    }
    if (!preview_->ok()) {
        QString why = GbkToQString(UndoneText(preview_->why));
        if (!preview_->message.empty()) why += QStringLiteral("：") + GbkToQString(preview_->message);
        lblPreviewCounts_->setText(QStringLiteral("运行时此文件不会被处理：%1").arg(why));
        return;
    }
    // Read in pieces, the file came with its diff made.
    diff_ = preview_->diff ? std::move(preview_->diff)
                           : std::make_unique<LineDiff>(preview_->before, preview_->after);
    Step();
    if (!diff_->finished()) timer_->start();
}

bool TextPreviewWindow::finished() const {
    return preview_ && (!diff_ || diff_->finished());
}

void TextPreviewWindow::Step() {
    if (!diff_) return;
    const bool done = diff_->Advance(kLinesPerSlice);
    ShowNewLines();
    ShowCounts();
    if (done) timer_->stop();
}

void TextPreviewWindow::ShowNewLines() {
    const auto& shown = diff_->shown();
    if (linesShown_ == shown.size()) return;
    const QPalette& palette = mmPreview_->palette();
    QTextCharFormat same, removed, added, folded;
    removed.setBackground(Shade(palette, QColor(220, 40, 40)));
    added.setBackground(Shade(palette, QColor(30, 170, 60)));
    folded.setForeground(palette.color(QPalette::PlaceholderText));
    QTextCursor cursor(mmPreview_->document());
    cursor.movePosition(QTextCursor::End);
    cursor.beginEditBlock();
    for (; linesShown_ < shown.size(); ++linesShown_) {
        const DiffLine& l = shown[linesShown_];
        if (!mmPreview_->document()->isEmpty()) cursor.insertBlock();
        if (l.kind == DiffLine::Kind::Folded) {
            cursor.insertText(QStringLiteral("        ⋯ 省略 %1 行未改变的内容 ⋯")
                                  .arg(static_cast<qulonglong>(l.folded)),
                              folded);
            continue;
        }
        const char mark = l.kind == DiffLine::Kind::Removed ? '-'
                          : l.kind == DiffLine::Kind::Added ? '+'
                                                            : ' ';
        const QString text = QStringLiteral("%1 %2 %3 ")
                                 .arg(Number(l.oldLine), 7)
                                 .arg(Number(l.newLine), 7)
                                 .arg(QLatin1Char(mark)) +
                             GbkToQString(l.text);
        cursor.insertText(text, l.kind == DiffLine::Kind::Removed ? removed
                                : l.kind == DiffLine::Kind::Added ? added
                                                                  : same);
    }
    cursor.endEditBlock();
}

void TextPreviewWindow::ShowCounts() {
    const auto before = static_cast<qulonglong>(preview_->beforeLines);
    const auto after = static_cast<qulonglong>(preview_->afterLines);
    QString text;
    if (!diff_->finished())
        text = QStringLiteral("原文件 %1 行，处理后 %2 行；正在比较…").arg(before).arg(after);
    else if (diff_->removed() == 0 && diff_->added() == 0)
        text = QStringLiteral("原文件 %1 行，处理后没有变化").arg(before);
    else
        text = QStringLiteral("原文件 %1 行，处理后 %2 行：删除 %3 行，新增 %4 行")
                   .arg(before)
                   .arg(after)
                   .arg(static_cast<qulonglong>(diff_->removed()))
                   .arg(static_cast<qulonglong>(diff_->added()));
    if (diff_->capped())
        text += QStringLiteral("（只显示前 %1 行）").arg(static_cast<qulonglong>(diff_->shown().size()));
    lblPreviewCounts_->setText(text);
}

}  // namespace ferro
