// The command line: `ferrovan-batch run OPERATION [options] [FILES...]`
// read into a request: the operation, its fields set from the options (as
// its page would hold them), checked by the operation's own check and read
// into the job that runs it.
//
// Text is GBK throughout, as everywhere inside the program: the caller
// converts the arguments at the edge.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fileops/search.h"
#include "ops/operation.h"
#include "platform/codec.h"

namespace ferro::cli {

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
    const ops::Operation* operation = nullptr;
    ops::FieldValues values;        // the operation's fields, as the options set them
    std::shared_ptr<ops::Job> job;  // the settings read and checked
    FileSource source;
    bool dryRun = false;  // show what would change, change nothing
    bool json = false;    // the per-file report as JSON on standard output
    bool undo = true;     // the run is recorded in the undo journal, as the window's runs are
    TextMode textMode = TextMode::Auto;  // how text files are read and written
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

}  // namespace ferro::cli
