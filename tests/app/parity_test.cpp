// The window and the command line are one program: for every operation, the
// same settings given to a real window (controls set by objectName, its
// start button pressed, dialogs scripted) and to `ferrovan-batch run` (a
// child process) on two copies of the same folder leave the copies
// byte-identical, refuse with the same text, and report each file alike.
// The undo budget is checked alike too: a run whose old contents would not
// fit a small budget is asked about in the window and refused on the
// command line, and neither changes anything then.
#include <QCheckBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>

#include "app/filelist_model.h"
#include "app/tform1.h"
#include "cli/program.h"
#include "common/file_testing.h"
#include "common/temp_folder.h"
#include "convert/workbook_files.h"
#include "form_testing.h"
#include "platform/codec.h"
#include "platform/fs.h"
#include "scripted_dialogs.h"

using ferro::TForm1;
using ferro::testing::ChooseOperation;
using ferro::testing::Click;
using ferro::testing::Gbk;
using ferro::testing::ProgramRun;
using ferro::testing::ScopedEnv;
using ferro::testing::ScriptedDialogs;
using ferro::testing::SetControl;
using ferro::testing::TempFolder;

namespace {

using Icon = ferro::DialogProvider::Icon;

// The folder every case starts from (UTF-8 names and contents, written as
// GBK).
const std::pair<const char*, const char*> kFiles[] = {
    {"a.txt", "alpha=1\r\nbeta two\r\n\r\nERR gamma\r\n中文 行\r\n"},
    {"b.txt", "beta=2\r\nalpha=9\r\nWARN delta\r\nlast line\r\n"},
    {"甲.txt", "名称\t数量\r\n苹果\t3\r\nERR 梨\t5\r\n"},
};

struct Case {
    const char* name;
    int page;           // of the operation selector
    const char* start;  // the page's start button
    std::vector<std::pair<const char*, const char*>> window = {};  // objectName, value (UTF-8)
    std::vector<const char*> cli = {};                        // after "run"
    std::vector<const char*> files = {"a.txt", "b.txt", "甲.txt"};  // listed, ticked, named
    const char* refusal = nullptr;  // the refusal both give (UTF-8); null: both run
    bool times = false;             // the run sets file times: compare those too
    std::vector<std::pair<const char*, const char*>> extra = {};  // more files in the folder
    bool overBudget = false;  // the old contents exceed the small undo budget
    bool workbook = false;    // the folder holds a workbook of two sheets, 销售.xlsx
};

const char* const kBudget = "16";

const Case kCases[] = {
    {.name = "extension: none",
     .page = 0, .start = "btnExt", .cli = {"extension"},
     .refusal = "请输入新扩展名格式！"},
    {.name = "extension: one name taken",
     .page = 0, .start = "btnExt", .window = {{"edtNewExt", "bak"}}, .cli = {"extension", "--extension", "bak"},
     .extra = {{"a.bak", "older"}}},
    {.name = "rename: no variable",
     .page = 1, .start = "btnFilename", .window = {{"edtNewFilename", "abc"}}, .cli = {"rename", "--pattern", "abc"},
     .refusal = "新文件名格式不正确，请在左边选择变量或函数！"},
    {.name = "rename: sequence not a number",
     .page = 1, .start = "btnFilename", .window = {{"edtNewFilename", "${Sn(x,3)}"}},
     .cli = {"rename", "--pattern", "${Sn(x,3)}"}, .refusal = "'x' is not a valid integer value"},
    {.name = "rename: numbered",
     .page = 1, .start = "btnFilename", .window = {{"edtNewFilename", "img_${Sn(1,3)}"}},
     .cli = {"rename", "--pattern", "img_${Sn(1,3)}"}},
    {.name = "dates: nothing chosen",
     .page = 2, .start = "btnDate", .window = {{"chkDirDate", "1"}}, .cli = {"dates", "--folders"},
     .refusal = "请选择新的日期或时间！"},
    {.name = "dates: modified and created at a time",
     .page = 2, .start = "btnDate",
     .window = {{"ckModify", "1"}, {"dtModify", "2021-03-04"}, {"ckCreate", "1"}, {"dtCreate", "2020-01-02"},
                {"chkTime", "1"}, {"dtpTime", "17:30:05"}},
     .cli = {"dates", "--modified", "2021-03-04", "--created", "2020-01-02", "--time", "17:30:05"},
     .times = true},
    {.name = "attributes: none",
     .page = 3, .start = "btnProp", .window = {{"ckNormal", "0"}}, .cli = {"attributes", "--no-archive"},
     .refusal = "请选择新的属性！"},
    {.name = "attributes: read-only and hidden",
     .page = 3, .start = "btnProp", .window = {{"ckReadonly", "1"}, {"ckHidden", "1"}},
     .cli = {"attributes", "--read-only", "--hidden"}},
    {.name = "statistics: no files",
     .page = 4, .start = "btnFileInfo", .cli = {"statistics", "--search", ".", "--mask", "*.none"},
     .files = {}, .refusal = "没有源文件，请搜索后再试！"},
    {.name = "statistics: one file",
     .page = 4, .start = "btnFileInfo", .cli = {"statistics"}, .files = {"甲.txt"}},
    {.name = "key merge: one file",
     .page = 5, .start = "btnSyn", .cli = {"key-merge"}, .files = {"a.txt"},
     .refusal = "请选择需要按关键字进行合并的两个文件！"},
    {.name = "key merge",
     .page = 5, .start = "btnSyn", .cli = {"key-merge"}, .files = {"a.txt", "b.txt"}},
    {.name = "cut: no variable",
     .page = 6, .start = "btnCut", .window = {{"edtCutFormat", "left"}}, .cli = {"cut", "--format", "left"},
     .refusal = "内容截取格式不正确，请在左边选择变量或函数！"},
    {.name = "cut: keyword mode without a keyword",
     .page = 6, .start = "btnCut", .window = {{"edtCutFormat", "${GetLeft(2)}"}, {"rbCutKeysLine", "1"}},
     .cli = {"cut", "--format", "${GetLeft(2)}", "--keyword", ""}, .refusal = "关键字不能为空，请输入后再试！"},
    {.name = "cut: keep the rest, no backup",
     .page = 6, .start = "btnCut",
     .window = {{"edtCutFormat", " ${GetLeft(3)} "}, {"rbKeepLeft", "1"}, {"chkCutBak", "0"}},
     .cli = {"cut", "--format", " ${GetLeft(3)} ", "--keep-rest", "--no-backup"}},
    {.name = "insert: no format",
     .page = 7, .start = "btnIns", .cli = {"insert"}, .refusal = "请输入内容插入格式！"},
    {.name = "insert: numbered, every line",
     .page = 7, .start = "btnIns", .window = {{"edtInsFormat", "${AddLeft(${Sn(1,2)}.)}"}, {"rbAllLine", "1"}},
     .cli = {"insert", "--format", "${AddLeft(${Sn(1,2)}.)}", "--all-lines"}},
    {.name = "insert: at a line by number",
     .page = 7, .start = "btnIns",
     .window = {{"edtInsFormat", "${AddRight(!)}"}, {"rbInsLineNo", "1"}, {"edtInsLineNo", "2"}},
     .cli = {"insert", "--format", "${AddRight(!)}", "--line-number", "2"}},
    {.name = "pattern: none",
     .page = 8, .start = "btnReplace", .cli = {"pattern"}, .refusal = "模式格式为空,请输入后再试!"},
    {.name = "pattern: count not a number",
     .page = 8, .start = "btnReplace", .window = {{"mmPattern", "$2"}, {"edArgNum", "three"}},
     .cli = {"pattern", "--pattern", "$2", "--count", "three"}, .refusal = "'three' is not a valid integer value"},
    {.name = "pattern: two lines",
     .page = 8, .start = "btnReplace", .window = {{"mmPattern", "$2 [$1]\n$1"}},
     .cli = {"pattern", "--pattern", "$2 [$1]\n$1"}},
    {.name = "delete: blank keywords",
     .page = 9, .start = "btnDelLine", .window = {{"rbDelKeys", "1"}, {"edtDelKeys", " ; "}},
     .cli = {"delete-lines", "--keywords", " ; "}, .refusal = "删除关键字为空,请输入后再试!"},
    {.name = "delete: period 0",
     .page = 9, .start = "btnDelLine", .window = {{"rbDelLine", "1"}, {"edtLines", "0"}},
     .cli = {"delete-lines", "--interval", "0:1"}, .refusal = "间隔行数必须大于0,请重新输入!"},
    {.name = "delete: negative line number",
     .page = 9, .start = "btnDelLine", .window = {{"edtDelLineNo", "-4"}},
     .cli = {"delete-lines", "--line-number", "-4"}, .refusal = "行号不能为负数,请重新输入!"},
    {.name = "delete: keywords",
     .page = 9, .start = "btnDelLine", .window = {{"rbDelKeys", "1"}, {"edtDelKeys", "ERR;WARN"}},
     .cli = {"delete-lines", "--keywords", "ERR;WARN"}},
    {.name = "delete: regular expressions",
     .page = 9, .start = "btnDelLine",
     .window = {{"rbDelKeys", "1"}, {"edtDelKeys", "ERR(OR|_[0-9]+)|梨\\t;^.{2}\\s行$"}, {"chkDelRegex", "1"}},
     .cli = {"delete-lines", "--keywords", "ERR(OR|_[0-9]+)|梨\\t;^.{2}\\s行$", "--regex"}},
    {.name = "delete: a bad regular expression",
     .page = 9, .start = "btnDelLine",
     .window = {{"rbDelKeys", "1"}, {"edtDelKeys", "ERR;(a"}, {"chkDelRegex", "1"}},
     .cli = {"delete-lines", "--keywords", "ERR;(a", "--regex"}, .refusal = "正则表达式不正确：缺少右括号 )：“(a”"},
    {.name = "delete: blank lines",
     .page = 9, .start = "btnDelLine", .window = {{"rbDelEmpty", "1"}}, .cli = {"delete-lines", "--blank-lines"}},
    {.name = "extract: position not a number",
     .page = 10, .start = "btnGetLine", .window = {{"rbGetLine", "1"}, {"edtGetLineNo", "x"}},
     .cli = {"extract-lines", "--interval", "2:x"}, .refusal = "'x' is not a valid integer value"},
    {.name = "extract: every second line, no blank ones",
     .page = 10, .start = "btnGetLine", .window = {{"rbGetLine", "1"}, {"chkGetNoneLine", "0"}},
     .cli = {"extract-lines", "--interval", "2", "--no-blank-lines"}},
    {.name = "extract: regular expressions",
     .page = 10, .start = "btnGetLine",
     .window = {{"rbGetKeys", "1"}, {"edtGetKeys", "^\\w+=\\d$"}, {"chkGetRegex", "1"}},
     .cli = {"extract-lines", "--keywords", "^\\w+=\\d$", "--regex"}},
    {.name = "extract: a bad regular expression",
     .page = 10, .start = "btnGetLine",
     .window = {{"rbGetKeys", "1"}, {"edtGetKeys", "[a-"}, {"chkGetRegex", "1"}},
     .cli = {"extract-lines", "--keywords", "[a-", "--regex"}, .refusal = "正则表达式不正确：缺少右方括号 ]：“[a-”"},
    {.name = "line sync: regular expressions",
     .page = 11, .start = "btnLineSyn", .window = {{"edtLineKeys", "^ALPHA=\\d;^last"}, {"chkSynRegex", "1"}},
     .cli = {"line-sync", "--keywords", "^ALPHA=\\d;^last", "--regex"}, .files = {"a.txt", "b.txt"}},
    {.name = "line sync: a bad regular expression",
     .page = 11, .start = "btnLineSyn", .window = {{"edtLineKeys", "a{2,1}"}, {"chkSynRegex", "1"}},
     .cli = {"line-sync", "--keywords", "a{2,1}", "--regex"}, .files = {"a.txt", "b.txt"},
     .refusal = "正则表达式不正确：重复次数不正确（至多 1000）：“{2,1}”"},
    {.name = "line sync: no keywords",
     .page = 11, .start = "btnLineSyn", .cli = {"line-sync"}, .files = {"a.txt", "b.txt"},
     .refusal = "关键字为空,请输入后再试!"},
    {.name = "line sync",
     .page = 11, .start = "btnLineSyn", .window = {{"edtLineKeys", "ALPHA;last"}},
     .cli = {"line-sync", "--keywords", "ALPHA;last"}, .files = {"a.txt", "b.txt"}},
    {.name = "new lines: no text",
     .page = 12, .start = "btnInsLine", .cli = {"new-lines"}, .refusal = "要插入的文字内容不能为空,请输入后再试!"},
    {.name = "new lines: before keyword lines",
     .page = 12, .start = "btnInsLine",
     .window = {{"mmoNewCont", "新 ${LineStr(1)}\\t!"}, {"rbKeyLine", "1"}, {"edtLineKey", "ERR"}},
     .cli = {"new-lines", "--text", "新 ${LineStr(1)}\\t!", "--keywords", "ERR"}},
    {.name = "new lines: at intervals",
     .page = 12, .start = "btnInsLine",
     .window = {{"mmoNewCont", "--\n--"}, {"rbIntLine", "1"}, {"edtInsPers", "3"}, {"edtInsNum", "2"}},
     .cli = {"new-lines", "--text", "--\n--", "--interval", "3:2"}},
    {.name = "combine",
     .page = 13, .start = "btnFileCombine", .cli = {"combine"}},
    {.name = "combine: target beyond the undo budget",
     .page = 13, .start = "btnFileCombine", .cli = {"combine"}, .overBudget = true},
    {.name = "convert: not an item",
     .page = 14, .start = "btnConvert", .window = {{"edtFileFormat", "csv"}}, .cli = {"convert", "--format", "csv"},
     .refusal = "新文件格式不正确，请在左边选择转换函数！"},
    {.name = "convert: tab text to CSV, one output replaced",
     .page = 14, .start = "btnConvert", .window = {{"edtFileFormat", "${TxtTo(csv)}"}},
     .cli = {"convert", "--format", "${TxtTo(csv)}"}, .extra = {{"b.csv", "old"}}},
    {.name = "convert: each sheet of a workbook",
     .page = 14, .start = "btnConvert", .window = {{"edtFileFormat", "${XlsTo(csv)}"}, {"chkAllSheets", "1"}},
     .cli = {"convert", "--format", "${XlsTo(csv)}", "--all-sheets"}, .files = {"销售.xlsx"}, .workbook = true},
    {.name = "convert: a replaced output beyond the undo budget",
     .page = 14, .start = "btnConvert", .window = {{"edtFileFormat", "${TxtTo(csv)}"}},
     .cli = {"convert", "--format", "${TxtTo(csv)}"},
     .extra = {{"a.csv", "an older output of the conversion, far longer than the small budget\r\n"}},
     .overBudget = true},
};

// What a folder holds: each file's bytes, its attributes and, when asked,
// its created and modified times (the copies were made at different times).
std::map<std::string, std::string> Snapshot(const TempFolder& t, bool times) {
    std::map<std::string, std::string> files;
    for (const std::string& name : ferro::testing::Entries(t.path())) {
        const std::string path = t.path() + "/" + name;
        std::string& entry = files[name];
        entry = ferro::testing::ReadWhole(path);
        ferro::FindEntry found;
        if (!ferro::StatPath(t / ferro::DiskToGbk(name), found)) entry += "\n[gone]";
        entry += "\n[attributes] " + std::to_string(found.attributes);
        if (times)
            entry += "\n[times] " + std::to_string(found.creationTime) + " " + std::to_string(found.lastWriteTime);
    }
    return files;
}

// Bytes as printable ASCII, for a failure message.
std::string Printable(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}

// The files two snapshots disagree on, with both versions.
QByteArray Differences(const std::map<std::string, std::string>& a,
                       const std::map<std::string, std::string>& b) {
    std::string out;
    for (const auto& [name, entry] : a)
        if (!b.count(name) || b.at(name) != entry)
            out += Printable(name) + ":\n  window: " + Printable(entry) +
                   "\n  command line: " + (b.count(name) ? Printable(b.at(name)) : "none") + "\n";
    for (const auto& [name, entry] : b)
        if (!a.count(name)) out += name + ": only on the command line\n";
    return QByteArray::fromStdString(out);
}

void Fill(const TempFolder& t, const Case& c) {
    for (const auto& [name, text] : kFiles) t.Write(Gbk(name), Gbk(text));
    for (const auto& [name, text] : c.extra) t.Write(Gbk(name), Gbk(text));
    if (!c.workbook) return;
    auto cell = [](const char* text) {
        return std::string("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>") + text + "</t></is></c></row>";
    };
    t.Write(Gbk("销售.xlsx"), ferro::testing::Xlsx({{"一月", "visible", cell("jan")},
                                                   {"二月", "visible", cell("feb")}}));
}

// Report text with the case's folder as <dir>, UTF-8.
std::string Normal(std::string text, const std::string& folder) {
    for (std::size_t at; (at = text.find(folder)) != std::string::npos;) text.replace(at, folder.size(), "<dir>");
    return text;
}

struct WindowRun {
    std::vector<ScriptedDialogs::Shown> messages;
    std::vector<QString> questions;
    QStringList figures;  // the statistics page's fields
};

WindowRun RunWindow(const TempFolder& t, const Case& c, bool answer) {
    ScriptedDialogs dialogs;
    dialogs.answers = {answer};
    TForm1 form(&dialogs);
    std::vector<std::string> paths;
    for (const char* name : c.files) paths.push_back(t / Gbk(name));
    for (int row : ferro::testing::AddToList(form, paths)) form.fileList().SetChecked(row, true);
    ChooseOperation(form, c.page);
    for (const auto& [control, value] : c.window) SetControl(form, control, value);
    if (!c.files.empty())
        form.Find<QTableView>("sgFiles")->setCurrentIndex(form.fileModel()->index(0, 0));
    Click(form, c.start);
    WindowRun run{dialogs.messages, dialogs.questions, {}};
    for (const char* field : {"edtFilename", "edtFileSize", "edtAllLine", "edtEmptyLine", "edtDataLine",
                              "edtCharMax", "edtCharMin", "edtCharAve"})
        run.figures << form.Find<QLineEdit>(field)->text();
    return run;
}

ProgramRun RunCli(const TempFolder& t, const Case& c, bool noUndo) {
    std::vector<std::string> args(c.cli.begin(), c.cli.end());
    if (noUndo) args.push_back("--no-undo");
    for (const char* name : c.files) args.push_back(name);
    return ferro::testing::RunProgram(t.path(), args);
}

}  // namespace

class ParityTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TempFolder> state_;
    std::unique_ptr<ScopedEnv> stateEnv_;

private slots:
    void initTestCase() {
        state_ = std::make_unique<TempFolder>();
        stateEnv_ = std::make_unique<ScopedEnv>("XDG_STATE_HOME", state_->path());
    }

    void cleanupTestCase() {
        stateEnv_.reset();
        state_.reset();
    }

    void windowAndCommandLineAgree_data() {
        QTest::addColumn<int>("index");
        for (std::size_t i = 0; i < std::size(kCases); ++i)
            QTest::newRow(kCases[i].name) << static_cast<int>(i);
    }

    void windowAndCommandLineAgree() {
        QFETCH(int, index);
        {
            const Case& c = kCases[index];
            const QByteArray name(c.name);
            // Both front ends get the small budget where the case is about it.
            std::optional<ScopedEnv> budget;
            if (c.overBudget) budget.emplace("FERRO_UNDO_BUDGET", kBudget);
            TempFolder w, l;
            Fill(w, c);
            Fill(l, c);
            const auto before = Snapshot(w, c.times);

            const WindowRun win = RunWindow(w, c, false);
            const ProgramRun cli = RunCli(l, c, false);
            const auto inWindow = Snapshot(w, c.times), onCommandLine = Snapshot(l, c.times);
            QVERIFY2(inWindow == onCommandLine, name + "\n" + Differences(inWindow, onCommandLine));

            if (c.refusal) {
                QVERIFY2(win.messages.size() == 1, name);
                QCOMPARE(win.messages[0].icon, Icon::Error);
                QCOMPARE(win.messages[0].text, QString::fromUtf8(c.refusal));
                QCOMPARE(cli.status, 2);
                QCOMPARE(QString::fromStdString(cli.err), QString::fromUtf8(c.refusal) + "\n");
                QVERIFY2(inWindow == before, name);
                return;
            }
            if (c.overBudget) {
                // The window asks and, told no, runs nothing; the command
                // line refuses with the same figures and points to --no-undo.
                // (A question is recorded with the messages too: nothing after it.)
                QVERIFY2(win.questions.size() == 1 && win.messages.size() == 1, name);
                QCOMPARE(win.messages[0].text, win.questions[0]);
                QCOMPARE(cli.status, 2);
                const QString asked = win.questions[0], refused = QString::fromStdString(cli.err);
                QVERIFY2(asked.endsWith(QStringLiteral("是否继续处理（不保留撤销记录）？")), qPrintable(asked));
                QVERIFY2(refused.endsWith(QStringLiteral("如果不需要撤销，请加上 --no-undo 再试。\n")),
                         qPrintable(refused));
                QCOMPARE(asked.section(QLatin1Char('\n'), 0, 0), refused.section(QLatin1Char('\n'), 0, 0));
                QVERIFY2(asked.contains(QStringLiteral("超出撤销记录的上限 16 字节")), qPrintable(asked));
                QVERIFY2(inWindow == before, name);

                // Told to go on without undo, both do the same run.
                TempFolder w2, l2;
                Fill(w2, c);
                Fill(l2, c);
                const WindowRun yes = RunWindow(w2, c, true);
                const ProgramRun noUndo = RunCli(l2, c, true);
                QCOMPARE(noUndo.status, 0);
                QVERIFY2(yes.questions.size() == 1 && yes.messages.size() == 2, name);
                QCOMPARE(yes.messages[1].icon, Icon::Information);
                QVERIFY2(Snapshot(w2, false) == Snapshot(l2, false), name);
                QVERIFY2(Snapshot(w2, false) != Snapshot(w, false), name);
                return;
            }
            // The same report of every file: the window's closing message
            // and its list are what the command line prints.
            QVERIFY2(win.questions.empty(), name);
            QVERIFY2(win.messages.size() == 1, name);
            const ScriptedDialogs::Shown& closing = win.messages[0];
            const std::string shown = (closing.text + "\n" + closing.details).toStdString();
            QCOMPARE(QString::fromStdString(Normal(cli.err, l.path())),
                     QString::fromStdString(Normal(shown, w.path())));
            QCOMPARE(cli.status, closing.details.isEmpty() ? 0 : 1);
            if (c.page == 4) {
                // The figures the page shows are the command line's row.
                QStringList row = QString::fromStdString(cli.out).split(QLatin1Char('\n'))[1].split(QLatin1Char('\t'));
                row[0] = QString::fromStdString(Normal(row[0].toStdString(), l.path()));
                QStringList shownFigures = win.figures;
                shownFigures[0] = QString::fromStdString(Normal(shownFigures[0].toStdString(), w.path()));
                QCOMPARE(shownFigures, row);
            }
            QVERIFY2(inWindow != before || c.page == 4, name);
        }
    }
};

QTEST_MAIN(ParityTest)
#include "parity_test.moc"
