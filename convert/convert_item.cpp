#include "convert/convert_item.h"

#include "platform/codec.h"
#include "platform/text.h"

namespace ferro {

ConvertItem ParseConvertItem(std::string_view text) {
    ConvertItem item;
    const std::string f = Trim(text);
    // "${" + G + "}", and G must be "name(arguments)".
    if (f.size() < 3 || f.compare(0, 2, "${") != 0 || f.back() != '}') return item;
    const std::string_view g = std::string_view(f).substr(2, f.size() - 3);
    const std::size_t open = g.find('(');
    if (open == std::string_view::npos || g.back() != ')') return item;
    item.name = AnsiLower(Trim(g.substr(0, open)));
    const std::string_view args = g.substr(open + 1, g.size() - open - 2);
    const std::size_t comma = args.find(',');
    item.argument = std::string(args.substr(0, comma));
    if (comma != std::string_view::npos) {
        for (const std::string& further : SplitFields(args.substr(comma + 1), ",")) {
            const std::string word = AnsiLower(Trim(further));
            if (word == "hidden" || word == Utf16ToGbk(u"隐藏")) item.hiddenSheets = true;
        }
    }
    if (item.name == "xlsto")
        item.kind = ConvertKind::XlsTo;
    else if (item.name == "csvto")
        item.kind = ConvertKind::CsvTo;
    else if (item.name == "txtto")
        item.kind = ConvertKind::TxtTo;
    else if (item.name == "vcfto")
        item.kind = ConvertKind::VcfTo;
    return item;
}

ConvertFormatProblem CheckConvertFormat(std::string_view text) {
    if (text.empty()) return ConvertFormatProblem::Empty;
    if (ParseConvertItem(text).kind == ConvertKind::Unknown) return ConvertFormatProblem::Unknown;
    return ConvertFormatProblem::None;
}

std::string ProblemText(ConvertFormatProblem problem) {
    switch (problem) {
        case ConvertFormatProblem::Empty: return Utf16ToGbk(u"新文件格式为空,请输入后再试!");
        case ConvertFormatProblem::Unknown:
            return Utf16ToGbk(u"新文件格式不正确，请在左边选择转换函数！");
        case ConvertFormatProblem::None: break;
    }
    return {};
}

std::string NormalizeExtension(std::string_view argument) {
    std::string ext = AnsiLower(Trim(argument));
    if (!ext.empty() && ext.front() == '.') ext.erase(0, 1);
    if (ext.find('/') != std::string::npos || ext.find('\\') != std::string::npos) return {};
    return ext;
}

std::string NewFilePath(std::string_view source, std::string_view argument) {
    const std::string ext = NormalizeExtension(argument);
    if (ext.empty()) return {};
    const std::size_t slash = source.rfind('/');
    const std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    const std::size_t dot = source.rfind('.');
    if (dot == std::string_view::npos || dot < nameStart) return std::string(source) + "." + ext;
    return std::string(source.substr(0, dot + 1)) + ext;
}

}  // namespace ferro
