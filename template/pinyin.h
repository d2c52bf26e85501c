// Chinese names in pinyin, as a name can hold them: toneless, in ASCII.
// Each Han character is read through ICU's Han-Latin transliteration (one
// reading per character, as ICU chooses); every other character stays.
#pragma once

#include <string>
#include <string_view>

namespace ferro {

enum class PinyinForm {
    Joined,    // 张三 -> zhangsan
    Initials,  // 张三 -> zs
    Spaced,    // 张三 -> zhang san
};

// GBK in, GBK (ASCII for the syllables) out.
std::string ToPinyin(std::string_view gbk, PinyinForm form);

}  // namespace ferro
