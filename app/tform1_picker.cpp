// The template picker: writes the chosen variable or function into the
// template field of the page on show, or onto the clipboard for pages
// without one.
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTextCursor>

#include "app/pages/page_binding.h"
#include "app/tform1.h"
#include "platform/codec.h"
#include "template/catalog.h"
#include "template/template.h"

namespace ferro {

namespace {

// The field's text with the written text put in: at the caret when nothing
// is selected, otherwise in place of every occurrence of the selection,
// letters compared as the template language compares them (ANSI case, never
// inside a double-byte character).
QString PutIn(const QString& text, int caret, const QString& selected, const QString& written) {
    if (selected.isEmpty()) {
        QString result = text;
        result.insert(qBound(0, caret, int(text.size())), written);
        return result;
    }
    return GbkToQString(
        ReplaceAll(QStringToGbk(text), QStringToGbk(selected), QStringToGbk(written)));
}

// The picker's entry at an index: the forty of the template language, then
// the items of what each file holds. Null past the end.
const CatalogEntry* PickerEntry(int index) {
    if (index < 0) return nullptr;
    auto at = static_cast<std::size_t>(index);
    for (const auto part : {TemplateCatalog(), FileItemCatalog()}) {
        if (at < part.size()) return &part[at];
        at -= part.size();
    }
    return nullptr;
}

}  // namespace

void TForm1::FillTemplatePicker() {
    auto* cmbVar = Find<QComboBox>("cmbVar");
    for (int i = 0; const CatalogEntry* entry = PickerEntry(i); ++i) {
        cmbVar->addItem(QString::fromUtf8(entry->caption));
        cmbVar->setItemData(i, QString::fromUtf8(entry->help), Qt::ToolTipRole);
    }
    cmbVar->setCurrentIndex(-1);
}

void TForm1::cmbVarChange(int index) {
    const CatalogEntry* entry = PickerEntry(index);
    if (!entry) return;
    const QString written = QString::fromUtf8(entry->written);

    // The template field of the page on show, if it has one.
    const page::PageBinding* page = CurrentPage();
    QWidget* target = page ? page->Control(page->templateField) : nullptr;
    // Each edit replaces the whole text as one undoable step, so Ctrl+Z
    // brings the old text back.
    if (auto* edit = qobject_cast<QLineEdit*>(target)) {
        const QString text =
            PutIn(edit->text(), edit->cursorPosition(), edit->selectedText(), written);
        edit->selectAll();
        edit->insert(text);
        edit->setFocus();
        return;
    }
    if (auto* memo = qobject_cast<QPlainTextEdit*>(target)) {
        QTextCursor cursor = memo->textCursor();
        // A selection across lines holds paragraph separators where the text
        // holds line breaks.
        QString selected = cursor.selectedText();
        selected.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
        const QString text = PutIn(memo->toPlainText(), cursor.position(), selected, written);
        cursor.select(QTextCursor::Document);
        cursor.insertText(text);
        memo->setTextCursor(cursor);
        memo->setFocus();
        return;
    }
    dialogs().SetClipboardText(written);
}

}  // namespace ferro
