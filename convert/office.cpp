#include "convert/office.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

#include "convert/child_process.h"
#include "convert/sheet_text.h"
#include "platform/codec.h"
#include "platform/fs.h"
#include "platform/text.h"

namespace ferro {
namespace fs = std::filesystem;

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

struct Export {
    const char* ext;  // of the file LibreOffice writes
    std::string convertTo;
    bool crlf;  // text whose rows end in CR LF
};

// Text export options: separator, quote, character set, first line, cell
// formats, language, quote every text cell, numbers as numbers, contents as
// shown, formulas, blanks trimmed, sheet (-1: every sheet to its own file).
Export ExportFor(int format) {
    const std::string text = std::string(kTextFilter) + ":";
    switch (format) {
        case kFormatTabText:
            return {"txt",
                    "txt:" + text + "9,34," + kCharsetGbk + ",1,,0,false,true,true,false,false",
                    true};
        case kFormatCommaText:
            return {"csv",
                    "csv:" + text + "44,34," + kCharsetGbk + ",1,,0,false,true,true,false,false",
                    true};
        case kFormatWorkbook:
            return {"xls", "xls:MS Excel 97", false};
        case kFormatHtml:
            return {"htm", "htm:HTML (StarCalc)", false};
        default:
            // The XML spreadsheet is written here from every sheet's cells:
            // text cells quoted, values unformatted, in UTF-8.
            return {
                "csv",
                "csv:" + text + "44,34," + kCharsetUtf8 + ",1,,0,true,true,false,false,false,-1",
                false};
    }
}

bool StartsWithUtf8Mark(const std::string& gbkPath) {
    std::string disk;
    if (!GbkToDisk(gbkPath, disk)) return false;
    std::ifstream in(disk, std::ios::binary);
    char head[3] = {};
    in.read(head, 3);
    return in.gcount() == 3 && head[0] == '\xEF' && head[1] == '\xBB' && head[2] == '\xBF';
}

// The input filter a source is read with; empty: LibreOffice recognises it.
std::string InputFilter(const OfficeJob& job) {
    const std::string ext = AnsiLower(ExtractFileExt(job.source));
    const char* separator = nullptr;
    if (job.kind == SourceKind::CommaText || ext == ".csv")
        separator = "44";
    else if (ext == ".txt")
        separator = "9";
    if (!separator) return {};
    const char* charset = StartsWithUtf8Mark(job.source) ? kCharsetUtf8 : kCharsetGbk;
    return std::string(kTextFilter) + ":" + separator + ",34," + charset + ",1";
}

std::string KeyOf(const OfficeJob& job, const std::string& filter) {
    return job.source + '\n' + filter + '\n' + std::to_string(job.format);
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
    return code == kFormatTabText || code == kFormatCommaText || code == kFormatWorkbook ||
           code == kFormatHtml || code == kFormatXml;
}

OfficeOptions DefaultOfficeOptions() {
    return Defaults();
}
void SetDefaultOfficeOptions(const OfficeOptions& options) {
    Defaults() = options;
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
    const char* tmp = std::getenv("TMPDIR");
    std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/ferro-office-XXXXXX";
    if (!mkdtemp(tmpl.data())) return false;
    base_ = tmpl;
    profile_ = FileUrl(base_ + "/profile");
    std::error_code ec;
    fs::create_directory(base_ + "/ready", ec);
    return !ec;
}

OfficeSession::Outcome OfficeSession::Convert(const OfficeJob& job, std::string& bytes) {
    if (!IsKnownFormat(job.format)) return Outcome::Failed;
    if (!Available()) return Outcome::CannotStart;
    const std::string key = KeyOf(job, InputFilter(job));

    // A result prepared by an earlier run, while its source is unchanged.
    auto take = [&](Outcome& outcome) {
        auto it = prepared_.find(key);
        if (it == prepared_.end()) return false;
        const Prepared p = it->second;
        prepared_.erase(it);
        if (p.file.empty()) {
            outcome = Outcome::Failed;
            return true;
        }
        FindEntry now;
        const bool fresh =
            StatPath(job.source, now) && now.size == p.size && now.lastWriteTime == p.modified;
        const bool read = fresh && ReadDisk(p.file, bytes);
        std::error_code ec;
        fs::remove(p.file, ec);
        if (!read) return false;
        outcome = Outcome::Done;
        return true;
    };

    Outcome outcome = Outcome::Failed;
    if (take(outcome)) return outcome;
    std::vector<OfficeJob> jobs = soloOnly_.count(key) ? std::vector<OfficeJob>{job} : Batch(job);
    if (Run(jobs) == Outcome::CannotStart) return Outcome::CannotStart;
    if (take(outcome)) return outcome;
    if (jobs.size() > 1) {
        // The shared run broke off: this file alone.
        if (Run({job}) == Outcome::CannotStart) return Outcome::CannotStart;
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
        if (next.format == job.format && !writtenBefore.count(next.source)) {
            const std::string f = InputFilter(next);
            const std::string key = KeyOf(next, f);
            if (f == filter && !keys.count(key) && !prepared_.count(key) && !soloOnly_.count(key)) {
                keys.insert(key);
                jobs.push_back(next);
            }
        }
        writtenBefore.insert(next.target);
    }
    return jobs;
}

OfficeSession::Outcome OfficeSession::Run(const std::vector<OfficeJob>& jobs) {
    if (jobs.empty() || !EnsureFolders()) return Outcome::Failed;
    const std::string dir = base_ + "/run" + std::to_string(runs_ + 1);
    const std::string inDir = dir + "/in", outDir = dir + "/out", log = dir + "/log.txt";
    std::error_code ec;
    fs::create_directories(inDir, ec);
    fs::create_directories(outDir, ec);
    if (ec) return Outcome::Failed;

    const bool xml = jobs.front().format == kFormatXml;
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
        const std::string name = LinkName(ExtractFileName(disk), i);
        l.stem = StemOf(name);
        // LibreOffice names what it writes after the stem (and, for every
        // sheet of a workbook, stem + "-" + sheet): no two may meet.
        const bool clash = std::any_of(linked.begin(), linked.end(), [&](const Linked& o) {
            if (o.stem == l.stem) return true;
            return xml &&
                   (o.stem.rfind(l.stem + "-", 0) == 0 || l.stem.rfind(o.stem + "-", 0) == 0);
        });
        if (clash) continue;
        l.link = inDir + "/" + name;
        l.size = entry.size;
        l.modified = entry.lastWriteTime;
        if (symlink(disk.c_str(), l.link.c_str()) != 0) continue;
        linked.push_back(std::move(l));
    }
    if (linked.empty()) {
        fs::remove_all(dir, ec);
        return Outcome::Failed;
    }

    ChildOptions child;
    child.arguments = {"-env:UserInstallation=" + profile_,
                       "--headless",
                       "--invisible",
                       "--norestore",
                       "--nologo",
                       "--nodefault",
                       "--nolockcheck"};
    const std::string filter = InputFilter(linked.front().job);
    if (!filter.empty()) child.arguments.push_back("--infilter=" + filter);
    child.arguments.push_back("--convert-to");
    child.arguments.push_back(ExportFor(linked.front().job.format).convertTo);
    child.arguments.push_back("--outdir");
    child.arguments.push_back(outDir);
    for (const Linked& l : linked) child.arguments.push_back(l.link);
    child.setEnv = ChildEnvironment();
    child.outputFile = log;
    child.stallTimeoutMs = options_.stallTimeoutMs;
    child.progress = [&] {
        std::error_code e;
        long long v = static_cast<long long>(fs::file_size(log, e));
        if (e) v = 0;
        for (auto it = fs::directory_iterator(outDir, e); !e && it != fs::directory_iterator();
             it.increment(e))
            ++v;
        return v;
    };
    ++runs_;
    const ChildResult r = RunChild(options_.program, child);
    if (r.status == ChildResult::NotFound || r.status == ChildResult::FailedToStart) {
        fs::remove_all(dir, ec);
        return Outcome::CannotStart;
    }
    std::string logText;
    ReadDisk(log, logText);
    if (r.status == ChildResult::Exited) {
        for (const Linked& l : linked)
            prepared_[l.key] = Prepared{Finish(l, outDir, logText), l.size, l.modified};
    } else if (linked.size() > 1) {
        // What a broken-off run left may be incomplete: nothing of it is used.
        for (const Linked& l : linked) soloOnly_[l.key] = true;
    } else {
        prepared_[linked.front().key] = Prepared{};
    }
    fs::remove_all(dir, ec);
    return Outcome::Done;
}

std::string OfficeSession::Finish(const Linked& l, const std::string& outDir,
                                  const std::string& log) {
    const Export ex = ExportFor(l.job.format);
    const std::string ready = base_ + "/ready/" + std::to_string(runs_) + "-" + l.stem;
    std::error_code ec;
    if (l.job.format != kFormatXml) {
        const std::string out = outDir + "/" + l.stem + "." + ex.ext;
        if (!IsRegular(out)) return {};
        if (ex.crlf) {
            std::string text;
            if (!ReadDisk(out, text) || !WriteDisk(ready, WithCrLfRows(text))) return {};
            return ready;
        }
        fs::rename(out, ready, ec);
        return ec ? std::string() : ready;
    }

    // Every sheet went to a file of its own, "stem-sheet.csv"; LibreOffice
    // tells them in sheet order as "Writing sheet <name> -> <path>".
    const std::string prefix = l.stem + "-";
    std::vector<std::pair<std::string, std::string>> sheets;  // name, file name
    std::size_t pos = 0;
    while (pos < log.size()) {
        std::size_t end = log.find('\n', pos);
        if (end == std::string::npos) end = log.size();
        std::string_view line(log.data() + pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        constexpr std::string_view kWriting = "Writing sheet ";
        const std::size_t arrow = line.rfind(" -> ");
        if (line.substr(0, kWriting.size()) != kWriting || arrow == std::string_view::npos ||
            arrow < kWriting.size())
            continue;
        const std::string file(line.substr(line.rfind('/') + 1));
        if (file.rfind(prefix, 0) == 0)
            sheets.emplace_back(line.substr(kWriting.size(), arrow - kWriting.size()), file);
    }
    if (sheets.empty()) {
        std::vector<std::string> files;
        for (auto it = fs::directory_iterator(outDir, ec); !ec && it != fs::directory_iterator();
             it.increment(ec)) {
            const std::string f = it->path().filename().string();
            if (f.rfind(prefix, 0) == 0 && f.size() > prefix.size() + 4 &&
                f.compare(f.size() - 4, 4, ".csv") == 0)
                files.push_back(f);
        }
        std::sort(files.begin(), files.end());
        for (const std::string& f : files)
            sheets.emplace_back(f.substr(prefix.size(), f.size() - prefix.size() - 4), f);
    }
    std::vector<SheetText> texts;
    for (const auto& [name, file] : sheets) {
        SheetText t{name, {}};
        if (!IsRegular(outDir + "/" + file) || !ReadDisk(outDir + "/" + file, t.csv)) return {};
        texts.push_back(std::move(t));
    }
    if (texts.empty() || !WriteDisk(ready, SpreadsheetXml(texts))) return {};
    return ready;
}

}  // namespace ferro
