#include "convert/office.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <set>

#include "convert/child_process.h"
#include "convert/sheet_text.h"
#include "convert/source_text.h"
#include "platform/codec.h"
#include "platform/fs.h"
#include "platform/text.h"

namespace ferro {
namespace fs = std::filesystem;

// The LibreOffice script (office_script.py), built in.
static const char kOfficeScript[] =
#include "office_script.inc"
    ;

namespace {

OfficeOptions& Defaults() {
    static OfficeOptions options;
    return options;
}

// LibreOffice's numbers for character sets in filter options: GBK (code page
// 936, the euro sign at 0x80 as Windows has it) and UTF-8.
constexpr const char* kCharsetGbk = "67";
constexpr const char* kCharsetUtf8 = "76";
constexpr const char* kTextFilter = "Text - txt - csv (StarCalc)";

const char* OutputCharset(const OfficeJob& job) {
    return job.mode == TextMode::ClassicGbk ? kCharsetGbk : kCharsetUtf8;
}

// Text export options: separator, quote, character set, first line, cell
// formats, language, quote every text cell, numbers as numbers, contents as
// shown, formulas, blanks trimmed (the script adds the sheet).
std::string TextExportOptions(const OfficeJob& job) {
    const char* separator = job.format == kFormatTabText ? "9" : "44";
    return std::string(separator) + ",34," + OutputCharset(job) +
           ",1,,0,false,true,true,false,false";
}

// What a run writes for a job: the extension of the file, and how.
struct Export {
    const char* ext;
    const char* action;  // of the script: text, store, cells
    std::string options;
};

Export ExportFor(const OfficeJob& job) {
    switch (job.format) {
        case kFormatTabText:
            return {"txt", "text", TextExportOptions(job)};
        case kFormatCommaText:
            return {"csv", "text", TextExportOptions(job)};
        case kFormatWorkbook:
            return {"xls", "store", "MS Excel 97"};
        case kFormatHtml:
            return {"htm", "store", "HTML (StarCalc)"};
        case kFormatOpenXml:
            return {"xlsx", "store", "Calc MS Excel 2007 XML"};
        case kFormatOpenDocument:
            return {"ods", "store", "calc8"};
        default:
            return {"cells", "cells", ""};
    }
}

// The separator of a text source; 0 for a workbook.
const char* TextSeparator(const OfficeJob& job) {
    const std::string ext = AnsiLower(ExtractFileExt(job.source));
    if (job.kind == SourceKind::CommaText || ext == ".csv") return "44";
    if (ext == ".txt") return "9";
    return nullptr;
}

// Options of the text import filter; empty for a workbook (LibreOffice
// recognises it).
std::string TextImportOptions(const OfficeJob& job) {
    const char* separator = TextSeparator(job);
    if (!separator) return {};
    return std::string(separator) + ",34," + (job.utf8Source ? kCharsetUtf8 : kCharsetGbk) + ",1";
}

// The input filter a source is read with; empty: LibreOffice recognises it.
std::string InputFilter(const OfficeJob& job) {
    const std::string options = TextImportOptions(job);
    return options.empty() ? options : std::string(kTextFilter) + ":" + options;
}

std::string KeyOf(const OfficeJob& job, const std::string& filter) {
    return job.source + '\n' + filter + '\n' + std::to_string(job.format) + '\n' +
           (job.mode == TextMode::ClassicGbk ? "gbk" : "auto") + '\n' + job.activeSheet + '\n' +
           (job.eachSheet ? (job.hiddenSheets ? "each+hidden" : "each") : "");
}

std::string FileUrl(std::string_view diskPath) {
    static const char* hex = "0123456789ABCDEF";
    std::string url = "file://";
    for (unsigned char c : diskPath) {
        if (std::isalnum(c) || c == '/' || c == '-' || c == '.' || c == '_' || c == '~') {
            url.push_back(static_cast<char>(c));
        } else {
            url.push_back('%');
            url.push_back(hex[c >> 4]);
            url.push_back(hex[c & 15]);
        }
    }
    return url;
}

bool ValidUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        std::size_t n = c < 0x80         ? 1
                        : (c >> 5) == 6  ? 2
                        : (c >> 4) == 14 ? 3
                        : (c >> 3) == 30 ? 4
                                         : 0;
        if (n == 0 || i + n > s.size()) return false;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}

// The name a source is shown to LibreOffice under: its own where that is
// plain text (a sheet read from text is named after it), else a neutral one.
std::string LinkName(const std::string& diskName, std::size_t index) {
    bool plain = !diskName.empty() && diskName[0] != '.' && ValidUtf8(diskName);
    for (unsigned char c : diskName) plain = plain && c >= 0x20 && c != 0x7F;
    if (plain) return diskName;
    std::string ext;
    const std::size_t dot = diskName.rfind('.');
    if (dot != std::string::npos && dot > 0) {
        ext = diskName.substr(dot);
        for (std::size_t k = 1; k < ext.size(); ++k)
            if (!std::isalnum(static_cast<unsigned char>(ext[k]))) ext.clear();
    }
    return "book" + std::to_string(index + 1) + ext;
}

std::string StemOf(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

bool ReadDisk(const std::string& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool WriteDisk(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

bool IsRegular(const std::string& path) {
    std::error_code ec;
    return fs::is_regular_file(fs::symlink_status(path, ec));
}

// LibreOffice runs with a UTF-8 locale, so that every path reaches it.
std::vector<std::string> ChildEnvironment() {
    const char* locale = nullptr;
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* v = std::getenv(name);
        if (v && *v) {
            locale = v;
            break;
        }
    }
    std::string l = locale ? AnsiLower(locale) : std::string();
    if (l.find("utf-8") != std::string::npos || l.find("utf8") != std::string::npos) return {};
    return {"LC_ALL=C.UTF-8"};
}

}  // namespace

bool IsKnownFormat(int code) {
    return code == kFormatTabText || code == kFormatCommaText || code == kFormatXml ||
           IsWorkbookFormat(code);
}

bool IsWorkbookFormat(int code) {
    return code == kFormatWorkbook || code == kFormatHtml || code == kFormatOpenXml ||
           code == kFormatOpenDocument;
}

OfficeOptions DefaultOfficeOptions() {
    return Defaults();
}
void SetDefaultOfficeOptions(const OfficeOptions& options) {
    Defaults() = options;
}

static std::string TempRoot() {
    const char* tmp = std::getenv("TMPDIR");
    return tmp && *tmp ? tmp : "/tmp";
}

// The start time of a process (clock ticks since boot), or -1 when there is
// no such process: a process id with its start time names one process only.
static long long ProcessStart(long long pid) {
    std::string stat;
    if (!ReadDisk("/proc/" + std::to_string(pid) + "/stat", stat)) return -1;
    const std::size_t paren = stat.rfind(')');
    if (paren == std::string::npos) return -1;
    std::size_t field = 3, pos = paren + 1;  // pos: the blank before a field
    while (field < 22 && pos < stat.size()) {
        pos = stat.find(' ', pos + 1);
        if (pos == std::string::npos) return -1;
        ++field;
    }
    return std::atoll(stat.c_str() + pos + 1);
}

OfficeSession::OfficeSession(OfficeOptions options) : options_(std::move(options)) {}

OfficeSession::~OfficeSession() {
    if (base_.empty()) return;
    std::error_code ec;
    fs::remove_all(base_, ec);
}

bool OfficeSession::Available() const {
    return !FindProgram(options_.program).empty();
}

bool OfficeSession::EnsureFolders() {
    if (!base_.empty()) return true;
    std::string tmpl = TempRoot() + "/ferro-office-XXXXXX";
    if (!mkdtemp(tmpl.data())) return false;
    base_ = tmpl;
    profile_ = FileUrl(base_ + "/profile");
    // Whose folder this is, for the clean-up of stale folders at start.
    const long long pid = getpid();
    WriteDisk(base_ + "/owner", std::to_string(pid) + " " + std::to_string(ProcessStart(pid)) + "\n");
    std::error_code ec;
    fs::create_directory(base_ + "/ready", ec);
    return !ec && WriteDisk(base_ + "/office_script.py", kOfficeScript);
}

bool OfficeSession::UsesScript(const OfficeJob& job) const {
    // Comma or tab text becomes a workbook or a web page by --convert-to;
    // everything else is read by the script.
    return !TextSeparator(job) || !IsWorkbookFormat(job.format);
}

OfficeSession::Outcome OfficeSession::Convert(const OfficeJob& job, std::string& bytes) {
    std::vector<SheetText> texts;
    const Outcome outcome = ConvertSheets(job, texts);
    if (outcome != Outcome::Done) return outcome;
    if (texts.size() != 1) return Outcome::Failed;
    bytes = std::move(texts.front().bytes);
    return outcome;
}

OfficeSession::Outcome OfficeSession::ConvertSheets(const OfficeJob& job,
                                                    std::vector<SheetText>& sheets) {
    lastProblem_.clear();
    if (!IsKnownFormat(job.format)) return Outcome::Failed;
    if (!Available()) return Outcome::CannotStart;
    const std::string key = KeyOf(job, InputFilter(job));

    // A result prepared by an earlier run, while its source is unchanged.
    auto take = [&](Outcome& outcome) {
        auto it = prepared_.find(key);
        if (it == prepared_.end()) return false;
        const Prepared p = it->second;
        prepared_.erase(it);
        if (!p.done) {
            outcome = Outcome::Failed;
            lastProblem_ = p.problem;
            return true;
        }
        FindEntry now;
        bool read = StatPath(job.source, now) && now.size == p.size && now.lastWriteTime == p.modified;
        sheets.clear();
        for (const PreparedFile& f : p.files) {
            SheetText text{f.sheet, f.hidden, {}};
            read = read && ReadDisk(f.file, text.bytes);
            sheets.push_back(std::move(text));
            std::error_code ec;
            fs::remove(f.file, ec);
        }
        if (!read) return false;
        outcome = Outcome::Done;
        return true;
    };

    Outcome outcome = Outcome::Failed;
    if (take(outcome)) return outcome;
    std::vector<OfficeJob> jobs = soloOnly_.count(key) ? std::vector<OfficeJob>{job} : Batch(job);
    Outcome run = Run(jobs);
    if (run == Outcome::CannotStart || run == Outcome::Stopped) return run;
    if (take(outcome)) return outcome;
    if (jobs.size() > 1) {
        // The shared run broke off: this file alone.
        run = Run({job});
        if (run == Outcome::CannotStart || run == Outcome::Stopped) return run;
        if (take(outcome)) return outcome;
    }
    return Outcome::Failed;
}

std::vector<OfficeJob> OfficeSession::Batch(const OfficeJob& job) {
    std::vector<OfficeJob> jobs{job};
    if (!upcoming_ || options_.batchSize <= 1) return jobs;
    const std::string filter = InputFilter(job);
    std::set<std::string> keys{KeyOf(job, filter)};
    // A file written by an earlier job must be read after that write, so it
    // cannot be read ahead in this run.
    std::set<std::string> writtenBefore{job.target};
    for (const OfficeJob& next : upcoming_(options_.batchSize - 1)) {
        if (jobs.size() >= options_.batchSize) break;
        if (next.format == job.format && next.mode == job.mode &&
            UsesScript(next) == UsesScript(job) && !writtenBefore.count(next.source)) {
            const std::string f = InputFilter(next);
            const std::string key = KeyOf(next, f);
            if ((f == filter || UsesScript(job)) && !keys.count(key) && !prepared_.count(key) &&
                !soloOnly_.count(key)) {
                keys.insert(key);
                jobs.push_back(next);
            }
        }
        writtenBefore.insert(next.target);
    }
    return jobs;
}

ChildOptions OfficeSession::ChildFor(const std::vector<Linked>& linked, const std::string& outDir,
                                     const std::string& log) const {
    ChildOptions child;
    const OfficeJob& first = linked.front().job;
    if (UsesScript(first)) {
        // The job file of the script.
        const std::string jobs = outDir + "/../jobs.txt";
        std::string text = "soffice\t" + FindProgram(options_.program) + "\nprofile\t" + profile_ + "\n";
        for (const Linked& l : linked) {
            const Export ex = ExportFor(l.job);
            const std::string options = TextImportOptions(l.job);
            std::string sheet = l.job.activeSheet;
            for (char& c : sheet)
                if (c == '\t' || c == '\n' || c == '\r') c = ' ';
            const std::string action = !l.job.eachSheet ? ex.action
                                       : l.job.hiddenSheets ? "sheets+hidden"
                                                            : "sheets";
            text += "job\t" + l.stem + "\t" + FileUrl(l.link) + "\t" +
                    (options.empty() ? "" : kTextFilter) + "\t" + options + "\t" + action + "\t" +
                    outDir + "/" + l.stem + "." + ex.ext + "\t" + sheet + "\t" + ex.options + "\n";
        }
        WriteDisk(jobs, text);
        child.arguments = {base_ + "/office_script.py", jobs};
    } else {
        child.arguments = {"-env:UserInstallation=" + profile_,
                           "--headless",
                           "--invisible",
                           "--norestore",
                           "--nologo",
                           "--nodefault",
                           "--nolockcheck"};
        const std::string filter = InputFilter(first);
        if (!filter.empty()) child.arguments.push_back("--infilter=" + filter);
        const Export ex = ExportFor(first);
        child.arguments.push_back("--convert-to");
        child.arguments.push_back(std::string(ex.ext) + ":" + ex.options);
        child.arguments.push_back("--outdir");
        child.arguments.push_back(outDir);
        for (const Linked& l : linked) child.arguments.push_back(l.link);
    }
    long long bytes = 0;
    for (const Linked& l : linked) bytes += l.size;
    child.setEnv = ChildEnvironment();
    child.outputFile = log;
    child.stallTimeoutMs = options_.stallTimeoutMs;
    child.totalTimeoutMs = options_.totalBaseMs + options_.totalPerMbMs * bytes / (1 << 20);
    child.stop = stop_;
    child.started = [base = base_](int group) {
        WriteDisk(base + "/group", std::to_string(group) + "\n");
    };
    child.progress = [log, outDir] {
        std::error_code e;
        long long v = static_cast<long long>(fs::file_size(log, e));
        if (e) v = 0;
        for (auto it = fs::directory_iterator(outDir, e); !e && it != fs::directory_iterator();
             it.increment(e))
            ++v;
        return v;
    };
    return child;
}

OfficeSession::Outcome OfficeSession::Run(const std::vector<OfficeJob>& jobs) {
    if (jobs.empty() || !EnsureFolders()) return Outcome::Failed;
    const std::string dir = base_ + "/run" + std::to_string(runs_ + 1);
    const std::string inDir = dir + "/in", outDir = dir + "/out", log = dir + "/log.txt";
    std::error_code ec;
    fs::create_directories(inDir, ec);
    fs::create_directories(outDir, ec);
    if (ec) return Outcome::Failed;

    const bool script = UsesScript(jobs.front());
    std::vector<Linked> linked;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        Linked l;
        l.job = jobs[i];
        l.key = KeyOf(jobs[i], InputFilter(jobs[i]));
        std::string disk;
        FindEntry entry;
        if (!GbkToDisk(jobs[i].source, disk) || !StatPath(jobs[i].source, entry) ||
            (entry.attributes & attr::Directory))
            continue;
        if (disk.empty() || disk[0] != '/') disk = fs::absolute(disk, ec).string();
        l.size = entry.size;
        l.modified = entry.lastWriteTime;
        if (script) {
            // Read where it is, so that the workbook knows its own name.
            l.link = disk;
            l.stem = std::to_string(i + 1);
        } else {
            const std::string name = LinkName(ExtractFileName(disk), i);
            l.stem = StemOf(name);
            // LibreOffice names what it writes after the stem: no two may meet.
            if (std::any_of(linked.begin(), linked.end(),
                            [&](const Linked& o) { return o.stem == l.stem; }))
                continue;
            l.link = inDir + "/" + name;
            if (symlink(disk.c_str(), l.link.c_str()) != 0) continue;
        }
        linked.push_back(std::move(l));
    }
    if (linked.empty()) {
        fs::remove_all(dir, ec);
        return Outcome::Failed;
    }

    ++runs_;
    const ChildOptions child = ChildFor(linked, outDir, log);
    const std::string program = script ? options_.python : options_.program;
    ChildResult r = RunChild(program, child);
    if (script && r.status == ChildResult::NotFound) r = RunChild("python3", child);
    std::string logText;
    ReadDisk(log, logText);
    const bool noOffice = script && (logText.rfind("no-uno", 0) == 0 ||
                                     logText.find("\nno-uno") != std::string::npos ||
                                     logText.find("no-office") != std::string::npos);
    if (r.status == ChildResult::NotFound || r.status == ChildResult::FailedToStart || noOffice) {
        fs::remove_all(dir, ec);
        return Outcome::CannotStart;
    }
    if (r.status == ChildResult::Stopped) {
        fs::remove_all(dir, ec);
        return Outcome::Stopped;
    }
    if (r.status == ChildResult::Exited) {
        for (const Linked& l : linked) {
            Prepared p;
            p.size = l.size;
            p.modified = l.modified;
            p.done = Finish(l, outDir, logText, p.files);
            if (!p.done) p.problem = Utf16ToGbk(u"LibreOffice 未能转换此文件");
            prepared_[l.key] = std::move(p);
        }
    } else if (linked.size() > 1) {
        // What a broken-off run left may be incomplete: nothing of it is used.
        for (const Linked& l : linked) soloOnly_[l.key] = true;
    } else {
        Prepared p;
        p.problem = Utf16ToGbk(r.status == ChildResult::TimedOut
                                   ? u"LibreOffice 超过时间限制，已被终止"
                                   : u"LibreOffice 意外退出");
        prepared_[linked.front().key] = std::move(p);
    }
    fs::remove_all(dir, ec);
    return Outcome::Done;
}

std::string OfficeSession::Ready(const OfficeJob& job, const std::string& out,
                                 const std::string& name) {
    if (!IsRegular(out)) return {};
    const std::string ready = base_ + "/ready/" + std::to_string(runs_) + "-" + name;
    std::string text;
    if (job.format == kFormatXml) {
        if (!ReadDisk(out, text) || !WriteDisk(ready, SheetCellsToXml(text))) return {};
        return ready;
    }
    if ((job.format == kFormatTabText || job.format == kFormatCommaText) &&
        job.mode == TextMode::ClassicGbk) {
        if (!ReadDisk(out, text) || !WriteDisk(ready, WithCrLfRows(text))) return {};
        return ready;
    }
    if (job.format == kFormatCommaText) {
        // Spreadsheet programs know UTF-8 comma text by its byte-order mark.
        if (!ReadDisk(out, text) || !WriteDisk(ready, std::string(kUtf8Bom) + text)) return {};
        return ready;
    }
    std::error_code ec;
    fs::rename(out, ready, ec);
    return ec ? std::string() : ready;
}

// The lines "sheet <job> <number> <hidden 0/1> <name>" the script prints for
// a job converted sheet by sheet, in its order.
static std::vector<std::pair<std::string, std::pair<std::string, bool>>> SheetLines(
    const std::string& log, const std::string& stem) {
    std::vector<std::pair<std::string, std::pair<std::string, bool>>> sheets;
    const std::string prefix = "sheet " + stem + " ";
    std::size_t pos = 0;
    while (pos < log.size()) {
        std::size_t end = log.find('\n', pos);
        if (end == std::string::npos) end = log.size();
        const std::string line = log.substr(pos, end - pos);
        pos = end + 1;
        if (line.rfind(prefix, 0) != 0) continue;
        const std::size_t a = line.find(' ', prefix.size());
        if (a == std::string::npos || a + 2 >= line.size()) continue;
        std::string name;
        const std::string escaped = line.substr(a + 3);
        for (std::size_t i = 0; i < escaped.size(); ++i) {
            const char c = escaped[i];
            if (c == '\\' && i + 1 < escaped.size()) {
                const char n = escaped[++i];
                name.push_back(n == 't' ? '\t' : n == 'n' ? '\n' : n == 'r' ? '\r' : n);
            } else {
                name.push_back(c);
            }
        }
        sheets.push_back({line.substr(prefix.size(), a - prefix.size()), {name, line[a + 1] == '1'}});
    }
    return sheets;
}

bool OfficeSession::Finish(const Linked& l, const std::string& outDir, const std::string& log,
                           std::vector<PreparedFile>& files) {
    const Export ex = ExportFor(l.job);
    if (UsesScript(l.job) && log.find("ok " + l.stem + "\n") == std::string::npos) return false;
    if (!l.job.eachSheet) {
        const std::string ready = Ready(l.job, outDir + "/" + l.stem + "." + ex.ext, l.stem);
        if (ready.empty()) return false;
        files.push_back(PreparedFile{{}, false, ready});
        return true;
    }
    for (const auto& [number, sheet] : SheetLines(log, l.stem)) {
        const std::string name = l.stem + ".s" + number;
        const std::string ready = Ready(l.job, outDir + "/" + name + "." + ex.ext, name);
        if (ready.empty()) return false;
        files.push_back(PreparedFile{sheet.first, sheet.second, ready});
    }
    return true;
}

// A process group still running whose members work in the folder.
static bool GroupWorksIn(long long group, const std::string& folderName) {
    if (group <= 1 || kill(static_cast<pid_t>(-group), 0) != 0) return false;
    std::error_code ec;
    for (auto it = fs::directory_iterator("/proc", ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || !std::isdigit(static_cast<unsigned char>(name[0]))) continue;
        const pid_t pid = static_cast<pid_t>(std::atoll(name.c_str()));
        if (getpgid(pid) != group) continue;
        std::string cmdline;
        if (ReadDisk("/proc/" + name + "/cmdline", cmdline) &&
            cmdline.find(folderName) != std::string::npos)
            return true;
    }
    return false;
}

void RemoveStaleOfficeFolders() {
    const std::string root = TempRoot();
    std::error_code ec;
    for (auto it = fs::directory_iterator(root, ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.rfind("ferro-office-", 0) != 0) continue;
        struct stat st {};
        if (lstat(it->path().c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid())
            continue;
        const std::string folder = it->path().string();
        std::string owner;
        if (ReadDisk(folder + "/owner", owner)) {
            long long pid = 0, start = -2;
            std::sscanf(owner.c_str(), "%lld %lld", &pid, &start);
            if (pid > 0 && ProcessStart(pid) == start) continue;  // its program still runs
        } else if (std::time(nullptr) - st.st_mtime < 3600) {
            continue;  // just being made, perhaps
        }
        std::string group;
        if (ReadDisk(folder + "/group", group)) {
            const long long g = std::atoll(group.c_str());
            if (GroupWorksIn(g, name)) kill(static_cast<pid_t>(-g), SIGKILL);
        }
        std::error_code e;
        fs::remove_all(folder, e);
    }
}

}  // namespace ferro
