#include "ops/units.h"

#include "template/template.h"

namespace ferro::ops {

Field RegexField() {
    return {.name = "regex",
            .kind = FieldKind::Flag,
            .fallback = "0",
            .caption = "正则表达式",
            .options = {{.name = "--regex",
                         .help = "关键字作为正则表达式（每个关键字一个，任一匹配即算；含空格的写在双引号中或用 \\s）",
                         .sets = "1"}}};
}

std::optional<Refusal> ReadKeywordPatterns(const FieldValues& values, const std::vector<std::string>& keywords,
                                           RegexFlags flags, std::optional<KeywordPatterns>& patterns) {
    patterns.reset();
    if (!values.Flag("regex")) return std::nullopt;
    std::string problem;
    patterns = KeywordPatterns::Compile(keywords, flags, problem);
    if (!patterns) return Refuse(std::move(problem), "keywords");
    return std::nullopt;
}

std::optional<Refusal> CheckTemplatePatternsOf(const FieldValues& values, const char* field) {
    std::string problem;
    if (CheckTemplatePatterns(values.Text(field), problem)) return std::nullopt;
    return Refuse(std::move(problem), field);
}

Field BackupField() {
    return {.name = "backup",
            .kind = FieldKind::Flag,
            .fallback = "1",
            .caption = "备份目标文件(.bak),覆盖同名文件",
            .options = {{.name = "--no-backup",
                         .help = "不备份目标文件（默认修改前复制为 文件名.bak）",
                         .sets = "0",
                         .shared = true}}};
}

std::vector<Field> NameCaseFields(const char* names) {
    return {
        {.name = "letterCase",
         .kind = FieldKind::Choice,
         .fallback = "keep",
         .caption = "大小写",
         .choices = {{"keep", "不变"}, {"lower", "全部小写"}, {"upper", "全部大写"}, {"title", "每个词首字母大写"}},
         .options = {{.name = "--case",
                      .value = "lower|upper|title",
                      .help = names}}},
        {.name = "keepCase",
         .kind = FieldKind::Flag,
         .fallback = "0",
         .caption = "保留格式中的大小写",
         .options = {{.name = "--keep-case",
                      .help = "保留格式中字母的大小写（不加时格式中的字母都变成小写）",
                      .sets = "1"}}},
        {.name = "onClash",
         .kind = FieldKind::Choice,
         .fallback = "skip",
         .caption = "重名时",
         .choices = {{"skip", "跳过"}, {"number", "加序号"}},
         .options = {{.name = "--on-clash",
                      .value = "skip|number",
                      .help = "新名称已被别的文件占用时：skip 跳过（默认），number 加序号，如 报告 (2).txt"}}},
    };
}

LetterCase LetterCaseOf(const FieldValues& values) {
    if (values.Is("letterCase", "lower")) return LetterCase::Lower;
    if (values.Is("letterCase", "upper")) return LetterCase::Upper;
    if (values.Is("letterCase", "title")) return LetterCase::Title;
    return LetterCase::Keep;
}

std::vector<Field> TemplateLineFields(const char* all, const char* text, const char* number,
                                      const char* keyword) {
    return {
        {.name = "lines",
         .kind = FieldKind::Choice,
         .fallback = "text",
         .caption = "行设置",
         .choices = {{"all", all}, {"text", text}, {"number", number}, {"keyword", keyword}},
         .options = {{.name = "--all-lines", .help = "所有行（窗口中的“所有行”）", .sets = "all"},
                     {.name = "--text-lines", .help = "有文字的行，空行不处理（默认）", .sets = "text"}}},
        {.name = "lineNumber",
         .kind = FieldKind::Number,
         .fallback = "1",
         .caption = number,
         .options = {{.name = "--line-number",
                      .value = "行号",
                      .help = "只处理这一行；大于行数时为最后一行",
                      .alsoField = "lines",
                      .alsoValue = "number"}}},
        {.name = "keyword",
         .kind = FieldKind::Text,
         .caption = keyword,
         .options = {{.name = "--keyword",
                      .value = "关键字",
                      .help = "只处理含有这个关键字的行（整个作为一个关键字，区分大小写）",
                      .alsoField = "lines",
                      .alsoValue = "keyword"}}},
    };
}

LineChoice TemplateLineChoice(const FieldValues& values) {
    const std::string& lines = values.Text("lines");
    if (lines == "all") return LineChoice::AllLines;
    if (lines == "number") return LineChoice::LineNumber;
    if (lines == "keyword") return LineChoice::Keyword;
    return LineChoice::TextLines;
}

LineNumberFields NumberFields(const FieldValues& values) {
    return {values.Text("lineNumber"), values.Text("period"), values.Text("position")};
}

}  // namespace ferro::ops
