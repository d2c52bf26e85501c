#include "cli/help.h"

#include "cli/options.h"
#include "cli/text.h"
#include "ops/registry.h"

namespace ferro::cli {

namespace {

const char* const kExitStatus =
    "退出状态：0 所有文件都已处理；1 有文件未处理（原因列在标准错误上；按 Ctrl+C 停止时也是 1，\n"
    "正在处理的文件处理完后停止）；2 设置不正确、找不到文件或用法错误，没有修改任何文件。\n"
    "试运行（--dry-run）的退出状态与真正处理时相同。\n";

void AppendOption(std::string& out, const ops::Option& o) {
    out += "  ";
    out += o.name;
    if (o.value) {
        out += ' ';
        out += o.value;
    }
    out += "\n      ";
    out += o.help;
    out += '\n';
}

// The options of the operation's fields, in the table's order: its own
// (shared = false) or those listed with the other options.
std::string FieldOptions(const ops::Operation& op, bool shared) {
    std::string out;
    for (const ops::Field& f : op.fields())
        for (const ops::Option& o : f.options)
            if (o.shared == shared) AppendOption(out, o);
    return out;
}

}  // namespace

std::string OperationHelp(const ops::Operation& op) {
    const ops::OperationInfo& info = op.info();
    std::string h = std::string("用法：ferrovan-batch run ") + info.name + " [选项] [文件...]\n";
    h += std::string(info.caption) + "：" + info.summary + "\n";
    if (info.filesNote) h += std::string("（") + info.filesNote + "）\n";
    if (const std::string own = FieldOptions(op, false); !own.empty()) h += "\n选项：\n" + own;
    h += "\n文件：在命令行列出文件，或者搜索（与窗口中的“搜索文件”相同），或者两者都用"
         "（先搜索到的文件）：\n";
    for (const ops::Option& o : SourceOptions()) AppendOption(h, o);
    h += "\n其他选项：\n";
    if (info.textFiles) AppendOption(h, EncodingOption());
    h += FieldOptions(op, true);
    if (info.changesFiles) AppendOption(h, UndoOption());
    for (const ops::Option& o : RunOptions()) AppendOption(h, o);
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

std::string OperationListText() {
    std::string list;
    for (const ops::Operation* op : ops::Operations()) {
        std::string name = op->info().name;
        name.resize(16, ' ');
        list += "  " + name + op->info().caption + "\n";
    }
    return FromUtf8(list);
}

}  // namespace ferro::cli
