// The command line: `ferrovan-batch run OPERATION [options] [FILES...]`
// read into a request that holds the same settings the operation pages
// fill, checked the way the pages check them.
//
// Text is GBK throughout, as everywhere inside the program: the caller
// converts the arguments at the edge.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fileops/attribute_change.h"
#include "fileops/date_change.h"
#include "fileops/search.h"
#include "platform/codec.h"
#include "textops/line_cut.h"
#include "textops/line_delete.h"
#include "textops/line_extract.h"
#include "textops/line_insert.h"
#include "textops/new_lines.h"
#include "textops/pattern_replace.h"

namespace ferro::cli {

// The fifteen operations, in the order of the window's operation selector.
enum class Operation {
    Extension,
    Rename,
    Dates,
    Attributes,
    Statistics,
    KeyMerge,
    Cut,
    Insert,
    Pattern,
    DeleteLines,
    ExtractLines,
    LineSync,
    NewLines,
    Combine,
    Convert,
};

// The name an operation has on the command line ("rename").
const char* OperationName(Operation op);
// Its caption in the window's operation selector (UTF-8), which also names
// its runs in the undo journal.
const char* OperationCaption(Operation op);

// Where the files come from: the files named, and the files a search finds
// (as the window's search group would find them), searched first.
struct FileSource {
    std::vector<std::string> files;  // as named, in order
    std::string folders;             // --search: folders separated by ';'; empty: no search
    std::string masks;               // --mask: masks separated by ';'
    bool subfolders = true;
    bool sizeFilter = false;
    int64_t minSize = 0, maxSize = 0;
    bool dateFilter = false;
    SearchDate dateType = SearchDate::LastWrite;
    int64_t minDay = 0, maxDay = 0;  // local days since 1970-01-01, inclusive
};

struct CliRequest {
    Operation operation = Operation::Rename;
    FileSource source;
    bool dryRun = false;  // show what would change, change nothing
    bool json = false;    // the per-file report as JSON on standard output
    bool backup = true;   // the text operations' .bak copies
    bool undo = true;     // the run is recorded in the undo journal, as the window's runs are
    TextMode textMode = TextMode::Auto;  // how text files are read and written

    // The settings of the operation, as its page fills them.
    std::string renamePattern;     // as typed (the run normalizes it)
    std::string extensionPattern;  // as typed
    DateSettings dates;
    AttributeSettings attributes;
    LineCutSettings cut;
    LineInsertSettings insert;
    PatternReplaceSettings pattern;
    LineDeleteSettings deleteLines;
    LineExtractSettings extractLines;
    std::vector<std::string> syncKeywords;
    NewLinesSettings newLines;
    std::string newLinesText;  // the block as typed (lines joined by CR LF)
    std::string convertFormat;
    bool convertAllSheets = false;  // --all-sheets: a file for each sheet
};

struct ParseResult {
    enum Status {
        Run,      // request holds what to do
        Help,     // text is the help asked for (standard output, exit 0)
        Refused,  // text is the message (standard error, exit 2)
    };
    Status status = Refused;
    CliRequest request;
    std::string text;  // GBK
};

// Reads the arguments after "run". Every setting is checked here, before
// any file is looked at: a refusal carries the page's own message.
ParseResult ParseArgs(const std::vector<std::string>& args);

// The operations with their captions, one a line (for the program's --help).
std::string OperationListText();

}  // namespace ferro::cli
