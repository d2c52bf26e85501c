// The settings of an operation as a table of named fields. Each field says
// what kind of value it holds, its default, what it is in the window's words,
// and the command-line options that set it; the window's page binds a control
// to each field, the command line maps its options onto them, and remembered
// settings (and presets) keep them as text.
//
// A field's value is always text (GBK): a flag is "1" or "0", a choice the
// name of one of its choices, a date "yyyy-mm-dd", a time "hh:mm:ss" (with
// ".zzz" when it has milliseconds), a memo its lines joined by CR LF. The
// operation's check reads them into its settings.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "fileops/date_change.h"

namespace ferro::ops {

enum class FieldKind {
    Text,    // one line, as typed
    Number,  // one line that the check reads as a whole number
    Memo,    // several lines, joined by CR LF
    Flag,    // "1" or "0"
    Choice,  // one of the field's choices, by value
    Date,    // "yyyy-mm-dd"
    Time,    // "hh:mm:ss" or "hh:mm:ss.zzz"
};

// One command-line option and what it does to the fields (UTF-8 texts).
struct Option {
    const char* name = nullptr;   // "--format"
    const char* value = nullptr;  // what its value is, for the help ("格式"); null: a switch
    const char* help = nullptr;
    const char* sets = nullptr;   // a switch: the text it gives its field
    // An option that also chooses: alsoField gets alsoValue ("--line-number"
    // chooses the line-number mode). Options that set the same field, either
    // way, cannot be given together.
    const char* alsoField = nullptr;
    const char* alsoValue = nullptr;
    // A value "N:M" split in two: M goes to restField ("1" when left out).
    const char* restField = nullptr;
    // Listed with the other options of the help ("--no-backup").
    bool shared = false;
};

struct Choice {
    const char* value;    // its text in the settings ("keywords")
    const char* caption;  // UTF-8: its radio button's caption
};

struct Field {
    const char* name;      // its key in remembered settings and presets
    FieldKind kind = FieldKind::Text;
    const char* fallback = "";  // the default, as text
    const char* caption = nullptr;  // UTF-8: what it is, in the window's words
    std::vector<Choice> choices = {};
    std::vector<Option> options = {};
    // A choice the command line must make: the refusal begins with this
    // (UTF-8, "请选择删除方式") and lists the options that make it.
    const char* mustChoose = nullptr;
};

using FieldTable = std::vector<Field>;

const Field* FindField(const FieldTable& table, std::string_view name);

// Whether text is a value of the field's kind (a flag "1" or "0", one of the
// choices, a real day, a time of day); every text fits the text kinds.
bool Fits(const Field& field, std::string_view text);

// The values of one table's fields, each at its default until set.
class FieldValues {
public:
    FieldValues() = default;
    explicit FieldValues(const FieldTable& table);

    const FieldTable& table() const { return *table_; }
    // The value of a field of the table; a name not in it is a mistake of
    // the program (std::logic_error).
    const std::string& Text(std::string_view name) const;
    bool Flag(std::string_view name) const { return Text(name) == "1"; }
    bool Is(std::string_view name, std::string_view choice) const { return Text(name) == choice; }
    void Set(std::string_view name, std::string text);

    bool operator==(const FieldValues& other) const {
        return table_ == other.table_ && values_ == other.values_;
    }

private:
    std::size_t IndexOf(std::string_view name) const;

    const FieldTable* table_ = nullptr;
    std::vector<std::string> values_;
};

// The values as text, one "name=value" line per field (LF), backslash, CR
// and LF in values escaped as \\, \r and \n; and back. FromText starts from
// the defaults and takes the lines of known fields whose values fit them;
// other lines are left out.
std::string ToText(const FieldValues& values);
FieldValues FromText(const FieldTable& table, std::string_view text);

// Dates and times of the Date and Time kinds. ReadDate takes "y-m-d" (blanks
// around it allowed) with a year from 1601 to 9999 and a real day; ReadTime
// "h:m" or "h:m:s", seconds with up to three decimals of milliseconds.
bool ReadDate(std::string_view text, CalendarDate& date);
bool ReadTime(std::string_view text, TimeOfDay& time);
std::string DateText(const CalendarDate& date);
std::string TimeText(const TimeOfDay& time);

}  // namespace ferro::ops
