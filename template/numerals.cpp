// ConvertChineseNumerals: a character-by-character substitution, not a
// reading of the numeral's value, so that digits keep their places in names
// such as 第二十三章 -> 第23章.
#include <array>
#include <utility>

#include "platform/codec.h"
#include "template/arithmetic.h"
#include "template/template.h"

namespace ferro {
namespace {

// Applied in this order. The multipliers go first and vanish, so 二十三
// becomes 23 (and 二十 becomes 2: the substitution never adds a digit).
constexpr std::array<std::pair<const char16_t*, const char*>, 26> kNumerals = {{
    {u"十", ""},  {u"百", ""},  {u"千", ""},  {u"万", ""},  {u"亿", ""},  {u"兆", ""},
    {u"拾", ""},  {u"一", "1"}, {u"二", "2"}, {u"三", "3"}, {u"四", "4"}, {u"五", "5"},
    {u"六", "6"}, {u"七", "7"}, {u"八", "8"}, {u"九", "9"}, {u"零", "0"}, {u"壹", "1"},
    {u"贰", "2"}, {u"叁", "3"}, {u"肆", "4"}, {u"伍", "5"}, {u"陆", "6"}, {u"柒", "7"},
    {u"捌", "8"}, {u"玖", "9"},
}};

const std::array<std::string, kNumerals.size()>& NumeralsGbk() {
    static const auto table = [] {
        std::array<std::string, kNumerals.size()> t;
        for (std::size_t i = 0; i < kNumerals.size(); ++i) t[i] = Utf16ToGbk(kNumerals[i].first);
        return t;
    }();
    return table;
}

}  // namespace

std::string ConvertChineseNumerals(std::string_view text) {
    std::string out(text);
    const auto& gbk = NumeralsGbk();
    for (std::size_t i = 0; i < kNumerals.size(); ++i) {
        // Most texts hold few numerals; a plain search skips the rest cheaply.
        if (out.find(gbk[i]) == std::string::npos) continue;
        ReplaceAllInPlace(out, gbk[i], kNumerals[i].second);
    }
    return out;
}

}  // namespace ferro
