#include "regex/arguments.h"

#include "platform/codec.h"
#include "platform/text.h"

namespace ferro {

namespace {

// Whether c, a unit's second character, loses its backslash.
bool IsArgumentEscape(char c) { return c == ',' || c == '}'; }

}  // namespace

std::size_t FindUnescaped(std::string_view text, char c, std::size_t from) {
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            i += 1 + CharLength(text, i + 1);
            continue;
        }
        if (i >= from && text[i] == c) return i;
        i += CharLength(text, i);
    }
    return std::string_view::npos;
}

std::string UnescapeTemplateArgument(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            const std::size_t len = CharLength(text, i + 1);
            if (!IsArgumentEscape(text[i + 1])) out += '\\';
            out.append(text, i + 1, len);
            i += 1 + len;
            continue;
        }
        const std::size_t len = CharLength(text, i);
        out.append(text, i, len);
        i += len;
    }
    return out;
}

std::string RegexPickerHint() {
    return Utf16ToGbk(
        u"正则表达式：\\0-\\9 为分组；参数中逗号写作 \\,，右花括号写作 \\}，"
        u"如 ${RegGet([0-9]{2\\,4\\},0)}");
}

std::string RegexUsageNotes() {
    return Utf16ToGbk(
        u"正则表达式（${RegRep(模式,替换)}、${RegGet(模式,组)} 和行操作的“正则表达式”选项）：\r\n"
        u"  . 和 [...] 各匹配一个字符，一个汉字算一个字符；GBK、UTF-8、UTF-16 文件结果相同。\r\n"
        u"  \\d 数字，\\w 字母、数字、下划线和汉字，\\s 空白（含全角空格），\\p{Han} 汉字；\r\n"
        u"  ^ 和 $ 是名称或一行的开头和结尾；( ) 分组，| 选择，{n}、{n,m} 重复次数；\r\n"
        u"  (?i) 或“不区分大小写”忽略大小写。\\b 按半角字母和数字判断词边界。\r\n"
        u"  替换中 \\0 是整个匹配，\\1 到 \\9 是各个分组，\\\\ 是一个反斜杠。\r\n"
        u"  写在 ${...} 的参数里时，逗号写作 \\,，右花括号写作 \\}：[0-9]{2,4} 写作 [0-9]{2\\,4\\}；\r\n"
        u"  括号照常书写，\\( 和 \\) 是括号本身。\r\n"
        u"  不支持反向引用和环视（如模式中的 \\1、(?=...)）。任何模式都不会让处理卡住：\r\n"
        u"  匹配所需时间只与文本长度成正比。写错的模式在处理开始前就会提示“正则表达式不正确”。\r\n");
}

}  // namespace ferro
