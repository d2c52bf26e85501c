#include "fileops/preview.h"

#include <chrono>

#include "fileops/extension_change.h"
#include "fileops/name_case.h"
#include "platform/codec.h"
#include "platform/fs.h"
#include "template/template.h"

namespace ferro {
namespace {

bool Taken(const std::string& path) { return GetFileAttributes(path) != attr::Invalid; }

std::string Join(const std::string& folder, std::string_view name) {
    std::string path = folder;
    path.push_back(kPathSep);
    path += name;
    return path;
}

// Whether the disk takes every part of a name that may begin with
// sub-folders ("2024/05/a.jpg"); they are made on the folder's disk.
bool SubPathAllowedOnDisk(const std::string& folder, std::string_view name) {
    for (std::size_t from = 0;;) {
        const std::size_t sep = name.find(kPathSep, from);
        if (!NameAllowedOnDisk(folder, name.substr(from, sep - from))) return false;
        if (sep == std::string_view::npos) return true;
        from = sep + 1;
    }
}

std::string TimesText(const NewFileTimes& t) {
    std::string text;
    auto add = [&](const char16_t* label, const std::optional<FileTime>& time) {
        if (!time) return;
        if (!text.empty()) text += "  ";
        text += Utf16ToGbk(label);
        text.push_back(' ');
        text += PackedTimeText(PackLocalTime(*time));
    };
    add(u"创建", t.creation);
    add(u"修改", t.lastWrite);
    add(u"访问", t.lastAccess);
    return text;
}

}  // namespace

std::string AttributeLetters(uint32_t attributes) {
    std::string letters;
    for (auto [bit, letter] : {std::pair{attr::ReadOnly, 'R'}, std::pair{attr::Hidden, 'H'},
                               std::pair{attr::System, 'S'}, std::pair{attr::Archive, 'A'}}) {
        if (!(attributes & bit)) continue;
        if (!letters.empty()) letters.push_back(' ');
        letters.push_back(letter);
    }
    return letters;
}

ChangePreview::ChangePreview(const FileList& files, PreviewKind kind)
    : files_(files), kind_(kind), ordinalOf_(static_cast<std::size_t>(files.RowCount()), -1) {
    for (int row = 1; row <= files.LastRow(); ++row)
        if (files.Checked(row) && !files.Name(row).empty()) {
            ordinalOf_[static_cast<std::size_t>(row)] = static_cast<int32_t>(ticked_.size());
            ticked_.push_back(row);
        }
    settled_.reserve(ticked_.size());
}

ChangePreview::~ChangePreview() = default;

std::unique_ptr<ChangePreview> ChangePreview::ForRename(const FileList& files,
                                                        const RenameSettings& settings) {
    return ForRename(files, std::make_unique<RenameRule>(settings));
}

std::unique_ptr<ChangePreview> ChangePreview::ForRename(const FileList& files,
                                                        std::string_view pattern,
                                                        std::string_view programDir) {
    return ForRename(files, std::make_unique<RenameRule>(pattern, programDir));
}

std::unique_ptr<ChangePreview> ChangePreview::ForRename(const FileList& files,
                                                        std::unique_ptr<RenameRule> rule) {
    std::unique_ptr<ChangePreview> p(new ChangePreview(files, PreviewKind::Rename));
    p->makeFolders_ = rule->makeFolders();
    p->numberClashes_ = rule->numberClashes();
    p->rule_ = std::move(rule);
    return p;
}

std::unique_ptr<ChangePreview> ChangePreview::ForExtension(const FileList& files,
                                                           std::string_view pattern) {
    return ForExtension(files, ExtensionSettings{std::string(pattern)});
}

std::unique_ptr<ChangePreview> ChangePreview::ForExtension(const FileList& files,
                                                           const ExtensionSettings& settings) {
    std::unique_ptr<ChangePreview> p(new ChangePreview(files, PreviewKind::Extension));
    p->extensionRule_ = std::make_unique<ExtensionRule>(settings);
    p->numberClashes_ = settings.numberClashes;
    return p;
}

FileValueSet ChangePreview::wanted() const {
    if (rule_) return rule_->wanted();
    if (extensionRule_) return extensionRule_->wanted();
    return 0;
}

std::unique_ptr<ChangePreview> ChangePreview::ForDates(const FileList& files,
                                                       const DateSettings& settings) {
    std::unique_ptr<ChangePreview> p(new ChangePreview(files, PreviewKind::Dates));
    p->dates_ = settings;
    return p;
}

std::unique_ptr<ChangePreview> ChangePreview::ForAttributes(const FileList& files,
                                                            const AttributeSettings& settings) {
    std::unique_ptr<ChangePreview> p(new ChangePreview(files, PreviewKind::Attributes));
    p->attributes_ = settings;
    return p;
}

std::optional<PlannedChange> ChangePreview::Row(int row) {
    if (row < 1 || static_cast<std::size_t>(row) >= ordinalOf_.size()) return std::nullopt;
    const int32_t ordinal = ordinalOf_[static_cast<std::size_t>(row)];
    if (ordinal < 0) return std::nullopt;
    const auto at = static_cast<std::size_t>(ordinal);
    if (at < next_) return settled_[at];
    // Rows on screen are read before the rest of the walk.
    return Compute(at, 0);
}

PlannedChange ChangePreview::Compute(std::size_t ordinal, int64_t priority) {
    const int row = ticked_[ordinal];
    PlannedChange c;
    switch (kind_) {
        case PreviewKind::Rename:
        case PreviewKind::Extension: {
            c.settled = false;
            RowName name;
            if (kind_ == PreviewKind::Extension) {
                if (extensionRule_->pattern().empty()) return c;
                name = extensionRule_->NameOf(files_, row, reader_, priority);
            } else if (listEnded_) {
                name.why = Undone::NoListLine;
            } else {
                try {
                    name = rule_->NameOf(files_, row, static_cast<int64_t>(ordinal), reader_,
                                         priority);
                } catch (const ValueTooLong&) {
                    name.why = Undone::TooLong;
                } catch (const PatternError& e) {
                    name.why = Undone::BadPattern;
                    name.detail = e.reason();
                }
            }
            if (name.pending) {
                c.pending = true;
                return c;
            }
            if (name.why != Undone::None) {
                c.why = name.why;
                c.detail = std::move(name.detail);
                c.settled = true;
                return c;
            }
            c.after = std::move(name.name);
            static const std::unordered_set<std::string> kNone;
            c.why = CheckNewName(files_, row, c.after, kNone, makeFolders_);
            if (c.why == Undone::None && !SubPathAllowedOnDisk(files_.Folder(row), c.after))
                c.why = Undone::NameNotAllowed;  // the run hears it from the disk
            if (c.why != Undone::None) c.settled = true;
            return c;
        }
        case PreviewKind::Dates: {
            FileTimes old;
            const std::string path = files_.Path(row);
            if (!GetFileTimes(path, old)) {
                c.why = UndoneFromFs(LastFsProblem(), Undone::CannotRead);
                return c;
            }
            const NewFileTimes t = ComputeNewTimes(old, dates_);
            c.after = TimesText(t);
            const uint32_t a = GetFileAttributes(path);
            if (!t.Any()) c.why = Undone::Unchanged;
            else if ((a & attr::ReadOnly) && !(a & attr::Directory)) c.why = Undone::ReadOnly;
            else if (a & (attr::ReparsePoint | attr::Device)) c.why = Undone::CannotWrite;
            return c;
        }
        case PreviewKind::Attributes: {
            c.after = AttributeLetters(attributes_.Value());
            const uint32_t a = GetFileAttributes(files_.Path(row));
            if (a == attr::Invalid) c.why = UndoneFromFs(LastFsProblem(), Undone::Missing);
            else if (a & (attr::ReparsePoint | attr::Device)) c.why = Undone::CannotWrite;
            return c;
        }
    }
    return c;
}

bool ChangePreview::Settle(std::size_t ordinal) {
    PlannedChange c = Compute(ordinal, 1 + static_cast<int64_t>(ordinal));
    if (c.pending) return false;
    bool waits = false;
    if (!c.settled) {
        // A rename in run order: the same checks the run makes, against the
        // disk as the earlier rows of the run would have left it.
        c.settled = true;
        const int row = ticked_[ordinal];
        const std::string& folder = files_.Folder(row);
        const std::string source = files_.Path(row), target = Join(folder, c.after);
        if (given_.count(target)) {
            c.why = Undone::DuplicateName;
        } else if (given_.count(source) || vacated_.count(source) || !Taken(source)) {
            c.why = Undone::Missing;
        } else if (!vacated_.count(target) && Taken(target) && !IsSameEntry(source, target)) {
            // (not by the file itself under another case): by a file the
            // run renames later, which gives the name up, or by another.
            if (!order_) {
                std::vector<std::string> sources;
                sources.reserve(ticked_.size());
                for (const int r : ticked_) sources.push_back(files_.Path(r));
                order_.emplace(std::move(sources), ordinal);
            }
            switch (order_->Wait(ordinal, target)) {
                case RenameOrder::Taken::Waits: waits = true; break;
                case RenameOrder::Taken::Duplicate: c.why = Undone::DuplicateName; break;
                case RenameOrder::Taken::ByOther:
                    if (numberClashes_) {
                        c.after = FreeNumberedName(row, c.after);
                        Give(row, c.after);
                    } else {
                        c.why = Undone::NameExists;
                    }
                    break;
            }
        } else {
            Give(row, c.after);
        }
    }
    if (c.why == Undone::NoListLine) listEnded_ = true;
    if (!waits) Count(c);
    settled_.push_back(std::move(c));
    if (waits) {
        // A ring closes here: the file steps aside, and the ring unwinds.
        if (order_->ClosesRing(ordinal)) {
            aside_.insert(ordinal);
            vacated_.insert(files_.Path(ticked_[ordinal]));
            Unwind(ordinal, true);
        }
    } else if (order_) {
        Unwind(ordinal, settled_[ordinal].why == Undone::None);
    }
    return true;
}

void ChangePreview::Count(const PlannedChange& c) {
    if (c.why == Undone::None) ++changing_;
    else ++skipping_;
}

// The run's view of the disk once the row's file has its new name.
void ChangePreview::Give(int row, const std::string& name) {
    const std::string target = Join(files_.Folder(row), name);
    given_.insert(target);
    vacated_.erase(target);
    vacated_.insert(files_.Path(row));
}

std::string ChangePreview::FreeNumberedName(int row, const std::string& name) const {
    for (int n = 2;; ++n) {
        std::string numbered = NumberedName(name, n);
        const std::string path = Join(files_.Folder(row), numbered);
        if (!given_.count(path) && (vacated_.count(path) || !Taken(path))) return numbered;
    }
}

// As the run: the renames that waited for a file that left (or stays)
// go (or are left undone, or numbered), along the chain.
void ChangePreview::Unwind(std::size_t ordinal, bool left) {
    while (true) {
        const std::size_t w = left ? order_->Left(ordinal) : order_->Stays(ordinal);
        if (w == RenameOrder::kNone) return;
        PlannedChange& c = settled_[w];
        const int row = ticked_[w];
        const bool wasAside = aside_.erase(w) > 0;
        if (!left) {
            if (numberClashes_ && !wasAside) c.after = FreeNumberedName(row, c.after);
            else c.why = Undone::NameExists;
        }
        if (c.why == Undone::None) {
            const std::string target = Join(files_.Folder(row), c.after);
            given_.insert(target);
            vacated_.erase(target);
            if (!wasAside) vacated_.insert(files_.Path(row));
        } else if (wasAside) {
            vacated_.erase(files_.Path(row));  // back to its old name
        }
        Count(c);
        if (wasAside) return;  // its old path was given up when it stepped aside
        ordinal = w;
        left = c.why == Undone::None;
    }
}

void ChangePreview::AskAhead(std::size_t from) {
    // A few hundred rows at a time keep the reader busy without filling
    // its queue with a whole list.
    constexpr std::size_t kAhead = 256;
    if (!reader_ || wanted() == 0 || askedUpTo_ >= std::min(from + kAhead / 2, ticked_.size()))
        return;
    const std::size_t end = std::min(from + kAhead, ticked_.size());
    for (std::size_t k = std::max(from, askedUpTo_); k < end; ++k)
        reader_->Request(files_.Path(ticked_[k]), wanted(), 1 + static_cast<int64_t>(k));
    askedUpTo_ = end;
}

bool ChangePreview::Advance(int budgetMs) {
    const auto start = std::chrono::steady_clock::now();
    waiting_ = false;
    while (next_ < ticked_.size()) {
        AskAhead(next_);
        if (!Settle(next_)) {
            waiting_ = true;
            return false;
        }
        ++next_;
        if (budgetMs > 0 && (next_ & 63) == 0 &&
            std::chrono::steady_clock::now() - start >= std::chrono::milliseconds(budgetMs))
            break;
    }
    return finished();
}

}  // namespace ferro
