// The files a conversion run writes: their names (one per source, or one per
// sheet of a workbook, NAME_SHEET.ext), the record of what the run has
// written so that no later source of the same run replaces it, and the
// preview of the sources whose outputs would meet.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "batch/run.h"
#include "convert/convert_item.h"

namespace ferro {

// Paths compared as Windows compares file names: case does not matter.
std::string OutputKey(std::string_view path);

// "与 SOURCE 的输出同名" (GBK): why a source is left undone.
std::string SameOutputText(std::string_view earlierSource);

// The files one run has written, and from which source.
class RunOutputs {
public:
    // The source whose conversion wrote path in this run; null when none did.
    const std::string* WriterOf(std::string_view path) const;
    void Wrote(std::string_view path, std::string_view source);
    void Clear() { writers_.clear(); }

private:
    std::map<std::string, std::string> writers_;  // by OutputKey
};

// The part of a file name a sheet name gives (GBK from UTF-8): characters a
// Windows name cannot hold become "_", blanks and dots at its ends go.
std::string SheetNamePart(std::string_view utf8SheetName);

// The files of a workbook's sheets: the source path without its extension,
// "_", the sheet's name part, "." and the extension; a name that a sheet
// before it already gives (in any case) gets "_2", "_3"... The extension is
// normalized (NormalizeExtension); no paths when it is empty.
std::vector<std::string> SheetOutputPaths(std::string_view source, std::string_view argument,
                                          const std::vector<std::string>& utf8SheetNames);

// Whether a spreadsheet conversion of the source writes text of one sheet
// that each sheet would have a file of its own for: XlsTo to csv or txt of a
// workbook (not of comma or tab text).
bool WritesEachSheet(ConvertKind kind, std::string_view source, std::string_view extension);

// What a run would write for each source, in order, for the preview.
struct PlannedOutput {
    int row = 0;
    std::string source;
    std::string output;  // GBK path; with each sheet and no readable sheet list, NAME_*.ext
    bool exists = false;  // there is a file there now (the run would replace it)
    // The earlier source of the run that would write an output of this
    // source first; the run then leaves this source undone. Empty when none.
    std::string sameAs;
};
// Each file's outputs by the item (a file the item makes nothing of has
// none). eachSheet: the check box "每个工作表一个文件"; the sheets are read
// from the workbooks (hidden ones only where the item asks for them).
std::vector<PlannedOutput> PlanOutputs(const std::vector<BatchFile>& files,
                                       std::string_view item, bool eachSheet);

}  // namespace ferro
