// The window's layout: search group, list tool buttons and grid above a
// splitter; counters, selectors and the operation pages below it.
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStyle>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <stdexcept>

#include "app/filelist_model.h"
#include "app/filelist_view.h"
#include "app/flow_layout.h"
#include "app/looks.h"
#include "app/pages/pages.h"
#include "app/tform1.h"
#include "ops/registry.h"

namespace ferro {

namespace {

QLabel* Caption(const char* text, QWidget* parent) {
    return new QLabel(QString::fromUtf8(text), parent);
}

template <class T>
T* Named(T* w, const char* name) {
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

QToolButton* FlatTool(const char* name, QStyle::StandardPixmap icon, const char* hint,
                      QWidget* parent) {
    auto* b = Named(new QToolButton(parent), name);
    b->setAutoRaise(true);
    b->setIcon(parent->style()->standardIcon(icon));
    b->setToolTip(QString::fromUtf8(hint));
    b->setIconSize(QSize(16, 16));
    b->setStyle(FlatButtonStyle());  // shows keyboard focus
    return b;
}

// A column that asks for a given width and gives some of it up when the
// window is narrow.
class SideColumn : public QWidget {
public:
    SideColumn(int width, QWidget* parent) : QWidget(parent), width_(width) {
        setMaximumWidth(width);
    }
    QSize sizeHint() const override { return {width_, QWidget::sizeHint().height()}; }

private:
    int width_;
};

}  // namespace

void TForm1::BuildWindow() {
    auto* central = new QWidget(this);
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(0, 0, 0, 0);

    auto* Splitter1 = Named(new QSplitter(Qt::Vertical, central), "Splitter1");
    Splitter1->setHandleWidth(3);
    Splitter1->setChildrenCollapsible(false);

    auto* Panel1 = Named(new QWidget(Splitter1), "Panel1");
    auto* upper = new QVBoxLayout(Panel1);
    upper->setContentsMargins(4, 4, 4, 2);
    upper->setSpacing(2);
    upper->addWidget(BuildSearchGroup());
    upper->addWidget(BuildToolRow());

    sgFiles_ = new FileGrid(Panel1);
    sgFiles_->setModel(model_);
    static const int kWidths[kColumnCount] = {150, 199, 86, 121, 120, 57};
    for (int c = 0; c < kColumnCount; ++c) sgFiles_->setColumnWidth(c, kWidths[c]);
    sgFiles_->FitFixedColumns();  // the times show their seconds in any font
    connect(sgFiles_, &FileGrid::mouseReleased, this,
            [this](bool onHeader, int column, Qt::KeyboardModifiers modifiers) {
                Guard([&] { sgFilesMouseUp(onHeader, column, modifiers); });
            });
    connect(sgFiles_, &FileGrid::tickKeyPressed, this, [this] { Guard([this] { sgFilesTickKey(); }); });
    connect(sgFiles_, &FileGrid::tickAllPressed, this, [this] { Guard([this] { btnSelAllClick(); }); });
    // Taken up once the drop is over, so that the dragging program is not
    // kept waiting while a folder is searched.
    connect(sgFiles_, &FileGrid::pathsDropped, this,
            [this](const QStringList& paths) { Guard([&] { sgFilesDragDrop(paths); }); },
            Qt::QueuedConnection);
    upper->addWidget(sgFiles_, 1);
    // Under the grid: the summary of the preview column.
    auto* lblPreview = Named(new QLabel(Panel1), "lblPreview");
    lblPreview->setVisible(false);
    upper->addWidget(lblPreview);

    Splitter1->addWidget(Panel1);
    Splitter1->addWidget(BuildLowerPanel());
    Splitter1->setStretchFactor(0, 1);
    Splitter1->setStretchFactor(1, 0);
    Splitter1->setSizes({350, 250});
    outer->addWidget(Splitter1);
    setCentralWidget(ScrollWhenSmall(central));
}

QWidget* TForm1::BuildSearchGroup() {
    auto* GroupBox7 = Named(new QGroupBox(QStringLiteral("搜索文件"), this), "GroupBox7");
    auto* g = new QGridLayout(GroupBox7);
    g->setContentsMargins(4, 4, 4, 4);
    g->setHorizontalSpacing(4);
    g->setVerticalSpacing(3);

    // First line: folders, browse button, masks, search and stop.
    auto* line1 = new QHBoxLayout;
    line1->addWidget(Caption("文件目录：", GroupBox7));
    auto* edFolder = Named(new QLineEdit(GroupBox7), "edFolder");
    edFolder->setToolTip(QStringLiteral("可用分号(;)隔开多个目录"));
    edFolder->setMinimumWidth(edFolder->fontMetrics().averageCharWidth() * 20);
    line1->addWidget(edFolder, 3);
    auto* btnOpen = FlatTool("btnOpen", QStyle::SP_DirOpenIcon, "请选择需要搜索文件的目录", GroupBox7);
    line1->addWidget(btnOpen);
    line1->addSpacing(6);
    line1->addWidget(Caption("文件类型：", GroupBox7));
    auto* cmbFileType = Named(new QComboBox(GroupBox7), "cmbFileType");
    cmbFileType->setEditable(true);
    cmbFileType->setInsertPolicy(QComboBox::NoInsert);  // typing never adds items
    cmbFileType->setToolTip(QStringLiteral("可用分号(;)隔开多个文件类型"));
    cmbFileType->addItems({"*.txt", "*.ini", "*.dat", "*.xls", "*.csv", "*.vcf", "*.htm", "*.asp",
                           "*.jsp", "*.php"});
    cmbFileType->setEditText(QStringLiteral("*.txt"));
    cmbFileType->setMinimumWidth(110);
    line1->addWidget(cmbFileType, 1);
    line1->addSpacing(6);
    auto* cbSearch = Named(new QPushButton(QStringLiteral("搜索"), GroupBox7), "cbSearch");
    auto* btnStopSearch = Named(new QPushButton(QStringLiteral("停止"), GroupBox7), "btnStopSearch");
    btnStopSearch->setEnabled(false);
    line1->addWidget(cbSearch);
    line1->addWidget(btnStopSearch);
    g->addLayout(line1, 0, 0);

    // Second line: the filters and the sub-folder switch, in three pieces
    // that wrap onto further lines when the window is narrow.
    auto piece = [GroupBox7] {
        auto* w = new QWidget(GroupBox7);
        auto* h = new QHBoxLayout(w);
        h->setContentsMargins(0, 0, 0, 0);
        h->setSpacing(2);
        return std::make_pair(w, h);
    };
    auto [sizePiece, sizeRow] = piece();
    auto* ckFileSize = Named(new QCheckBox(QStringLiteral("文件大小(字节)"), sizePiece), "ckFileSize");
    sizeRow->addWidget(ckFileSize);
    sizeRow->addWidget(Caption("从", sizePiece));
    auto* edMin = Named(new QLineEdit(QStringLiteral("0"), sizePiece), "edMin");
    auto* edMax = Named(new QLineEdit(QStringLiteral("50000"), sizePiece), "edMax");
    for (QLineEdit* e : {edMin, edMax}) {
        e->setEnabled(false);
        e->setFixedWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 10);
    }
    sizeRow->addWidget(edMin);
    sizeRow->addWidget(Caption("到", sizePiece));
    sizeRow->addWidget(edMax);
    auto [datePiece, dateRow] = piece();
    auto* ckFileDate = Named(new QCheckBox(QStringLiteral("文件日期："), datePiece), "ckFileDate");
    dateRow->addWidget(ckFileDate);
    auto* cbDateType = Named(new QComboBox(datePiece), "cbDateType");
    cbDateType->setEditable(true);
    cbDateType->setInsertPolicy(QComboBox::NoInsert);
    cbDateType->addItems({QStringLiteral("修改时间"), QStringLiteral("创建时间"),
                          QStringLiteral("最后访问时间")});
    cbDateType->setCurrentIndex(0);
    cbDateType->setEnabled(false);
    dateRow->addWidget(cbDateType);
    dateRow->addWidget(Caption("从", datePiece));
    auto* dtMin = Named(new QDateEdit(datePiece), "dtMin");
    dateRow->addWidget(dtMin);
    dateRow->addWidget(Caption("到", datePiece));
    auto* dtMax = Named(new QDateEdit(datePiece), "dtMax");
    dateRow->addWidget(dtMax);
    for (QDateEdit* d : {dtMin, dtMax}) {
        d->setCalendarPopup(true);
        d->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        d->setEnabled(false);
    }
    auto* ckSub = Named(new QCheckBox(QStringLiteral("搜索时包含子目录"), GroupBox7), "ckSub");
    ckSub->setChecked(true);
    auto* line2 = new FlowLayout(4, 3);
    line2->addWidget(sizePiece);
    line2->addWidget(datePiece);
    line2->addWidget(ckSub);
    g->addLayout(line2, 1, 0);

    // Enter in the folder or the mask field searches, as the button does.
    auto searchOnEnter = [this, cbSearch] {
        if (cbSearch->isEnabled()) Guard([this] { cbSearchClick(); });
    };
    connect(edFolder, &QLineEdit::returnPressed, this, searchOnEnter);
    connect(cmbFileType->lineEdit(), &QLineEdit::returnPressed, this, searchOnEnter);

    ConnectClick(btnOpen, &TForm1::btnOpenClick);
    ConnectClick(ckFileSize, &TForm1::ckFileSizeClick);
    ConnectClick(ckFileDate, &TForm1::ckFileDateClick);
    ConnectClick(cbSearch, &TForm1::cbSearchClick);
    ConnectClick(btnStopSearch, &TForm1::btnStopSearchClick);
    return GroupBox7;
}

QWidget* TForm1::BuildToolRow() {
    auto* row = new QWidget(this);
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    h->setSpacing(2);
    auto* btnSelAll = FlatTool("btnSelAll", QStyle::SP_DialogApplyButton, "选择所有文件", row);
    auto* btnDeSelAll = FlatTool("btnDeSelAll", QStyle::SP_DialogCancelButton, "全部取消选择", row);
    auto* btnInverse = FlatTool("btnInverse", QStyle::SP_BrowserReload, "反向选择", row);
    auto* btnAdd = FlatTool("btnAdd", QStyle::SP_FileDialogNewFolder, "添加文件,可以多选.", row);
    auto* btnDel = FlatTool("btnDel", QStyle::SP_TrashIcon, "删除所选文件,不删除物理文件.", row);
    h->addWidget(btnSelAll);
    h->addWidget(btnDeSelAll);
    h->addWidget(btnInverse);
    h->addSpacing(16);
    h->addWidget(btnAdd);
    h->addWidget(btnDel);
    h->addSpacing(24);

    auto* btnExp = Named(new QPushButton(QStringLiteral("导出文件名"), row), "btnExp");
    btnExp->setToolTip(QStringLiteral("导出当前选择的文件名称,保存到文本文件中."));
    auto* btnExpDir = Named(new QPushButton(QStringLiteral("导出目录名"), row), "btnExpDir");
    btnExpDir->setToolTip(QStringLiteral("导出当前选择的文件所在目录,保存到文本文件中."));
    auto* cbDel = Named(new QPushButton(QStringLiteral("删除"), row), "cbDel");
    cbDel->setToolTip(QStringLiteral("删除当前选择的磁盘文件,删除后不能恢复."));
    for (QPushButton* b : {btnExp, btnExpDir, cbDel}) {
        b->setFlat(true);
        b->setStyle(FlatButtonStyle());
        h->addWidget(b);
    }
    h->addStretch(1);

    ConnectClick(btnSelAll, &TForm1::btnSelAllClick);
    ConnectClick(btnDeSelAll, &TForm1::btnDeSelAllClick);
    ConnectClick(btnInverse, &TForm1::btnInverseClick);
    ConnectClick(btnAdd, &TForm1::btnAddClick);
    ConnectClick(btnDel, &TForm1::btnDelClick);
    ConnectClick(btnExp, &TForm1::btnExpClick);
    ConnectClick(btnExpDir, &TForm1::btnExpDirClick);
    ConnectClick(cbDel, &TForm1::cbDelClick);
    return row;
}

// Under the pages: the progress of the running batch (files done of files
// ticked, the current file beside it) and its stop button.
QWidget* TForm1::BuildRunStrip(QWidget* parent) {
    auto* strip = Named(new QWidget(parent), "pnlRun");
    auto* h = new QHBoxLayout(strip);
    h->setContentsMargins(4, 2, 4, 2);
    h->setSpacing(6);
    auto* btnUndo = Named(new QPushButton(QStringLiteral("撤销"), strip), "btnUndo");
    btnUndo->setEnabled(false);
    h->addWidget(btnUndo);
    ConnectClick(btnUndo, &TForm1::btnUndoClick);
    auto* pbRun = Named(new QProgressBar(strip), "pbRun");
    pbRun->setRange(0, 1);
    pbRun->setValue(0);
    pbRun->setFormat(QStringLiteral("%v / %m"));
    pbRun->setTextVisible(false);  // no count before the first run
    pbRun->setMaximumWidth(220);
    h->addWidget(pbRun, 1);
    auto* lblRunFile = Named(new QLabel(strip), "lblRunFile");
    lblRunFile->setMinimumWidth(60);
    lblRunFile->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    h->addWidget(lblRunFile, 2);
    auto* btnStopRun = Named(new QPushButton(QStringLiteral("停止"), strip), "btnStopRun");
    btnStopRun->setToolTip(QStringLiteral("处理完当前文件后停止"));
    btnStopRun->setEnabled(false);
    h->addWidget(btnStopRun);
    ConnectClick(btnStopRun, &TForm1::btnStopRunClick);
    return strip;
}

// One page per operation of the registry, in its order, each bound to its
// operation's fields; its start button runs the batch-run protocol.
void TForm1::BuildPages() {
    for (const ops::Operation* op : ops::Operations()) {
        const ops::OperationInfo& info = op->info();
        auto* page = Named(new QWidget(pgcOne_), info.page);
        pgcOne_->addTab(page, QString::fromUtf8(info.pageCaption));
        const page::PageBuilder build = page::BuilderOf(info.name);
        if (!build) throw std::logic_error(std::string("no page for ") + info.name);
        page::PageBinding* binding = build(*op, page);
        pages_.push_back(binding);
        connect(binding->start(), &QAbstractButton::clicked, this,
                [this, binding] { Guard([&] { StartOperation(*binding); }); });
    }
}

QWidget* TForm1::BuildLowerPanel() {
    auto* pnl1 = Named(new QWidget(this), "pnl1");
    pnl1->setMinimumHeight(200);
    auto* h = new QHBoxLayout(pnl1);
    h->setContentsMargins(2, 2, 2, 2);
    h->setSpacing(2);

    // Left: counters, selectors, version and help.
    auto* pnl2 = Named(new SideColumn(208, pnl1), "pnl2");
    pnl2->setMinimumWidth(176);  // gives way to the pages in a narrow window
    auto* v = new QVBoxLayout(pnl2);
    v->setContentsMargins(4, 2, 4, 2);
    v->setSpacing(3);
    auto counterRow = [&](const char* caption, const char* name, Tint tint) {
        auto* row = new QHBoxLayout;
        row->addWidget(Caption(caption, pnl2));
        auto* counter = Named(new QLabel(QStringLiteral("0"), pnl2), name);
        SetTint(counter, tint);
        row->addWidget(counter, 1);
        v->addLayout(row);
        return counter;
    };
    stSrcCount_ = counterRow("搜索文件数量：", "stSrcCount", Tint::Link);
    stChangeCount_ = counterRow("更改文件数量：", "stChangeCount", Tint::Count);
    stDeleteCount_ = counterRow("删除文件数量：", "stDeleteCount", Tint::Count);

    v->addWidget(Caption("请选择批处理方式：", pnl2));
    cmbOpt_ = Named(new QComboBox(pnl2), "cmbOpt");
    cmbOpt_->setEditable(false);
    cmbOpt_->setMaxVisibleItems(10);
    for (const ops::Operation* op : ops::Operations())
        cmbOpt_->addItem(QString::fromUtf8(op->info().caption));
    v->addWidget(cmbOpt_);

    // How text files are read and written by every text operation.
    v->addWidget(Caption("文本编码", pnl2));
    auto* cmbTextEncoding = Named(new QComboBox(pnl2), "cmbTextEncoding");
    cmbTextEncoding->setEditable(false);
    cmbTextEncoding->addItem(QStringLiteral("自动 (UTF-8 / GBK)"));
    cmbTextEncoding->addItem(QStringLiteral("GBK (Windows)"));
    v->addWidget(cmbTextEncoding);
    // What the text page's start button would make of one file, written
    // nowhere.
    auto* btnPreview = Named(new QPushButton(QStringLiteral("预览"), pnl2), "btnPreview");
    btnPreview->setToolTip(QStringLiteral("显示当前行(或第一个选中)文件处理后的结果，不写入文件"));
    v->addWidget(btnPreview);

    v->addWidget(Caption("请选择变量或函数：", pnl2));
    auto* cmbVar = Named(new QComboBox(pnl2), "cmbVar");
    cmbVar->setEditable(false);
    cmbVar->setMaxVisibleItems(10);
    cmbVar->setToolTip(QStringLiteral("变量或函数的使用说明"));
    // Long items are cut in the narrow panel, never in the opened list.
    cmbVar->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cmbVar->setMinimumContentsLength(12);
    v->addWidget(cmbVar);

    auto* helpRow = new QHBoxLayout;
    helpRow->addWidget(Named(new QLabel(QStringLiteral("版本：V2.6.711"), pnl2), "Label10"));
    auto* SpeedButton1 = FlatTool("SpeedButton1", QStyle::SP_MessageBoxQuestion, "查看使用说明", pnl2);
    helpRow->addWidget(SpeedButton1);
    helpRow->addStretch(1);
    v->addLayout(helpRow);
    auto* Label11 = Named(new QLabel(pnl2), "Label11");
    SetTint(Label11, Tint::Link);
    Label11->setCursor(Qt::PointingHandCursor);
    v->addWidget(Label11);
    v->addStretch(1);
    h->addWidget(pnl2);

    // Right: the operation pages and the tips line under them.
    auto* Panel2 = Named(new QWidget(pnl1), "Panel2");
    auto* pv = new QVBoxLayout(Panel2);
    pv->setContentsMargins(0, 0, 0, 0);
    pv->setSpacing(0);
    pgcOne_ = Named(new QTabWidget(Panel2), "pgcOne");
    pv->addWidget(pgcOne_, 1);
    pv->addWidget(BuildRunStrip(Panel2));
    auto* Panel3 = Named(new QWidget(Panel2), "Panel3");
    Panel3->setFixedHeight(20);
    auto* tipsRow = new QHBoxLayout(Panel3);
    tipsRow->setContentsMargins(4, 0, 4, 0);
    auto* lblTips = Named(new QLabel(Panel3), "lblTips");
    QFont underlined = lblTips->font();
    underlined.setUnderline(true);
    lblTips->setFont(underlined);
    lblTips->setCursor(Qt::PointingHandCursor);
    tipsRow->addWidget(lblTips, 1);
    pv->addWidget(Panel3);
    h->addWidget(Panel2, 1);

    BuildPages();

    connect(cmbOpt_, &QComboBox::activated, this,
            [this](int index) { Guard([&] { cmbOptChange(index); }); });
    connect(cmbVar, &QComboBox::activated, this,
            [this](int index) { Guard([&] { cmbVarChange(index); }); });
    FillTemplatePicker();
    cmbVar->view()->setMinimumWidth(cmbVar->view()->sizeHintForColumn(0) + 24);
    SetUpTips();
    return pnl1;
}

}  // namespace ferro
