// Reading `run OPERATION [options] [FILES...]`: a table of operations and
// their options (which also gives the help texts), then one builder per
// operation that turns the options into the page's settings and checks
// them as the page does.
#include <map>
#include <optional>
#include <set>

#include "cli/request.h"
#include "cli/text.h"
#include "convert/convert_item.h"
#include "fileops/extension_change.h"
#include "fileops/rename.h"
#include "platform/error.h"
#include "platform/fs.h"
#include "platform/text.h"
#include "platform/times.h"
#include "textops/settings_check.h"
#include "textops/keywords.h"
#include "textops/textfile.h"

namespace ferro::cli {

namespace {

// Text of the help and of the usage errors is written here in UTF-8 and
// turned into GBK like any other text of the program.
struct OptionInfo {
    const char* name;   // "--pattern"
    const char* value;  // what its value is, for the help; null for a switch
    const char* help;
};

struct OperationInfo {
    Operation op;
    const char* name;
    const char* caption;  // the item of the window's operation selector
    const char* summary;
    std::vector<OptionInfo> options;
    bool textFiles;  // reads text files: --encoding
    bool backup;     // rewrites text files: --no-backup
    const char* files;  // what the files are, when it matters
};

const OptionInfo kTemplateLines[] = {
    {"--all-lines", nullptr, "所有行（窗口中的“所有行”）"},
    {"--text-lines", nullptr, "有文字的行，空行不处理（默认）"},
    {"--line-number", "行号", "只处理这一行；大于行数时为最后一行"},
    {"--keyword", "关键字", "只处理含有这个关键字的行（整个作为一个关键字，区分大小写）"},
};

std::vector<OptionInfo> WithTemplateLines(std::vector<OptionInfo> options) {
    options.insert(options.end(), std::begin(kTemplateLines), std::end(kTemplateLines));
    return options;
}

const std::vector<OperationInfo>& Operations() {
    static const std::vector<OperationInfo> table = {
        {Operation::Extension, "extension", "更改文件扩展名", "给文件换上新的扩展名。",
         {{"--extension", "扩展名",
           "新扩展名（窗口中的“新扩展名:”），前面可以不加点；${Ext} 代表原扩展名，如 ${Ext}.bak"}},
         false, false, nullptr},
        {Operation::Rename, "rename", "更改文件名称", "按新文件名格式给文件改名，扩展名不变。",
         {{"--pattern", "格式",
           "新文件名格式（窗口中的“新文件名:”），必须含有变量或函数，如 img_${Sn(1,3)}、"
           "${GetLeft(3)}、${File(名称列表.txt)}"}},
         false, false, "按列出的顺序编号"},
        {Operation::Dates, "dates", "更改文件或目录日期", "设定文件的修改、创建和访问日期。",
         {{"--modified", "日期", "新的修改日期，如 2024-05-31"},
          {"--created", "日期", "新的创建日期"},
          {"--accessed", "日期", "新的访问日期"},
          {"--time", "时刻", "同时设定时刻，如 17:30:00；不指定时保持原来的时刻"},
          {"--folders", nullptr, "同时修改文件所在目录的日期"}},
         false, false, nullptr},
        {Operation::Attributes, "attributes", "更改文件或目录属性",
         "文件的属性改为指定的几项，其余属性被清除（默认只有存档）。",
         {{"--no-archive", nullptr, "不要存档属性"},
          {"--system", nullptr, "系统"},
          {"--read-only", nullptr, "只读"},
          {"--hidden", nullptr, "隐藏"},
          {"--folders", nullptr, "同时修改文件所在目录的属性"}},
         false, false, nullptr},
        {Operation::Statistics, "statistics", "文件信息统计",
         "在标准输出上列出每个文件的大小、总行数、空行数、数据行数和行的最大、最小、平均字符数。"
         "不修改文件。",
         {}, true, false, nullptr},
        {Operation::KeyMerge, "key-merge", "合并关键字内容",
         "KeyName=Value 格式的文件：两个文件都有的关键字，目标文件中的值改为源文件中的值。",
         {}, true, true, "第一个文件是源文件，第二个是目标文件"},
        {Operation::Cut, "cut", "行内容截取字符", "用函数截取行中的部分内容。",
         WithTemplateLines({{"--format", "格式", "截取格式（窗口中的“截取格式:”），如 ${GetLeft(10)}"},
                            {"--keep-rest", nullptr,
                             "保留截取后的内容（默认保留截取到的内容）"}}),
         true, true, nullptr},
        {Operation::Insert, "insert", "行内容插入字符",
         "用函数改写行，如在行首或行尾加字符；文件的所有行都保留。",
         WithTemplateLines({{"--format", "格式",
                             "插入格式（窗口中的“插入格式:”），如 ${AddLeft(${Sn(1,3)}.)}"}}),
         true, true, nullptr},
        {Operation::Pattern, "pattern", "行模式替换字符",
         "每行按分隔符拆成字段，用 $1、$2…… 重新组合；空行被去掉。",
         {{"--pattern", "模式", "模式格式（窗口中的“模式格式：”），可以有多行，如 '$2 $1'"},
          {"--prefix", "前缀", "参数前缀，默认为 $"},
          {"--count", "个数", "参数个数，默认为 3"}},
         true, true, nullptr},
        {Operation::DeleteLines, "delete-lines", "内容按行删除",
         "删除指定的行；以下四种方式选一种。",
         {{"--line-number", "行号", "删除这一行"},
          {"--interval", "N:M", "每 N 行删除第 M 行，如 2:1 删除第 1、3、5……行"},
          {"--keywords", "关键字", "删除含有关键字的行，可用分号隔开多个关键字"},
          {"--blank-lines", nullptr, "删除空行"}},
         true, true, nullptr},
        {Operation::ExtractLines, "extract-lines", "内容按行提取",
         "只保留指定的行；以下三种方式选一种。",
         {{"--line-number", "行号", "提取这一行"},
          {"--interval", "N:M", "每 N 行提取第 M 行"},
          {"--keywords", "关键字", "提取含有关键字的行，可用分号隔开多个关键字"},
          {"--no-blank-lines", nullptr, "不提取空行（窗口中不勾选“提取空行”）"}},
         true, true, nullptr},
        {Operation::LineSync, "line-sync", "按关键字同步行",
         "源文件中含有关键字（不区分大小写）的行替换目标文件中同一行号的行。",
         {{"--keywords", "关键字", "关键字，可用分号隔开多个关键字"}},
         true, true, "第一个文件是源文件，第二个是目标文件"},
        {Operation::NewLines, "new-lines", "内容插入新行",
         "在文件中插入文字；插入位置从以下三种中选一种（默认插在文件开头）。",
         {{"--text", "文字",
           "要插入的文字（可以多行），可以用 ${LineStr(行号)}、${LineStr2(关键字)}、"
           "${LineRandStr()} 以及 \\t、\\r、\\n"},
          {"--line-number", "行号", "插在第几行之后，0 表示插在文件开头（默认 0）"},
          {"--interval", "P:Q", "每 P 行的第 Q 行之前插入"},
          {"--keywords", "关键字", "在含有关键字的行之前插入，可用分号隔开多个关键字"}},
         true, true, nullptr},
        {Operation::Combine, "combine", "文件内容合并",
         "所有文件的内容按列出的顺序合并到最后一个文件中。", {}, true, true,
         "最后一个文件是目标文件"},
        {Operation::Convert, "convert", "文件格式转换",
         "转换后的新文件保存在原文件旁边，文件名相同，扩展名为新扩展名。",
         {{"--format", "转换函数",
           "${XlsTo(扩展名)}、${CsvTo(扩展名)}、${TxtTo(扩展名)} 或 ${VcfTo(扩展名)}，"
           "如 '${CsvTo(xls)}'（表格转换需要安装 LibreOffice）"},
          {"--all-sheets", nullptr,
           "表格转换为 csv 或 txt 时每个工作表写成一个文件：文件名_工作表名.csv（窗口中的"
           "“每个工作表一个文件”）；隐藏的工作表不写出，要写出时在扩展名后加“,隐藏”，"
           "如 '${XlsTo(csv,隐藏)}'"}},
         true, false, nullptr},
    };
    return table;
}

const OptionInfo kSourceOptions[] = {
    {"--search", "目录", "搜索这些目录中的文件，可用分号(;)隔开多个目录"},
    {"--mask", "类型", "搜索的文件类型，如 *.txt，可用分号(;)隔开多个文件类型"},
    {"--no-sub", nullptr, "不搜索子目录"},
    {"--size", "最小:最大", "只搜索大小（字节）在两者之间的文件"},
    {"--date", "类型:开始:结束",
     "只搜索日期在两者之间的文件；类型为 modified（修改时间）、created（创建时间）或 "
     "accessed（最后访问时间），日期如 2024-05-31"},
};
const OptionInfo kEncodingOption = {
    "--encoding", "auto|gbk",
    "文本编码：auto 按文件自动识别 UTF-8 或 GBK（默认），gbk 按 GBK 读写（Windows 方式）"};
const OptionInfo kBackupOption = {"--no-backup", nullptr,
                                  "不备份目标文件（默认修改前复制为 文件名.bak）"};
const OptionInfo kUndoOption = {"--no-undo", nullptr,
                                "不保留撤销记录（默认与窗口中一样记录，可以在窗口中撤销这次处理）"};
const OptionInfo kRunOptions[] = {
    {"--dry-run", nullptr, "只列出将要处理的文件和结果，不修改任何文件"},
    {"--json", nullptr, "在标准输出上以 JSON 格式列出每个文件的处理结果"},
    {"--help", nullptr, "显示本说明（也可以用 -h）"},
};

const char* const kExitStatus =
    "退出状态：0 所有文件都已处理；1 有文件未处理（原因列在标准错误上；按 Ctrl+C 停止时也是 1，\n"
    "正在处理的文件处理完后停止）；2 设置不正确、找不到文件或用法错误，没有修改任何文件。\n";

// Every operation but the statistics changes files, and is recorded for undo.
bool ChangesFiles(Operation op) { return op != Operation::Statistics; }

void AppendOptions(std::string& out, const OptionInfo* begin, const OptionInfo* end) {
    for (const OptionInfo* o = begin; o != end; ++o) {
        out += "  ";
        out += o->name;
        if (o->value) {
            out += ' ';
            out += o->value;
        }
        out += "\n      ";
        out += o->help;
        out += '\n';
    }
}

std::string OperationHelp(const OperationInfo& entry) {
    std::string h = std::string("用法：ferrovan-batch run ") + entry.name + " [选项] [文件...]\n";
    h += std::string(entry.caption) + "：" + entry.summary + "\n";
    if (entry.files) h += std::string("（") + entry.files + "）\n";
    if (!entry.options.empty()) {
        h += "\n选项：\n";
        AppendOptions(h, entry.options.data(), entry.options.data() + entry.options.size());
    }
    h += "\n文件：在命令行列出文件，或者搜索（与窗口中的“搜索文件”相同），或者两者都用"
         "（先搜索到的文件）：\n";
    AppendOptions(h, std::begin(kSourceOptions), std::end(kSourceOptions));
    h += "\n其他选项：\n";
    if (entry.textFiles) AppendOptions(h, &kEncodingOption, &kEncodingOption + 1);
    if (entry.backup) AppendOptions(h, &kBackupOption, &kBackupOption + 1);
    if (ChangesFiles(entry.op)) AppendOptions(h, &kUndoOption, &kUndoOption + 1);
    AppendOptions(h, std::begin(kRunOptions), std::end(kRunOptions));
    h += "\n";
    h += kExitStatus;
    return FromUtf8(h);
}

std::string RunHelp() {
    std::string h =
        "用法：ferrovan-batch run 处理方式 [选项] [文件...]\n"
        "不打开窗口，对命令行列出的文件或搜索到的文件进行批处理，与窗口中的处理完全相同。\n"
        "\n处理方式：\n";
    h += ToUtf8(OperationListText());
    h += "\n每种处理方式的选项：ferrovan-batch run 处理方式 --help\n"
         "例：\n"
         "  ferrovan-batch run rename --pattern 'img_${Sn(1,3)}' a.jpg b.jpg\n"
         "  ferrovan-batch run delete-lines --keywords 'ERR;WARN' --no-backup --search /data "
         "--mask '*.log'\n"
         "  ferrovan-batch run convert --format '${CsvTo(xls)}' x.csv\n"
         "\n";
    h += kExitStatus;
    return FromUtf8(h);
}

const OperationInfo* FindOperation(std::string_view name) {
    for (const OperationInfo& entry : Operations())
        if (name == entry.name) return &entry;
    return nullptr;
}

// A refusal: the message, GBK.
struct Refusal {
    std::string text;
};

// The options given, by name; a later value of an option replaces an
// earlier one, except for --search and --mask, whose values add up.
class Options {
public:
    bool Has(const char* name) const { return values_.count(name) > 0; }
    std::string Value(const char* name, const char* otherwise = "") const {
        const auto it = values_.find(name);
        return it == values_.end() ? std::string(otherwise) : it->second;
    }
    void Set(const std::string& name, std::string value) {
        auto [it, added] = values_.emplace(name, value);
        if (added) return;
        if (name == "--search" || name == "--mask") it->second += ";" + value;
        else it->second = std::move(value);
    }
    // At most one of the names; the one given, or null.
    const char* OneOf(std::initializer_list<const char*> names) const {
        const char* given = nullptr;
        for (const char* n : names) {
            if (!Has(n)) continue;
            if (given)
                throw Refusal{FromUtf8(std::string(given) + " 与 " + n + " 不能同时使用")};
            given = n;
        }
        return given;
    }

private:
    std::map<std::string, std::string> values_;
};

// Lines of a multi-line field are joined by CR LF, as the window's memos
// join them.
std::string MemoText(std::string_view typed) {
    std::string out;
    out.reserve(typed.size());
    for (std::size_t i = 0; i < typed.size(); ++i) {
        if (typed[i] == '\n' && (i == 0 || typed[i - 1] != '\r')) out += '\r';
        out += typed[i];
    }
    return out;
}

bool ReadDate(std::string_view text, CalendarDate& date) {
    const std::string t = Trim(text);
    int32_t y = 0, m = 0, d = 0;
    const std::size_t a = t.find('-'), b = t.find('-', a == std::string::npos ? a : a + 1);
    if (a == std::string::npos || b == std::string::npos || !TryStrToInt(t.substr(0, a), y) ||
        !TryStrToInt(t.substr(a + 1, b - a - 1), m) || !TryStrToInt(t.substr(b + 1), d))
        return false;
    if (y < 1601 || y > 9999 || m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m)) return false;
    date = CalendarDate{y, m, d};
    return true;
}

CalendarDate DateOption(const Options& o, const char* name) {
    CalendarDate date;
    if (!ReadDate(o.Value(name), date))
        throw Refusal{FromUtf8("日期不正确：") + o.Value(name) +
                      FromUtf8("（格式为 年-月-日，如 2024-05-31）")};
    return date;
}

TimeOfDay TimeOption(const Options& o, const char* name) {
    const std::string text = Trim(o.Value(name));
    int32_t part[3] = {0, 0, 0};
    std::size_t start = 0;
    int count = 0;
    bool ok = true;
    while (ok && count < 3) {
        const std::size_t colon = text.find(':', start);
        ok = TryStrToInt(text.substr(start, colon - start), part[count++]);
        if (colon == std::string::npos) break;
        start = colon + 1;
        ok = ok && count < 3;
    }
    ok = ok && count >= 2 && part[0] >= 0 && part[0] < 24 && part[1] >= 0 && part[1] < 60 &&
         part[2] >= 0 && part[2] < 60;
    if (!ok)
        throw Refusal{FromUtf8("时刻不正确：") + o.Value(name) +
                      FromUtf8("（格式为 时:分:秒，如 17:30:00）")};
    return TimeOfDay{part[0], part[1], part[2], 0};
}

// "N:M": the period and the position in it (1 when left out).
LineNumberFields IntervalFields(const Options& o, LineNumberFields fields) {
    if (!o.Has("--interval")) return fields;
    const std::string v = o.Value("--interval");
    const std::size_t colon = v.find(':');
    fields.period = v.substr(0, colon);
    fields.position = colon == std::string::npos ? "1" : v.substr(colon + 1);
    return fields;
}

LineChoice TemplateLines(const Options& o, std::string& keyword) {
    const char* mode = o.OneOf({"--all-lines", "--text-lines", "--line-number", "--keyword"});
    keyword = o.Value("--keyword");
    if (!mode || std::string_view(mode) == "--text-lines") return LineChoice::TextLines;
    if (std::string_view(mode) == "--all-lines") return LineChoice::AllLines;
    if (std::string_view(mode) == "--keyword") return LineChoice::Keyword;
    return LineChoice::LineNumber;
}

void Refuse(const std::string& gbk) { throw Refusal{gbk}; }

// The settings of one operation from its options, refused as its page
// refuses them.
void ReadSettings(Operation op, const Options& o, CliRequest& r) {
    switch (op) {
        case Operation::Extension:
            r.extensionPattern = o.Value("--extension");
            if (NormalizeExtensionPattern(r.extensionPattern).empty())
                Refuse(FromUtf8("请输入新扩展名格式！"));
            break;
        case Operation::Rename: {
            r.renamePattern = o.Value("--pattern");
            const auto problem = CheckRenamePattern(NormalizeRenamePattern(r.renamePattern));
            if (problem != RenamePatternProblem::None) Refuse(ProblemText(problem));
            // A sequence number that is not a number is refused before any
            // file is touched.
            RenameRule check(r.renamePattern, ProgramDir());
            break;
        }
        case Operation::Dates: {
            DateSettings& s = r.dates;
            s.setModified = o.Has("--modified");
            s.setCreated = o.Has("--created");
            s.setAccessed = o.Has("--accessed");
            s.useTime = o.Has("--time");
            s.foldersToo = o.Has("--folders");
            if (!s.AnyChosen()) Refuse(FromUtf8("请选择新的日期或时间！"));
            if (s.setModified) s.modified = DateOption(o, "--modified");
            if (s.setCreated) s.created = DateOption(o, "--created");
            if (s.setAccessed) s.accessed = DateOption(o, "--accessed");
            if (s.useTime) s.time = TimeOption(o, "--time");
            break;
        }
        case Operation::Attributes: {
            AttributeSettings& s = r.attributes;
            s.archive = !o.Has("--no-archive");
            s.system = o.Has("--system");
            s.readOnly = o.Has("--read-only");
            s.hidden = o.Has("--hidden");
            s.foldersToo = o.Has("--folders");
            if (s.Value() == 0) Refuse(FromUtf8("请选择新的属性！"));
            break;
        }
        case Operation::Statistics:
        case Operation::KeyMerge:
        case Operation::Combine:
            break;
        case Operation::Cut: {
            LineCutSettings& s = r.cut;
            s.format = Trim(o.Value("--format"));
            s.choice = TemplateLines(o, s.keyword);
            if (const auto problem = CheckLineCutSettings(s); problem != LineCutProblem::None)
                Refuse(ProblemText(problem));
            s.keepCut = !o.Has("--keep-rest");
            s.lineNumber = std::max(1, ReadLineNumberField(o.Value("--line-number", "1")));
            break;
        }
        case Operation::Insert: {
            LineInsertSettings& s = r.insert;
            s.format = Trim(o.Value("--format"));
            s.choice = TemplateLines(o, s.keyword);
            if (const auto problem = CheckLineInsertSettings(s); problem != LineInsertProblem::None)
                Refuse(ProblemText(problem));
            s.lineNumber = std::max(1, ReadLineNumberField(o.Value("--line-number", "1")));
            s.sequence = FindSequenceItem(s.format);
            break;
        }
        case Operation::Pattern: {
            PatternReplaceSettings& s = r.pattern;
            s.pattern = MemoText(o.Value("--pattern"));
            if (s.pattern.empty()) Refuse(FromUtf8("模式格式为空,请输入后再试!"));
            s.prefix = Trim(o.Value("--prefix", "$"));
            s.count = ReadCountField(o.Value("--count", "3"));
            break;
        }
        case Operation::DeleteLines: {
            const char* mode =
                o.OneOf({"--line-number", "--interval", "--keywords", "--blank-lines"});
            if (!mode)
                Refuse(FromUtf8("请选择删除方式：--line-number、--interval、--keywords 或 "
                                "--blank-lines"));
            const std::string_view m = mode;
            const LineDeleteMode which = m == "--interval"   ? LineDeleteMode::Interval
                                         : m == "--keywords" ? LineDeleteMode::Keywords
                                         : m == "--blank-lines" ? LineDeleteMode::BlankLines
                                                                : LineDeleteMode::LineNumber;
            LineNumberFields fields;
            fields.lineNumber = o.Value("--line-number", "1");
            const auto problem = ReadLineDeleteSettings(which, o.Value("--keywords"),
                                                        IntervalFields(o, fields), r.deleteLines);
            if (problem != LineDeleteProblem::None) Refuse(ProblemText(problem));
            break;
        }
        case Operation::ExtractLines: {
            const char* mode = o.OneOf({"--line-number", "--interval", "--keywords"});
            if (!mode)
                Refuse(FromUtf8("请选择提取方式：--line-number、--interval 或 --keywords"));
            const std::string_view m = mode;
            const LineExtractMode which = m == "--interval"   ? LineExtractMode::Interval
                                          : m == "--keywords" ? LineExtractMode::Keywords
                                                              : LineExtractMode::LineNumber;
            LineNumberFields fields;
            fields.lineNumber = o.Value("--line-number", "1");
            r.extractLines.keepBlank = !o.Has("--no-blank-lines");
            const auto problem = ReadLineExtractSettings(which, o.Value("--keywords"),
                                                         IntervalFields(o, fields), r.extractLines);
            if (problem != LineExtractProblem::None) Refuse(ProblemText(problem));
            break;
        }
        case Operation::LineSync: {
            const std::string keys = o.Value("--keywords");
            if (keys.empty()) Refuse(FromUtf8("关键字为空,请输入后再试!"));
            r.syncKeywords = SplitKeywords(keys);
            break;
        }
        case Operation::NewLines: {
            const char* mode = o.OneOf({"--line-number", "--interval", "--keywords"});
            const std::string_view m = mode ? mode : "";
            const NewLineMode which = m == "--interval"   ? NewLineMode::kInterval
                                      : m == "--keywords" ? NewLineMode::kKeywords
                                                          : NewLineMode::kAtLine;
            r.newLinesText = MemoText(o.Value("--text"));
            LineNumberFields fields;
            fields.lineNumber = o.Value("--line-number", "0");
            const auto problem = ReadNewLinesSettings(r.newLinesText, which, o.Value("--keywords"),
                                                      IntervalFields(o, fields), r.newLines);
            if (problem != NewLinesProblem::None) Refuse(ProblemText(problem));
            NewLineBlock::Parse(r.newLinesText);  // a ${LineStr(n)} that is not a number
            break;
        }
        case Operation::Convert:
            r.convertFormat = o.Value("--format");
            r.convertAllSheets = o.Has("--all-sheets");
            if (const auto problem = CheckConvertFormat(r.convertFormat);
                problem != ConvertFormatProblem::None)
                Refuse(ProblemText(problem));
            break;
    }
}

void ReadSource(const Options& o, FileSource& source) {
    if (!o.Has("--search")) {
        for (const char* name : {"--mask", "--no-sub", "--size", "--date"})
            if (o.Has(name)) Refuse(FromUtf8(std::string(name) + " 需要与 --search 一起使用"));
        return;
    }
    source.folders = o.Value("--search");
    source.masks = Trim(o.Value("--mask"));
    if (source.masks.empty()) Refuse(FromUtf8("文件类型为空,请设置好后再试！"));
    source.subfolders = !o.Has("--no-sub");
    if (o.Has("--size")) {
        const std::string v = o.Value("--size");
        const std::size_t colon = v.find(':');
        if (colon == std::string::npos)
            Refuse(FromUtf8("文件大小不正确：") + v + FromUtf8("（格式为 最小:最大，如 0:50000）"));
        source.sizeFilter = true;
        source.minSize = SizeBoundValue(v.substr(0, colon));
        source.maxSize = SizeBoundValue(v.substr(colon + 1));
    }
    if (o.Has("--date")) {
        const std::string v = o.Value("--date");
        const std::size_t a = v.find(':'), b = a == std::string::npos ? a : v.find(':', a + 1);
        CalendarDate from, to;
        if (b == std::string::npos || !ReadDate(v.substr(a + 1, b - a - 1), from) ||
            !ReadDate(v.substr(b + 1), to))
            Refuse(FromUtf8("文件日期不正确：") + v +
                   FromUtf8("（格式为 类型:开始:结束，如 modified:2024-05-01:2024-05-31）"));
        const std::string type = v.substr(0, a);
        if (type == "modified") source.dateType = SearchDate::LastWrite;
        else if (type == "created") source.dateType = SearchDate::Creation;
        else if (type == "accessed") source.dateType = SearchDate::LastAccess;
        else
            Refuse(FromUtf8("日期类型不正确：") + type +
                   FromUtf8("（可以是 modified、created 或 accessed）"));
        source.dateFilter = true;
        source.minDay = DaysFromCivil(from.year, from.month, from.day);
        source.maxDay = DaysFromCivil(to.year, to.month, to.day);
    }
}

bool TakesValue(const OperationInfo& entry, std::string_view name, bool& known) {
    known = true;
    for (const OptionInfo& o : entry.options)
        if (name == o.name) return o.value != nullptr;
    for (const OptionInfo& o : kSourceOptions)
        if (name == o.name) return o.value != nullptr;
    if (entry.textFiles && name == kEncodingOption.name) return true;
    if (entry.backup && name == kBackupOption.name) return false;
    if (ChangesFiles(entry.op) && name == kUndoOption.name) return false;
    for (const OptionInfo& o : kRunOptions)
        if (name == o.name) return false;
    known = false;
    return false;
}

}  // namespace

const char* OperationName(Operation op) {
    for (const OperationInfo& entry : Operations())
        if (entry.op == op) return entry.name;
    return "";
}

const char* OperationCaption(Operation op) {
    for (const OperationInfo& entry : Operations())
        if (entry.op == op) return entry.caption;
    return "";
}

std::string OperationListText() {
    std::string list;
    for (const OperationInfo& entry : Operations()) {
        std::string name = entry.name;
        name.resize(16, ' ');
        list += "  " + name + entry.caption + "\n";
    }
    return FromUtf8(list);
}

ParseResult ParseArgs(const std::vector<std::string>& args) {
    ParseResult result;
    if (args.empty()) {
        result.text = FromUtf8("请指定处理方式（ferrovan-batch run --help 列出所有处理方式）");
        return result;
    }
    if (args[0] == "--help" || args[0] == "-h") {
        result.status = ParseResult::Help;
        result.text = RunHelp();
        return result;
    }
    const OperationInfo* entry = FindOperation(args[0]);
    if (!entry) {
        result.text = FromUtf8("未知的处理方式：") + args[0] +
                      FromUtf8("（ferrovan-batch run --help 列出所有处理方式）");
        return result;
    }
    CliRequest& r = result.request;
    r.operation = entry->op;
    try {
        Options options;
        bool filesOnly = false;
        for (std::size_t i = 1; i < args.size(); ++i) {
            const std::string& a = args[i];
            if (filesOnly || a.size() < 2 || a[0] != '-') {
                r.source.files.push_back(a);
                continue;
            }
            if (a == "--") {
                filesOnly = true;
                continue;
            }
            if (a == "-h" || a == "--help") {
                result.status = ParseResult::Help;
                result.text = OperationHelp(*entry);
                return result;
            }
            const std::size_t eq = a.find('=');
            const std::string name = a.substr(0, eq);
            bool known = false;
            const bool takesValue = TakesValue(*entry, name, known);
            if (!known)
                Refuse(FromUtf8("未知的选项：") + name + FromUtf8("（ferrovan-batch run ") +
                       entry->name + FromUtf8(" --help 列出可用的选项）"));
            if (!takesValue) {
                if (eq != std::string::npos) Refuse(FromUtf8("选项 " + name + " 不带值"));
                options.Set(name, std::string());
            } else if (eq != std::string::npos) {
                options.Set(name, a.substr(eq + 1));
            } else if (i + 1 < args.size()) {
                options.Set(name, args[++i]);
            } else {
                Refuse(FromUtf8("选项 " + name + " 需要一个值"));
            }
        }
        r.dryRun = options.Has("--dry-run");
        r.json = options.Has("--json");
        r.backup = !options.Has("--no-backup");
        r.undo = !options.Has("--no-undo");
        if (options.Has("--encoding")) {
            const std::string e = AnsiLower(Trim(options.Value("--encoding")));
            if (e == "gbk") r.textMode = TextMode::ClassicGbk;
            else if (e != "auto")
                Refuse(FromUtf8("文本编码不正确：") + options.Value("--encoding") +
                       FromUtf8("（可以是 auto 或 gbk）"));
        }
        ReadSource(options, r.source);
        if (r.source.files.empty() && r.source.folders.empty())
            Refuse(FromUtf8("没有指定文件：请在命令行列出文件，或用 --search 和 --mask 搜索"));
        ReadSettings(entry->op, options, r);
    } catch (const Refusal& refusal) {
        result.text = refusal.text;
        return result;
    } catch (const Error& e) {
        // A number that is not a number: the conversion error, as the
        // window shows it.
        result.text = e.what();
        return result;
    }
    result.status = ParseResult::Run;
    return result;
}

}  // namespace ferro::cli
