#include "fileops/search.h"

#include <algorithm>
#include <climits>
#include <memory>

#include "platform/error.h"
#include "platform/pump.h"
#include "platform/text.h"

namespace ferro {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
}

// The whole number of digits * 10^shift, cut towards zero and held at
// INT64_MAX.
int64_t ScaledDigits(std::string_view digits, int64_t shift) {
    while (!digits.empty() && digits.front() == '0') digits.remove_prefix(1);
    if (shift < 0) {
        const uint64_t drop = static_cast<uint64_t>(-shift);
        if (drop >= digits.size()) return 0;
        digits.remove_suffix(static_cast<std::size_t>(drop));
        shift = 0;
    }
    if (digits.empty()) return 0;
    if (static_cast<int64_t>(digits.size()) + shift > 19) return INT64_MAX;
    uint64_t v = 0;
    for (char c : digits) v = v * 10 + static_cast<uint64_t>(c - '0');
    for (int64_t i = 0; i < shift; ++i) v *= 10;  // at most 19 digits in all: no wrap
    return v > static_cast<uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<int64_t>(v);
}

bool DateInRange(const FindEntry& e, const SearchBounds& b) {
    FileTime t = e.lastWriteTime;
    if (b.date == SearchDate::Creation)
        t = e.creationTime;
    else if (b.date == SearchDate::LastAccess)
        t = e.lastAccessTime;
    const DateTime d = ToLocal(t);
    const int64_t day = DaysFromCivil(d.year, d.month, d.day);
    return day >= b.minDay && day <= b.maxDay;
}

bool IsDotOrDotDot(std::string_view name) {
    return name == "." || name == "..";
}

// Whether the walk goes down into a folder of these attributes.
bool Searched(uint32_t a) {
    return a != attr::Invalid && (a & attr::Directory) && (a & ~kSearchFolderSet) == 0;
}

}  // namespace

bool TryParseSizeBound(std::string_view text, int64_t& value) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && IsBlank(text[i])) ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const std::size_t intStart = i;
    while (i < n && IsDigit(text[i])) ++i;
    const std::size_t intEnd = i;
    std::size_t fracStart = i, fracEnd = i;
    if (i < n && text[i] == '.') {
        fracStart = ++i;
        while (i < n && IsDigit(text[i])) ++i;
        fracEnd = i;
    }
    if (intEnd == intStart && fracEnd == fracStart) return false;
    int64_t exponent = 0;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool expNegative = false;
        if (i < n && (text[i] == '+' || text[i] == '-')) expNegative = text[i++] == '-';
        if (i >= n || !IsDigit(text[i])) return false;
        for (; i < n && IsDigit(text[i]); ++i)
            if (exponent < 1000000) exponent = exponent * 10 + (text[i] - '0');
        if (expNegative) exponent = -exponent;
    }
    while (i < n && IsBlank(text[i])) ++i;
    if (i != n) return false;

    std::string digits(text.substr(intStart, intEnd - intStart));
    digits.append(text.substr(fracStart, fracEnd - fracStart));
    const int64_t magnitude =
        ScaledDigits(digits, exponent - static_cast<int64_t>(fracEnd - fracStart));
    value = negative ? -magnitude : magnitude;
    return true;
}

int64_t SizeBoundValue(std::string_view text) {
    int64_t v = 0;
    if (!TryParseSizeBound(text, v))
        throw Error("'" + std::string(text) + "' is not a valid floating point value");
    return v;
}

std::string FileTimeToText(std::string_view format, FileTime t) {
    const DateTime d = ToLocal(t);
    std::string out;
    out.reserve(format.size() + 4);
    auto two = [&out](int v) {
        out.push_back(static_cast<char>('0' + v / 10 % 10));
        out.push_back(static_cast<char>('0' + v % 10));
    };
    auto at = [&](std::size_t i, std::string_view token) {
        if (format.size() - i < token.size()) return false;
        for (std::size_t k = 0; k < token.size(); ++k)
            if (LowerAscii(format[i + k]) != token[k]) return false;
        return true;
    };
    for (std::size_t i = 0; i < format.size();) {
        if (at(i, "yyyy")) {
            const std::string year = std::to_string(d.year);
            out.append(year.size() < 4 ? 4 - year.size() : 0, '0');
            out += year;
            i += 4;
            continue;
        }
        const char c = LowerAscii(format[i]);
        int value = -1;
        if (at(i, "mm"))
            value = d.month;
        else if (at(i, "dd"))
            value = d.day;
        else if (at(i, "hh"))
            value = d.hour;
        else if (at(i, "nn"))
            value = d.minute;
        else if (at(i, "ss"))
            value = d.second;
        if (value >= 0 && (c == 'm' || c == 'd' || c == 'h' || c == 'n' || c == 's')) {
            two(value);
            i += 2;
            continue;
        }
        // A double-byte character goes along whole, so its trail byte is
        // never read as a letter of the pattern.
        const std::size_t len = CharLength(format, i);
        out.append(format.substr(i, len));
        i += len;
    }
    return out;
}

std::vector<std::string> SplitMasks(std::string_view masks) {
    std::vector<std::string> out;
    std::size_t p;
    while ((p = masks.find(';')) != std::string_view::npos) {
        out.emplace_back(masks.substr(0, p));
        masks.remove_prefix(p + 1);
    }
    out.emplace_back(masks);
    return out;
}

int SearchRowCount(const FileList& list) {
    return list.IsEmpty() ? 0 : list.RowCount() - 1;
}

namespace {

// A file found for a mask whose passes come later: only what a row takes,
// the name in a shared store.
struct HeldFile {
    int64_t size;
    FileTime creationTime;
    FileTime lastWriteTime;
    uint32_t name;          // in HeldFiles::names
    uint32_t nameLength;
    uint32_t folder;        // in HeldFiles::folders
};

// Names end to end in blocks that are never moved: what is held grows
// without being copied, and each page of it is written once.
class HeldNames {
public:
    uint32_t Add(std::string_view name) {
        if (blocks_.empty() || blocks_.back().size() + name.size() > kBlock) {
            blocks_.emplace_back();
            blocks_.back().reserve(std::max(kBlock, name.size()));
        }
        std::string& last = blocks_.back();
        const uint32_t at = static_cast<uint32_t>((blocks_.size() - 1) << kBlockBits | last.size());
        last.append(name);
        return at;
    }
    std::string_view View(uint32_t at, uint32_t length) const {
        return std::string_view(blocks_[at >> kBlockBits]).substr(at & (kBlock - 1), length);
    }

private:
    static constexpr unsigned kBlockBits = 16;
    static constexpr std::size_t kBlock = std::size_t{1} << kBlockBits;  // > any name
    std::vector<std::string> blocks_;
};

// What one walk found for the masks after the first it serves, mask by mask.
struct HeldFiles {
    std::vector<BlockArray<HeldFile, 12>> byMask;
    HeldNames names;
    std::vector<std::string> folders;
};

// One depth-first walk of one root folder for several masks at once. The
// files of masks[live] go into the list as they are found; those of the
// masks after it are held, in the order found, for their own passes.
class FolderWalk {
public:
    FolderWalk(FileList& list, SearchHost& host, const std::vector<const MaskMatcher*>& masks,
               std::size_t live)
        : list_(list), host_(host), masks_(masks), live_(live) {
        held_.byMask.resize(masks.size());
    }

    void Run(std::string_view root, std::string_view sub);
    HeldFiles TakeHeld() { return std::move(held_); }

private:
    struct Level {
        std::vector<DirItem> subfolders;  // candidates, in name order
        std::size_t next = 0;
        std::size_t parentLength = 0;  // of folder_, to go back to
    };

    void ListFolder(FolderReader& reader, const SearchBounds& bounds, Level& level);
    void Found(std::size_t mask, const FindEntry& entry);
    void Unread(FsProblem why);

    FileList& list_;
    SearchHost& host_;
    const std::vector<const MaskMatcher*>& masks_;
    const std::size_t live_;
    HeldFiles held_;
    std::string folder_;  // the folder cell of the folder in hand
    uint32_t heldFolder_ = 0;
    bool heldFolderSet_ = false;
    bool stopped_ = false;
    // One chunk of a listing: the entries, the masks each matches (from
    // firstMatch_[i] to firstMatch_[i + 1] in matches_), and the matched
    // entries looked up together.
    static constexpr std::size_t kChunk = 256;
    std::vector<DirEntryView> chunk_ = std::vector<DirEntryView>(kChunk);
    std::vector<uint32_t> firstMatch_;
    std::vector<uint32_t> matches_;
    std::vector<DirEntryView> wanted_;
    std::vector<FindEntry> entries_ = std::vector<FindEntry>(kChunk);
    std::unique_ptr<bool[]> found_ = std::make_unique<bool[]>(kChunk);
};

void FolderWalk::Unread(FsProblem why) {
    if (why != FsProblem::Missing && why != FsProblem::NoAccess && why != FsProblem::NotAFile)
        host_.FolderSkipped(folder_);
}

void FolderWalk::Found(std::size_t mask, const FindEntry& entry) {
    if (mask == live_) {
        list_.AddFile(entry, folder_);
        return;
    }
    if (!heldFolderSet_) {
        heldFolder_ = static_cast<uint32_t>(held_.folders.size());
        held_.folders.push_back(folder_);
        heldFolderSet_ = true;
    }
    held_.byMask[mask].push_back(HeldFile{entry.size, entry.creationTime, entry.lastWriteTime,
                                          held_.names.Add(entry.name),
                                          static_cast<uint32_t>(entry.name.size()), heldFolder_});
}

void FolderWalk::ListFolder(FolderReader& reader, const SearchBounds& bounds, Level& level) {
    heldFolderSet_ = false;
    // The entries come in chunks: the names of a chunk are matched first
    // and the matching ones looked up together, then each entry is taken
    // in turn with the stop test and the message pump before it.
    for (bool more = true; more && !stopped_;) {
        std::size_t count = 0;
        wanted_.clear();
        matches_.clear();
        firstMatch_.clear();
        while (count < kChunk && (more = reader.Next(chunk_[count]))) {
            const DirEntryView& item = chunk_[count];
            firstMatch_.push_back(static_cast<uint32_t>(matches_.size()));
            ++count;
            // "." and ".." stand for the folder itself and its parent, never
            // for a file of the folder, whatever their attributes.
            if (IsDotOrDotDot(item.name)) continue;
            const std::size_t before = matches_.size();
            for (std::size_t m = live_; m < masks_.size(); ++m)
                if (!masks_[m]->empty() && masks_[m]->Matches(item.name))
                    matches_.push_back(static_cast<uint32_t>(m));
            if (matches_.size() != before) wanted_.push_back(item);
        }
        firstMatch_.push_back(static_cast<uint32_t>(matches_.size()));
        reader.StatMany(wanted_.data(), wanted_.size(), entries_.data(), found_.get());

        std::size_t w = 0;
        for (std::size_t i = 0; i < count; ++i) {
            if (host_.StopRequested()) {
                stopped_ = true;
                break;
            }
            ProcessPendingMessages();
            const DirEntryView& item = chunk_[i];
            if (IsDotOrDotDot(item.name)) continue;
            // Files, links and devices never hold rows below them: only
            // folders are kept for the walk to go down into.
            if (item.kind == DirItem::Folder || item.kind == DirItem::Unknown)
                level.subfolders.push_back(item.ToItem());
            if (firstMatch_[i] == firstMatch_[i + 1]) continue;
            const FindEntry& entry = entries_[w];
            if (!found_[w++]) continue;  // gone since the listing
            const uint32_t a = entry.attributes;
            if ((a & kSearchFileSet) == attr::Directory || (a & ~kSearchFileSet) != 0) continue;
            if (host_.SizeFilterOn() && (entry.size < bounds.minSize || entry.size > bounds.maxSize))
                continue;
            if (host_.DateFilterOn() && !DateInRange(entry, bounds)) continue;
            for (uint32_t k = firstMatch_[i]; k < firstMatch_[i + 1]; ++k) Found(matches_[k], entry);
        }
    }
    if (reader.Failed()) host_.FolderSkipped(folder_);
    host_.FolderDone();
    if (stopped_ || !host_.IncludeSubfolders()) level.subfolders.clear();
}

void FolderWalk::Run(std::string_view root, std::string_view sub) {
    SearchBounds bounds = host_.ReadBounds();
    folder_ = Trim(root);
    if (!sub.empty()) {
        folder_.push_back(kPathSep);
        folder_.append(sub);
    }
    // A root typed as a link to a folder is read through the link (only the
    // entries found inside are held to the attribute sets).
    std::string openAs = folder_;
    if (sub.empty() && !openAs.empty() && openAs.back() != kPathSep) openAs.push_back(kPathSep);
    FolderReader reader;
    if (!reader.Open(openAs)) {
        Unread(LastFsProblem());
        host_.FolderDone();
        return;
    }
    std::vector<Level> levels(1);
    ListFolder(reader, bounds, levels.back());
    while (!stopped_) {
        Level& level = levels.back();
        if (level.next < level.subfolders.size()) {
            if (host_.StopRequested()) {
                stopped_ = true;
                break;
            }
            ProcessPendingMessages();
            const DirItem& f = level.subfolders[level.next++];
            const std::size_t parentLength = folder_.size();
            folder_.push_back(kPathSep);
            folder_.append(f.name);
            uint32_t a = 0;
            if (!reader.Enter(f, a)) {
                // Told only when the folder would have been searched.
                const FsProblem why = LastFsProblem();
                if (Searched(reader.Attributes(f))) {
                    host_.ReadBounds();
                    Unread(why);
                    host_.FolderDone();
                }
                folder_.resize(parentLength);
                continue;
            }
            if (!Searched(a)) {
                folder_.resize(parentLength);
                if (!reader.Leave(folder_)) {
                    host_.FolderSkipped(folder_);
                    break;
                }
                continue;
            }
            bounds = host_.ReadBounds();
            levels.emplace_back();
            levels.back().parentLength = parentLength;
            ListFolder(reader, bounds, levels.back());
            continue;
        }
        // Every sub-folder of this level is done: back to its parent.
        const std::size_t parentLength = level.parentLength;
        levels.pop_back();
        if (levels.empty()) break;
        folder_.resize(parentLength);
        if (!reader.Leave(folder_)) {
            // Moved or removed meanwhile: what was left of the walk is lost.
            host_.FolderSkipped(folder_);
            break;
        }
    }
}

// The passes of a mask that lists nothing: each still reads the bounds.
void EmptyPasses(SearchHost& host, const std::string& mask, const std::vector<std::string>& folders) {
    for (const std::string& folder : folders) {
        if (host.StopRequested()) break;
        host.PassStarted(mask, folder);
        host.ReadBounds();
    }
}

}  // namespace

void SearchFolder(FileList& list, SearchHost& host, const MaskMatcher& mask, std::string_view root,
                  std::string_view sub) {
    if (mask.empty()) {
        host.ReadBounds();
        return;
    }
    const std::vector<const MaskMatcher*> masks{&mask};
    FolderWalk walk(list, host, masks, 0);
    walk.Run(root, sub);
}

void RunSearch(FileList& list, SearchHost& host, std::string_view masksText,
               std::string_view foldersText) {
    const std::vector<std::string> folders = SplitFields(Trim(foldersText), ";");
    list.Clear();
    AppendSearch(list, host, masksText, folders);
}

void AppendSearch(FileList& list, SearchHost& host, std::string_view masksText,
                  const std::vector<std::string>& folders) {
    const std::vector<std::string> masks = SplitMasks(masksText);
    // Masks before the first that can list anything have passes that list
    // nothing; that first mask is listed while the folders are walked.
    std::size_t live = 0;
    while (live < masks.size() && masks[live].empty()) EmptyPasses(host, masks[live++], folders);
    if (live == masks.size()) return;

    std::vector<MaskMatcher> matchers;
    matchers.reserve(masks.size());
    for (const std::string& mask : masks) matchers.emplace_back(mask);
    std::vector<const MaskMatcher*> serve;
    for (const MaskMatcher& m : matchers) serve.push_back(&m);

    std::vector<HeldFiles> held;
    held.reserve(folders.size());
    FindEntry file;
    for (const std::string& folder : folders) {
        if (host.StopRequested()) break;
        host.PassStarted(masks[live], folder);
        FolderWalk walk(list, host, serve, live);
        walk.Run(folder, std::string_view());
        held.push_back(walk.TakeHeld());
    }
    // The passes of the later masks list what the walks held for them; a
    // stop before a pass leaves it out, as it would have the pass itself.
    for (std::size_t m = live + 1; m < masks.size(); ++m) {
        for (std::size_t r = 0; r < folders.size(); ++r) {
            if (host.StopRequested() || r >= held.size()) return;
            host.PassStarted(masks[m], folders[r]);
            if (masks[m].empty()) {
                host.ReadBounds();
                continue;
            }
            const BlockArray<HeldFile, 12>& files = held[r].byMask[m];
            for (std::size_t i = 0; i < files.size(); ++i) {
                const HeldFile& f = files[i];
                if (host.StopRequested()) return;
                ProcessPendingMessages();
                file.name.assign(held[r].names.View(f.name, f.nameLength));
                file.size = f.size;
                file.creationTime = f.creationTime;
                file.lastWriteTime = f.lastWriteTime;
                list.AddFile(file, held[r].folders[f.folder]);
            }
            held[r].byMask[m].clear();
        }
    }
}

}  // namespace ferro
