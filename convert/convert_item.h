// The conversion item typed on the conversion page, "${XlsTo(csv)}" and its
// three siblings, and the name of the file a conversion writes.
#pragma once

#include <string>
#include <string_view>

namespace ferro {

enum class ConvertKind { Unknown, XlsTo, CsvTo, TxtTo, VcfTo };

struct ConvertItem {
    ConvertKind kind = ConvertKind::Unknown;
    std::string name;      // the function name, lower case
    std::string argument;  // its first argument, as typed
    // A further argument "隐藏" or "hidden" (any case): when each sheet is
    // written to a file of its own, hidden sheets are written too.
    bool hiddenSheets = false;
};

// Reads "${Name(argument, ...)}": the name before the first "(" (lower
// case), the first argument up to its first ","; of the further arguments
// only "隐藏"/"hidden" means something. Blanks around the whole text and the
// name do not matter. Text that is not of this form, or names none of the
// four conversions, gives ConvertKind::Unknown.
ConvertItem ParseConvertItem(std::string_view text);

// Why the text of the conversion field is refused before a run: empty, or
// not one of the four conversion items.
enum class ConvertFormatProblem { None, Empty, Unknown };
ConvertFormatProblem CheckConvertFormat(std::string_view text);
// The message that refuses it (GBK).
std::string ProblemText(ConvertFormatProblem problem);

// The target extension of an argument: blanks removed at both ends, lower
// case, one leading "." dropped. Empty when nothing is left, and also for an
// extension holding a path separator (it would name another folder).
std::string NormalizeExtension(std::string_view argument);

// The new file of a conversion: the source path up to and including the last
// "." of its file name, then the extension; a file name without "." gets
// "." and the extension appended. Empty when the extension is.
std::string NewFilePath(std::string_view source, std::string_view argument);

}  // namespace ferro
