// LibreOffice as the program's spreadsheet application: conversions run by
// "soffice --headless --convert-to" in a private user profile of their own,
// so that they never meet a LibreOffice the user has open, with a time limit.
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

#include "platform/times.h"

namespace ferro {

// Format codes of the save call, as the spreadsheet application numbers them.
inline constexpr int kFormatTabText = -4158;   // tab-separated text, code page 936
inline constexpr int kFormatCommaText = 6;     // comma-separated text, code page 936
inline constexpr int kFormatWorkbook = -4143;  // Excel 97-2003 workbook
inline constexpr int kFormatHtml = 44;         // web page
inline constexpr int kFormatXml = 46;          // Excel 2003 XML spreadsheet
bool IsKnownFormat(int code);

enum class SourceKind {
    Auto,       // by extension: ".csv" comma text, ".txt" tab text, else any workbook
    CommaText,  // comma-separated text whatever the extension
};

struct OfficeOptions {
    std::string program = "soffice";  // a path, or a name looked up along PATH
    int stallTimeoutMs = 120000;      // a run making no progress this long is killed
    std::size_t batchSize = 25;       // most files in one LibreOffice run
};
// What new sessions use (tests point it elsewhere).
OfficeOptions DefaultOfficeOptions();
void SetDefaultOfficeOptions(const OfficeOptions& options);

struct OfficeJob {
    std::string source;  // GBK path
    SourceKind kind = SourceKind::Auto;
    int format = 0;
    std::string target;  // GBK path the result will be saved to
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

    enum class Outcome { Done, Failed, CannotStart };
    // Converts one job; on Done, bytes holds the new file's contents.
    Outcome Convert(const OfficeJob& job, std::string& bytes);

    // How many times LibreOffice was started (for benchmarks).
    int runs() const { return runs_; }

private:
    struct Prepared {
        std::string file;  // disk path of the finished result; empty when it failed
        int64_t size = 0;
        FileTime modified = 0;
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
    std::vector<OfficeJob> Batch(const OfficeJob& job);
    // One LibreOffice run over jobs that share input and output filters.
    Outcome Run(const std::vector<OfficeJob>& jobs);
    // The finished result of one job of a run (its disk path), or empty.
    std::string Finish(const Linked& l, const std::string& outDir, const std::string& log);

    OfficeOptions options_;
    Upcoming upcoming_;
    std::string base_;     // disk path of the session's folder
    std::string profile_;  // its user profile, as a file URL
    std::map<std::string, Prepared> prepared_;
    std::map<std::string, bool> soloOnly_;  // jobs to be run alone after a failed batch
    int runs_ = 0;
};

}  // namespace ferro
