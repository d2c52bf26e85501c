// LibreOffice as the program's spreadsheet application, in a private user
// profile of its own, so that it never meets a LibreOffice the user has
// open, with time limits. Workbooks are read by a script that drives
// LibreOffice through UNO (office_script.py, run by the system's Python):
// loaded without recalculation, from their own path, the sheet that was
// showing written as text, every cell with its type for the XML
// spreadsheet. Comma-separated text becomes a workbook or a web page by
// "soffice --headless --convert-to".
//
// Starting LibreOffice costs far more than converting a typical file, so a
// session converts the files expected next (see SetUpcoming) in the same
// LibreOffice run as the one asked for, and hands their results out when
// they are asked for in turn. Every result is judged by the file it left in
// a fresh folder of the session, never by the program's exit code.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "convert/child_process.h"
#include "platform/codec.h"
#include "platform/times.h"

namespace ferro {

// Format codes of the save call, as the spreadsheet application numbers them.
inline constexpr int kFormatTabText = -4158;   // tab-separated text
inline constexpr int kFormatCommaText = 6;     // comma-separated text
inline constexpr int kFormatWorkbook = -4143;  // Excel 97-2003 workbook
inline constexpr int kFormatHtml = 44;         // web page
inline constexpr int kFormatXml = 46;          // Excel 2003 XML spreadsheet
inline constexpr int kFormatOpenXml = 51;      // Excel 2007 workbook (xlsx)
inline constexpr int kFormatOpenDocument = 60; // OpenDocument spreadsheet (ods)
bool IsKnownFormat(int code);
// Whether the code names a whole workbook (every sheet kept) rather than the
// text of one sheet.
bool IsWorkbookFormat(int code);

enum class SourceKind {
    Auto,       // by extension: ".csv" comma text, ".txt" tab text, else any workbook
    CommaText,  // comma-separated text whatever the extension
};

struct OfficeOptions {
    std::string program = "soffice";  // a path, or a name looked up along PATH
    int stallTimeoutMs = 120000;      // a run making no progress this long is killed
    std::size_t batchSize = 25;       // most files in one LibreOffice run
    // A run's total time: this much, and as much again per megabyte of its
    // sources.
    long long totalBaseMs = 180000;
    long long totalPerMbMs = 30000;
    // The Python that has LibreOffice's UNO module (python3-uno).
    std::string python = "/usr/bin/python3";
};
// What new sessions use (tests point it elsewhere).
OfficeOptions DefaultOfficeOptions();
void SetDefaultOfficeOptions(const OfficeOptions& options);

struct OfficeJob {
    std::string source;  // GBK path
    SourceKind kind = SourceKind::Auto;
    int format = 0;
    std::string target;  // GBK path the result will be saved to
    TextMode mode = TextMode::Auto;  // of the text written: UTF-8 and LF, or GBK and CR LF
    bool utf8Source = false;         // a text source found to be UTF-8
    std::string activeSheet;         // UTF-8: the sheet to write as text, where the file says
    // Text formats: every sheet written, each to a text of its own (chart
    // sheets never; hidden ones only with hiddenSheets).
    bool eachSheet = false;
    bool hiddenSheets = false;
};

// The text of one sheet of a workbook converted sheet by sheet.
struct SheetText {
    std::string name;  // UTF-8
    bool hidden = false;
    std::string bytes;
};

class OfficeSession {
public:
    explicit OfficeSession(OfficeOptions options = DefaultOfficeOptions());
    ~OfficeSession();
    OfficeSession(const OfficeSession&) = delete;
    OfficeSession& operator=(const OfficeSession&) = delete;

    // Whether the program can be found at all.
    bool Available() const;

    // The jobs that will follow the next one, in order, at most max of them;
    // asked only when a LibreOffice run is due.
    using Upcoming = std::function<std::vector<OfficeJob>(std::size_t max)>;
    void SetUpcoming(Upcoming upcoming) { upcoming_ = std::move(upcoming); }

    // Asked while LibreOffice works; true kills it (the job is Stopped).
    void SetStop(std::function<bool()> stop) { stop_ = std::move(stop); }

    enum class Outcome { Done, Failed, CannotStart, Stopped };
    // Converts one job; on Done, bytes holds the new file's contents.
    Outcome Convert(const OfficeJob& job, std::string& bytes);
    // Converts a job sheet by sheet (eachSheet); on Done, the sheets' texts
    // in the workbook's order (none when it has no sheet to write).
    Outcome ConvertSheets(const OfficeJob& job, std::vector<SheetText>& sheets);

    // Why the last job that failed did (GBK, for the user).
    const std::string& LastProblem() const { return lastProblem_; }

    // How many times LibreOffice was started (for benchmarks).
    int runs() const { return runs_; }

private:
    struct PreparedFile {
        std::string sheet;  // UTF-8; empty for a job of one file
        bool hidden = false;
        std::string file;   // disk path of the finished result
    };
    struct Prepared {
        bool done = false;
        std::vector<PreparedFile> files;
        int64_t size = 0;
        FileTime modified = 0;
        std::string problem;  // why it failed
    };
    struct Linked {
        OfficeJob job;
        std::string key;
        std::string link;  // disk path handed to LibreOffice
        std::string stem;  // its name without the extension
        int64_t size = 0;
        FileTime modified = 0;
    };

    bool EnsureFolders();
    bool UsesScript(const OfficeJob& job) const;
    ChildOptions ChildFor(const std::vector<Linked>& linked, const std::string& outDir,
                          const std::string& log) const;
    std::vector<OfficeJob> Batch(const OfficeJob& job);
    // One LibreOffice run over jobs that share input and output filters.
    Outcome Run(const std::vector<OfficeJob>& jobs);
    // The finished results of one job of a run; false when it failed.
    bool Finish(const Linked& l, const std::string& outDir, const std::string& log,
                std::vector<PreparedFile>& files);
    // One result made ready: moved, or rewritten with the row ends and mark
    // of the job's text mode; empty when that fails.
    std::string Ready(const OfficeJob& job, const std::string& out, const std::string& name);

    OfficeOptions options_;
    Upcoming upcoming_;
    std::string base_;     // disk path of the session's folder
    std::string profile_;  // its user profile, as a file URL
    std::map<std::string, Prepared> prepared_;
    std::map<std::string, bool> soloOnly_;  // jobs to be run alone after a failed batch
    std::function<bool()> stop_;
    std::string lastProblem_;
    int runs_ = 0;
};

// Removes the private LibreOffice folders that earlier runs of the program
// left in the temporary folder (a run that was killed cannot remove its
// own), and ends a LibreOffice still working in one. Folders of a program
// still running are left alone.
void RemoveStaleOfficeFolders();

}  // namespace ferro
