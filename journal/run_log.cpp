#include "journal/run_log.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>

namespace ferro::journal {
namespace {

constexpr std::string_view kHeader = "ferrovan-journal 1\n";

uint32_t Checksum(std::string_view bytes) {
    uint32_t h = 2166136261u;  // FNV-1a
    for (unsigned char c : bytes) {
        h ^= c;
        h *= 16777619u;
    }
    return h;
}

void AppendEscaped(std::string& out, std::string_view field) {
    const bool plain = std::none_of(field.begin(), field.end(), [](char c) {
        return c == '\\' || c == '\t' || c == '\n' || c == '\r';
    });
    if (plain) {
        out += field;
        return;
    }
    for (char c : field) {
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '\t': out += "\\t"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            default: out += c;
        }
    }
}

// Into `out`, whose room is kept (a log's lines are read into the same
// fields one after another).
void Unescape(std::string_view field, std::string& out) {
    out.clear();
    if (field.find('\\') == std::string_view::npos) {
        out.assign(field);
        return;
    }
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '\\' || i + 1 == field.size()) {
            out += field[i];
            continue;
        }
        const char c = field[++i];
        out += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    }
}

}  // namespace

// One line: the fields, a tab, the checksum of what comes before it.
void AppendRecordLine(std::string& out, std::initializer_list<std::string_view> fields) {
    const std::size_t start = out.size();
    for (std::string_view f : fields) {
        AppendEscaped(out, f);
        out += '\t';
    }
    static const char kHex[] = "0123456789abcdef";
    const uint32_t sum = Checksum(std::string_view(out).substr(start));
    char text[9];
    for (int i = 0; i < 8; ++i) text[i] = kHex[(sum >> (28 - 4 * i)) & 15];
    text[8] = '\n';
    out.append(text, sizeof text);
}

// The fields of a line whose checksum holds; false otherwise.
bool SplitRecordLine(std::string_view line, std::vector<std::string>& fields) {
    const std::size_t tab = line.rfind('\t');
    uint32_t sum = 0;
    const std::string_view hex = tab == std::string_view::npos ? std::string_view() : line.substr(tab + 1);
    const auto [end, ec] = std::from_chars(hex.data(), hex.data() + hex.size(), sum, 16);
    if (hex.size() != 8 || ec != std::errc() || end != hex.data() + hex.size() ||
        Checksum(line.substr(0, tab + 1)) != sum) {
        fields.clear();
        return false;
    }
    // The strings of the last line's fields are filled again, keeping
    // their room: a log's lines are read one after another.
    std::size_t count = 0, at = 0;
    while (at < tab) {
        const std::size_t next = line.find('\t', at);
        if (count == fields.size()) fields.emplace_back();
        Unescape(line.substr(at, next - at), fields[count++]);
        at = next + 1;
    }
    fields.resize(count);
    return count > 0;
}

namespace {

std::string Line(std::initializer_list<std::string_view> fields) {
    std::string out;
    AppendRecordLine(out, fields);
    return out;
}

bool ToInt(const std::string& text, long long& value) {
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

// Ids of items whose plan record could not be read are known from the
// records that follow: the item is there, lost.
constexpr long long kMostLostItems = 1 << 20;

void PadLost(RunLog& log, long long upTo) {
    while (static_cast<long long>(log.items.size()) < upTo) {
        Item lost;
        lost.lost = true;
        log.items.push_back(std::move(lost));
    }
}

// The item a record names; null when there is none.
Item* ItemOf(RunLog& log, const std::string& id) {
    long long n = 0;
    if (!ToInt(id, n) || n < 0 ||
        n >= static_cast<long long>(log.items.size()) + kMostLostItems)
        return nullptr;
    PadLost(log, n + 1);
    return &log.items[static_cast<std::size_t>(n)];
}

bool KnownKind(char c) {
    switch (static_cast<ItemKind>(c)) {
        case ItemKind::Rename:
        case ItemKind::Times:
        case ItemKind::Attributes:
        case ItemKind::Content:
        case ItemKind::Create:
        case ItemKind::Trash:
        case ItemKind::MakeFolder: return true;
    }
    return false;
}

bool ApplyRecord(RunLog& log, const std::vector<std::string>& f) {
    const std::string& kind = f[0];
    if (kind == "R" && (f.size() == 3 || f.size() == 4)) {
        long long started = 0;
        if (!ToInt(f[2], started)) return false;
        log.operation = f[1];
        log.startedNs = started;
        if (f.size() == 4) log.origin = f[3];
        return true;
    }
    if (kind == "P" && f.size() == 8) {
        long long id = 0;
        // Ids come in order; a gap is a plan record that could not be read.
        if (!ToInt(f[1], id) || id > static_cast<long long>(log.items.size()) + kMostLostItems ||
            f[2].size() != 1 || !KnownKind(f[2][0]))
            return false;
        // A plan record comes before every record that names its item.
        if (id < static_cast<long long>(log.items.size())) return false;
        PadLost(log, id);
        Item item;
        item.kind = static_cast<ItemKind>(f[2][0]);
        item.path = f[3];
        if (item.kind == ItemKind::Rename) item.to = f[4];
        else item.of = f[4];
        if (!DecodeState(f[5], item.before)) return false;
        item.kept = f[6];
        item.inPlace = f[7] == "1";
        item.byCopy = f[7] == "2";
        log.items.push_back(std::move(item));
        return true;
    }
    if (kind == "D" && f.size() == 2) {
        Item* item = ItemOf(log, f[1]);
        if (item && item->lost && item->state == Item::State::Intended) {
            item->state = Item::State::Done;
            log.doneOrder.push_back(static_cast<int>(item - log.items.data()));
            return true;
        }
        if (!item || item->state != Item::State::Intended || item->kind != ItemKind::Rename)
            return false;
        item->state = Item::State::Done;
        item->now = item->to;
        item->after = item->before;
        log.doneOrder.push_back(static_cast<int>(item - log.items.data()));
        return true;
    }
    if (kind == "D" && (f.size() == 4 || f.size() == 6)) {
        Item* item = ItemOf(log, f[1]);
        if (!item || item->state != Item::State::Intended || !DecodeState(f[3], item->after))
            return false;
        if (item->lost) {
            item->state = Item::State::Done;
            log.doneOrder.push_back(static_cast<int>(item - log.items.data()));
            return true;
        }
        item->state = Item::State::Done;
        item->now = f[2];
        if (f.size() == 6) item->trashed = TrashedFile{item->path, f[4], f[5]};
        log.doneOrder.push_back(static_cast<int>(item - log.items.data()));
        return true;
    }
    if ((kind == "N" || kind == "U" || kind == "B") && f.size() == 2) {
        Item* item = ItemOf(log, f[1]);
        if (!item) return false;
        if (kind == "N") item->state = Item::State::Withdrawn;
        else if (kind == "B") item->undoBegun = true;
        else item->undone = true;
        return true;
    }
    if (kind == "E" && f.size() == 2) {
        log.ended = true;
        log.interrupted = f[1] == "interrupted";
        return true;
    }
    if (kind == "Z" && f.size() == 1) {
        log.undone = true;
        return true;
    }
    return false;
}

}  // namespace

int RunLog::FileCount() const {
    int files = 0;
    for (const int id : doneOrder) {
        const Item& item = items[static_cast<std::size_t>(id)];
        if (!item.IsBackup() && item.kind != ItemKind::MakeFolder) ++files;
    }
    return files;
}

bool ReadRunLog(const std::string& disk, RunLog& log) {
    log = RunLog{};
    const int fd = open(disk.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    struct stat st{};
    std::string text;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return false;
    }
    text.reserve(static_cast<std::size_t>(st.st_size));
    char buf[65536];
    ssize_t n;
    while ((n = read(fd, buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR))
        if (n > 0) text.append(buf, static_cast<std::size_t>(n));
    close(fd);
    if (n < 0 || text.compare(0, kHeader.size(), kHeader) != 0) return false;
    // Room for an item a line, the most there can be: the items are not
    // moved again and again as a long log is read.
    log.items.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')));
    std::vector<std::string> fields;
    std::size_t goodEnd = kHeader.size();
    int unreadable = 0;  // since the last readable line
    for (std::size_t at = kHeader.size(); at < text.size();) {
        const std::size_t end = text.find('\n', at);
        if (end == std::string::npos) break;  // cut short
        if (SplitRecordLine(std::string_view(text).substr(at, end - at), fields) &&
            ApplyRecord(log, fields)) {
            log.damaged += unreadable;
            unreadable = 0;
            goodEnd = end + 1;
        } else {
            ++unreadable;
        }
        at = end + 1;
    }
    log.validBytes = goodEnd;
    log.torn = goodEnd < text.size();
    return true;
}

std::string HeaderRecord() { return std::string(kHeader); }

std::string RunRecord(std::string_view operation, int64_t startedNs, std::string_view origin) {
    return Line({"R", operation, std::to_string(startedNs), origin});
}

void AppendIntentRecord(std::string& out, int id, const Item& item) {
    const char kind[2] = {static_cast<char>(item.kind), 0};
    AppendRecordLine(out, {"P", std::to_string(id), kind, item.path,
                     item.kind == ItemKind::Rename ? item.to : item.of, EncodeState(item.before),
                     item.kept, item.inPlace ? "1" : item.byCopy ? "2" : "0"});
}

std::string IntentRecord(int id, const Item& item) {
    std::string out;
    AppendIntentRecord(out, id, item);
    return out;
}

std::string DoneAsIntendedRecord(int id) { return Line({"D", std::to_string(id)}); }

std::string DoneRecord(int id, std::string_view now, const FileState& after,
                       const TrashedFile* trashed) {
    if (trashed)
        return Line({"D", std::to_string(id), now, EncodeState(after), trashed->file, trashed->info});
    return Line({"D", std::to_string(id), now, EncodeState(after)});
}

std::string WithdrawnRecord(int id) { return Line({"N", std::to_string(id)}); }
std::string UndoBegunRecord(int id) { return Line({"B", std::to_string(id)}); }
std::string UndoneRecord(int id) { return Line({"U", std::to_string(id)}); }
std::string EndRecord(bool interrupted) { return Line({"E", interrupted ? "interrupted" : "ok"}); }
std::string RunUndoneRecord() { return Line({"Z"}); }

bool LogWriter::Create(const std::string& disk) {
    Close();
    fd_ = open(disk.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd_ < 0) return false;
    if (flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        Close();
        return false;
    }
    size_ = 0;
    return true;
}

bool LogWriter::Open(const std::string& disk) {
    Close();
    fd_ = open(disk.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NOFOLLOW);
    if (fd_ < 0) return false;
    struct stat st{};
    if (fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode) || flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        Close();
        return false;
    }
    size_ = static_cast<uint64_t>(st.st_size);
    return true;
}

bool LogWriter::Append(std::string_view bytes) {
    if (fd_ < 0) return false;
    const std::size_t whole = bytes.size();
    while (!bytes.empty()) {
        const ssize_t n = write(fd_, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            // A full disk takes part of a record: cutting it off again
            // frees what it took, and the next append starts on a line.
            const int error = errno;
            if (bytes.size() != whole && ftruncate(fd_, static_cast<off_t>(size_)) != 0) {
                // Left torn: the next reader cuts it off.
            }
            errno = error;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    size_ += whole;
    return true;
}

bool LogWriter::Sync() { return fd_ >= 0 && fdatasync(fd_) == 0; }

bool LogWriter::Truncate(uint64_t bytes) {
    if (fd_ < 0 || ftruncate(fd_, static_cast<off_t>(bytes)) != 0 || fdatasync(fd_) != 0)
        return false;
    size_ = bytes;
    return true;
}

bool OpenRunLog(const std::string& disk, LogWriter& writer, RunLog& log) {
    if (!writer.Open(disk)) return false;
    if (!ReadRunLog(disk, log) || (log.torn && !writer.Truncate(log.validBytes))) {
        writer.Close();
        return false;
    }
    log.torn = false;
    return true;
}

void LogWriter::Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}

bool IsLogHeld(const std::string& disk) {
    const int fd = open(disk.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    const bool held = flock(fd, LOCK_EX | LOCK_NB) != 0;
    close(fd);
    return held;
}

}  // namespace ferro::journal
