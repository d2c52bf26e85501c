#include "app/pages/page_util.h"

#include "app/looks.h"

namespace ferro::page {

QGridLayout* Grid(QWidget* page) {
    if (auto* g = qobject_cast<QGridLayout*>(page->layout())) return g;
    auto* g = new QGridLayout(page);
    g->setContentsMargins(8, 6, 8, 6);
    g->setHorizontalSpacing(6);
    g->setVerticalSpacing(4);
    return g;
}

QPushButton* StartButton(QWidget* page, const char* name, const char* caption) {
    auto* b = new QPushButton(QString::fromUtf8(caption), page);
    b->setObjectName(QString::fromLatin1(name));
    b->setMinimumWidth(90);
    return b;
}

QLabel* Label(QWidget* page, const char* text) { return new QLabel(QString::fromUtf8(text), page); }

QLabel* Note(QWidget* page, const char* text) {
    auto* l = new QLabel(QString::fromUtf8(text), page);
    SetTint(l, Tint::Caution);
    l->setWordWrap(true);
    return l;
}

QLineEdit* Edit(QWidget* page, const char* name, const char* text) {
    auto* e = new QLineEdit(QString::fromUtf8(text), page);
    e->setObjectName(QString::fromLatin1(name));
    return e;
}

QCheckBox* Check(QWidget* page, const char* name, const char* caption, bool checked) {
    auto* c = new QCheckBox(QString::fromUtf8(caption), page);
    c->setObjectName(QString::fromLatin1(name));
    c->setChecked(checked);
    return c;
}

QComboBox* ChoiceList(QWidget* page, const char* name, const ops::Operation& op, const char* field) {
    auto* c = new QComboBox(page);
    c->setObjectName(QString::fromLatin1(name));
    const ops::Field* f = ops::FindField(op.fields(), field);
    if (!f) return c;
    for (const ops::Choice& choice : f->choices) {
        c->addItem(QString::fromUtf8(choice.caption));
        if (std::string_view(choice.value) == f->fallback) c->setCurrentIndex(c->count() - 1);
    }
    return c;
}

QHBoxLayout* NameCaseRow(QWidget* page, const ops::Operation& op) {
    auto* row = new QHBoxLayout;
    row->addWidget(Label(page, "大小写:"));
    row->addWidget(ChoiceList(page, "cmbCase", op, "letterCase"));
    row->addSpacing(12);
    row->addWidget(Check(page, "chkKeepCase", "保留格式中的大小写", false));
    row->addSpacing(12);
    row->addWidget(Label(page, "重名时:"));
    row->addWidget(ChoiceList(page, "cmbClash", op, "onClash"));
    row->addStretch(1);
    return row;
}

QRadioButton* Radio(QWidget* page, const char* name, const char* caption, bool checked) {
    auto* r = new QRadioButton(QString::fromUtf8(caption), page);
    r->setObjectName(QString::fromLatin1(name));
    r->setChecked(checked);
    return r;
}

QCheckBox* BackupBox(QWidget* page, const char* name) {
    return Check(page, name, "备份目标文件(.bak),覆盖同名文件", true);
}

QHBoxLayout* IntervalRow(QWidget* page, const char* periodName, const char* middle,
                         const char* positionName) {
    auto* row = new QHBoxLayout;
    row->setSpacing(4);
    auto* period = Edit(page, periodName, "2");
    auto* position = Edit(page, positionName, "1");
    period->setMaximumWidth(50);
    position->setMaximumWidth(50);
    row->addWidget(Label(page, "每"));
    row->addWidget(period);
    row->addWidget(Label(page, middle));
    row->addWidget(position);
    row->addWidget(Label(page, "行记录"));
    row->addStretch(1);
    return row;
}

}  // namespace ferro::page
