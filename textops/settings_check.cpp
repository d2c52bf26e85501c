#include "textops/settings_check.h"

#include <algorithm>

#include "platform/codec.h"
#include "textops/keywords.h"
#include "textops/textfile.h"

namespace ferro {

namespace {

template <class Problem>
Problem CheckTemplate(std::string_view format, LineChoice choice, std::string_view keyword) {
    if (format.empty()) return Problem::NoFormat;
    if (format.find("${") == std::string_view::npos) return Problem::NoVariable;
    if (keyword.empty() && choice == LineChoice::Keyword) return Problem::NoKeyword;
    return Problem::None;
}

bool HasUsableKeyword(const std::vector<std::string>& keywords) {
    return std::any_of(keywords.begin(), keywords.end(),
                       [](const std::string& k) { return !k.empty(); });
}

// The line number (at least 1) and the interval of the line delete and
// line extract; false when interval mode has a period below 1.
bool ReadNumbers(const LineNumberFields& fields, bool intervalMode, int& lineNumber,
                 LineInterval& interval) {
    lineNumber = std::max(1, ReadLineNumberField(fields.lineNumber));
    const int period = ReadNumberField(fields.period);
    const int position = ReadLineNumberField(fields.position);
    if (intervalMode && period < 1) return false;
    interval = LineInterval::Make(period, position);
    return true;
}

template <class Problem, class Settings>
Problem ReadLineSelection(bool keywordMode, bool intervalMode, std::string_view keywords,
                          const LineNumberFields& numbers, Settings& out) {
    out.keywords = SplitKeywords(keywords);
    if (keywordMode && !HasUsableKeyword(out.keywords)) return Problem::NoKeyword;
    if (!ReadNumbers(numbers, intervalMode, out.lineNumber, out.interval))
        return Problem::PeriodBelowOne;
    return Problem::None;
}

const char16_t* const kPeriodBelowOne = u"间隔行数必须大于0,请重新输入!";

}  // namespace

LineCutProblem CheckLineCutSettings(const LineCutSettings& s) {
    return CheckTemplate<LineCutProblem>(s.format, s.choice, s.keyword);
}

LineInsertProblem CheckLineInsertSettings(const LineInsertSettings& s) {
    return CheckTemplate<LineInsertProblem>(s.format, s.choice, s.keyword);
}

std::string ProblemText(LineCutProblem problem) {
    switch (problem) {
        case LineCutProblem::NoFormat: return Utf16ToGbk(u"请输入内容截取格式！");
        case LineCutProblem::NoVariable:
            return Utf16ToGbk(u"内容截取格式不正确，请在左边选择变量或函数！");
        case LineCutProblem::NoKeyword: return Utf16ToGbk(u"关键字不能为空，请输入后再试！");
        case LineCutProblem::None: break;
    }
    return {};
}

std::string ProblemText(LineInsertProblem problem) {
    switch (problem) {
        case LineInsertProblem::NoFormat: return Utf16ToGbk(u"请输入内容插入格式！");
        case LineInsertProblem::NoVariable:
            return Utf16ToGbk(u"内容插入格式不正确，请在左边选择变量或函数！");
        case LineInsertProblem::NoKeyword: return Utf16ToGbk(u"关键字不能为空，请输入后再试！");
        case LineInsertProblem::None: break;
    }
    return {};
}

LineDeleteProblem ReadLineDeleteSettings(LineDeleteMode mode, std::string_view keywords,
                                         const LineNumberFields& numbers, LineDeleteSettings& out) {
    out.mode = mode;
    return ReadLineSelection<LineDeleteProblem>(mode == LineDeleteMode::Keywords,
                                                mode == LineDeleteMode::Interval, keywords,
                                                numbers, out);
}

LineExtractProblem ReadLineExtractSettings(LineExtractMode mode, std::string_view keywords,
                                           const LineNumberFields& numbers,
                                           LineExtractSettings& out) {
    out.mode = mode;
    return ReadLineSelection<LineExtractProblem>(mode == LineExtractMode::Keywords,
                                                 mode == LineExtractMode::Interval, keywords,
                                                 numbers, out);
}

std::string ProblemText(LineDeleteProblem problem) {
    switch (problem) {
        case LineDeleteProblem::NoKeyword: return Utf16ToGbk(u"删除关键字为空,请输入后再试!");
        case LineDeleteProblem::PeriodBelowOne: return Utf16ToGbk(kPeriodBelowOne);
        case LineDeleteProblem::None: break;
    }
    return {};
}

std::string ProblemText(LineExtractProblem problem) {
    switch (problem) {
        case LineExtractProblem::NoKeyword: return Utf16ToGbk(u"提取关键字为空,请输入后再试!");
        case LineExtractProblem::PeriodBelowOne: return Utf16ToGbk(kPeriodBelowOne);
        case LineExtractProblem::None: break;
    }
    return {};
}

NewLinesProblem ReadNewLinesSettings(std::string_view text, NewLineMode mode,
                                     std::string_view keywords, const LineNumberFields& numbers,
                                     NewLinesSettings& out) {
    if (text.empty()) return NewLinesProblem::NoText;
    if (mode == NewLineMode::kKeywords && keywords.empty()) return NewLinesProblem::NoKeyword;
    const int lineNo = ReadLineNumberField(numbers.lineNumber);
    const int period = ReadNumberField(numbers.period);
    const int position = ReadLineNumberField(numbers.position);
    if (mode == NewLineMode::kInterval && period < 1) return NewLinesProblem::PeriodBelowOne;
    out = MakeNewLinesSettings(mode, lineNo, period, position, SplitKeywords(keywords));
    return NewLinesProblem::None;
}

std::string ProblemText(NewLinesProblem problem) {
    switch (problem) {
        case NewLinesProblem::NoText: return Utf16ToGbk(u"要插入的文字内容不能为空,请输入后再试!");
        case NewLinesProblem::NoKeyword: return Utf16ToGbk(u"插入行关键字为空,请输入后再试!");
        case NewLinesProblem::PeriodBelowOne: return Utf16ToGbk(kPeriodBelowOne);
        case NewLinesProblem::None: break;
    }
    return {};
}

}  // namespace ferro
