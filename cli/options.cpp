#include "cli/options.h"

namespace ferro::cli {

namespace {

const ops::Option kSourceOptions[] = {
    {.name = "--search", .value = "目录", .help = "搜索这些目录中的文件，可用分号(;)隔开多个目录"},
    {.name = "--mask", .value = "类型", .help = "搜索的文件类型，如 *.txt，可用分号(;)隔开多个文件类型"},
    {.name = "--no-sub", .help = "不搜索子目录"},
    {.name = "--size", .value = "最小:最大", .help = "只搜索大小（字节）在两者之间的文件"},
    {.name = "--date",
     .value = "类型:开始:结束",
     .help = "只搜索日期在两者之间的文件；类型为 modified（修改时间）、created（创建时间）或 "
             "accessed（最后访问时间），日期如 2024-05-31"},
};
const ops::Option kEncodingOption = {
    .name = "--encoding",
    .value = "auto|gbk",
    .help = "文本编码：auto 按文件自动识别 UTF-8 或 GBK（默认），gbk 按 GBK 读写（Windows 方式）"};
const ops::Option kUndoOption = {
    .name = "--no-undo",
    .help = "不保留撤销记录（默认与窗口中一样记录，可以在窗口中撤销这次处理）"};
const ops::Option kRunOptions[] = {
    {.name = "--dry-run", .help = "只列出将要处理的文件和结果，不修改任何文件"},
    {.name = "--json", .help = "在标准输出上以 JSON 格式列出每个文件的处理结果"},
    {.name = "--help", .help = "显示本说明（也可以用 -h）"},
};

}  // namespace

std::span<const ops::Option> SourceOptions() { return kSourceOptions; }
const ops::Option& EncodingOption() { return kEncodingOption; }
const ops::Option& UndoOption() { return kUndoOption; }
std::span<const ops::Option> RunOptions() { return kRunOptions; }

const ops::Option* FindOption(const ops::Operation& op, std::string_view name) {
    for (const ops::Field& f : op.fields())
        for (const ops::Option& o : f.options)
            if (name == o.name) return &o;
    for (const ops::Option& o : kSourceOptions)
        if (name == o.name) return &o;
    if (op.info().textFiles && name == kEncodingOption.name) return &kEncodingOption;
    if (op.info().changesFiles && name == kUndoOption.name) return &kUndoOption;
    for (const ops::Option& o : kRunOptions)
        if (name == o.name) return &o;
    return nullptr;
}

}  // namespace ferro::cli
