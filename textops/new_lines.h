// Inserting a block of text into a file: once at a line number, before
// every line at a regular interval, or before every line holding a keyword.
// The block may take a line of the file through three items of its own,
// ${LineStr(n)}, ${LineStr2(s)} and ${LineRandStr()}, and knows the escapes
// \t, \r and \n. Other ${...} text is inserted as typed.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "textops/lines.h"
#include "textops/text_batch.h"

namespace ferro {

enum class NewLineMode { kAtLine, kInterval, kKeywords };

struct NewLinesSettings {
    NewLineMode mode = NewLineMode::kAtLine;
    int lineNo = 0;    // insert after this many lines; at least 0
    int period = 2;    // every period lines (interval mode); at least 1 there
    int position = 1;  // before the lines numbered position mod period
    std::vector<std::string> keywords;
};

// The settings from the numbers as typed: a line number below 0 acts as 0; a
// position below 1 acts as 1, and one not below the period as 0, which
// inserts before lines P, 2P, 3P... The period is taken as it is: the page
// refuses a period below 1 in interval mode.
NewLinesSettings MakeNewLinesSettings(NewLineMode mode, int lineNo, int period, int position,
                                      std::vector<std::string> keywords);

// The block, parsed once per run.
class NewLineBlock {
public:
    // Items are recognised in any letter case, each name at its first
    // occurrence, running to the first "}" after it; every occurrence of an
    // item's text (any case) is then that item. Escapes (any case) are
    // applied to the text around the items. Throws the conversion error
    // "'%s' is not a valid integer value" for a ${LineStr(n)} argument that
    // is not a whole number.
    static NewLineBlock Parse(std::string_view text);

    // The block for one file: ${LineStr(n)} becomes line n when the file has
    // it; ${LineRandStr()} a line drawn at random (one draw per file, from
    // the program's generator); ${LineStr2(s)} the first line holding s
    // (case-sensitive). An item without its line stays as typed. Window
    // messages are processed before each line searched for s.
    std::string ForFile(const LineList& lines) const;

    int lineNo() const { return lineNo_; }
    const std::string& keyword() const { return keyword_; }
    bool random() const { return random_; }

private:
    enum class Kind { kText, kLineNo, kKeyword, kRandom };
    struct Piece {
        Kind kind;
        std::string text;  // the literal text, or the item as typed
    };
    std::vector<Piece> pieces_;
    int lineNo_ = 0;
    std::string keyword_;
    bool random_ = false;
};

// The file's lines with the block inserted by the settings' mode; the block
// is one entry of out (it may hold line breaks). Window messages are
// processed before each line in interval and keyword modes.
void InsertNewLines(const NewLinesSettings& settings, std::string_view block, const LineList& in,
                    LineSink& out);

// The operation of a run: each file gets the block made for it, inserted by
// the settings' mode.
LineOperation NewLinesOperation(const NewLinesSettings& settings,
                                std::shared_ptr<const NewLineBlock> block);

}  // namespace ferro
