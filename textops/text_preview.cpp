#include "textops/text_preview.h"

#include <algorithm>
#include <bit>

#include "platform/pump.h"
#include "template/template.h"
#include "textops/textfile.h"

namespace ferro {
namespace {

struct Cancelled {};

// Keeps the rule's lines in memory, letting the window breathe and the
// caller stop on the way.
class PreviewSink : public LineSink {
public:
    PreviewSink(LineList& out, const std::function<bool()>& cancel) : out_(out), cancel_(cancel) {}
    void push_back(std::string_view line) override {
        out_.push_back(line);
        if ((++count_ & 255u) == 0) Breathe();
    }
    void reserve(std::size_t lines, std::size_t bytes) override { out_.reserve(lines, bytes); }
    void Breathe() {
        ProcessPendingMessages();
        if (cancel_ && cancel_()) throw Cancelled{};
    }

private:
    LineList& out_;
    const std::function<bool()>& cancel_;
    unsigned count_ = 0;
};

uint64_t HashOf(std::string_view line) {
    return std::hash<std::string_view>{}(line);
}

}  // namespace

TextPreview::TextPreview() = default;
TextPreview::~TextPreview() = default;
TextPreview::TextPreview(TextPreview&&) noexcept = default;
TextPreview& TextPreview::operator=(TextPreview&&) noexcept = default;

TextPreview PreviewTextFile(std::string_view path, TextMode mode, const LineOperation& operation,
                            const std::function<bool()>& cancel) {
    TextPreview p;
    try {
        const TextScan scan =
            operation.linewise ? CheckTextFile(path, mode) : TextScan{};
        if (operation.linewise && !scan.whole) {
            // As the run reads it: a piece of whole lines at a time, each
            // given to the rule and compared with what it made.
            p.diff = std::make_unique<LineDiff>(LineDiff::Options{});
            const LinePieceRule rule = operation.linewise();
            LineList after;
            PreviewSink sink(after, cancel);
            sink.Breathe();
            ReadLinePieces(path, scan, false, [&](const LineList& lines, LineBytes bytes) {
                after = LineList();
                rule(lines, bytes, sink);
                p.diff->Compare(lines, after);
                p.beforeLines += lines.size();
                p.afterLines += after.size();
                sink.Breathe();
            });
            p.diff->Finish();
        } else {
            TextFile in = LoadTextFile(path, mode);
            PreviewSink sink(p.after, cancel);
            sink.Breathe();
            operation.gbk(in.lines, sink);
            p.before = std::move(in.lines);
            p.beforeLines = p.before.size();
            p.afterLines = p.after.size();
        }
    } catch (const TextFileError& e) {
        p.why = e.why();
        p.message = e.what();
    } catch (const ValueTooLong&) {
        p.why = Undone::TooLong;
    } catch (const PatternError& e) {
        p.why = Undone::BadPattern;
        p.message = e.what();
    } catch (const Cancelled&) {
        p.cancelled = true;
    }
    if (!p.ok()) {
        p.before = LineList();
        p.after = LineList();
        p.diff.reset();
    }
    return p;
}

namespace {
const LineList& NoLines() {
    static const LineList none;
    return none;
}
}  // namespace

LineDiff::LineDiff(const LineList& before, const LineList& after, Options options)
    : a_(&before), b_(&after), options_(options) {
    Start(before, after);
}

LineDiff::LineDiff(Options options) : a_(&NoLines()), b_(&NoLines()), options_(options) {
    pieces_ = true;
}

void LineDiff::Start(const LineList& before, const LineList& after) {
    a_ = &before;
    b_ = &after;
    i_ = j_ = 0;
    const std::size_t most = std::max(a_->size(), b_->size());
    const uint64_t bits = std::bit_ceil(std::max<uint64_t>(64, 8 * static_cast<uint64_t>(most)));
    mask_ = bits - 1;
    bitsA_.assign(bits / 64, 0);
    bitsB_.assign(bits / 64, 0);
    ha_.clear();
    hb_.clear();
    ha_.reserve(a_->size());
    hb_.reserve(b_->size());
}

void LineDiff::Compare(const LineList& before, const LineList& after) {
    Start(before, after);
    while (!Advance(std::size_t(1) << 30)) {
    }
    // The unchanged lines the next change may show are kept; the piece goes.
    const std::size_t end = baseA_ + a_->size();
    if (pending_ > 0) {
        const std::size_t from = std::max(pendingFrom_, end - std::min(pending_, options_.context));
        std::vector<std::string> carried;
        for (std::size_t line = from; line < end; ++line) carried.emplace_back(PendingText(line));
        carried_ = std::move(carried);
        carriedFrom_ = from;
    } else {
        carried_.clear();
    }
    baseA_ = end;
    baseB_ += b_->size();
    Start(NoLines(), NoLines());
}

void LineDiff::Finish() {
    pieces_ = false;
    Advance(0);
}

std::string_view LineDiff::PendingText(std::size_t line) const {
    if (line >= baseA_) return (*a_)[line - baseA_];
    return carried_[line - carriedFrom_];
}

bool LineDiff::InBefore(uint64_t h) const {
    const uint64_t k = h & mask_;
    return (bitsA_[k >> 6] >> (k & 63)) & 1u;
}

bool LineDiff::InAfter(uint64_t h) const {
    const uint64_t k = h & mask_;
    return (bitsB_[k >> 6] >> (k & 63)) & 1u;
}

void LineDiff::Show(DiffLine line) {
    if (shown_.size() >= options_.maxShown) {
        capped_ = capped_ || line.kind != DiffLine::Kind::Same;
        return;
    }
    shown_.push_back(std::move(line));
}

void LineDiff::Same() {
    ++same_;
    if (trailing_ > 0) {
        --trailing_;
        if (Showing())
            Show({DiffLine::Kind::Same, baseA_ + i_ + 1, baseB_ + j_ + 1, 0, std::string((*a_)[i_])});
    } else {
        if (pending_ == 0) {
            pendingFrom_ = baseA_ + i_;
            pendingNew_ = baseB_ + j_;
        }
        ++pending_;
    }
    ++i_;
    ++j_;
}

void LineDiff::Change(DiffLine::Kind kind) {
    // The unchanged lines before it: folded, but for the last few.
    if (pending_ > 0) {
        const std::size_t shownBefore = std::min(pending_, options_.context);
        const std::size_t fold = pending_ - shownBefore;
        if (fold > 0) Show({DiffLine::Kind::Folded, pendingFrom_ + 1, pendingNew_ + 1, fold, {}});
        for (std::size_t k = fold; k < pending_ && Showing(); ++k)
            Show({DiffLine::Kind::Same, pendingFrom_ + k + 1, pendingNew_ + k + 1, 0,
                  std::string(PendingText(pendingFrom_ + k))});
        pending_ = 0;
    }
    if (kind == DiffLine::Kind::Removed) {
        ++removed_;
        if (Showing()) Show({kind, baseA_ + i_ + 1, 0, 0, std::string((*a_)[i_])});
        else capped_ = true;
        ++i_;
    } else {
        ++added_;
        if (Showing()) Show({kind, 0, baseB_ + j_ + 1, 0, std::string((*b_)[j_])});
        else capped_ = true;
        ++j_;
    }
    trailing_ = options_.context;
}

bool LineDiff::Advance(std::size_t lines) {
    std::size_t work = 0;
    // First the lines' hashes, in the same slices.
    while (ha_.size() < a_->size() && work < lines) {
        const uint64_t h = HashOf((*a_)[ha_.size()]);
        ha_.push_back(h);
        bitsA_[(h & mask_) >> 6] |= uint64_t(1) << (h & 63);
        ++work;
    }
    while (ha_.size() == a_->size() && hb_.size() < b_->size() && work < lines) {
        const uint64_t h = HashOf((*b_)[hb_.size()]);
        hb_.push_back(h);
        bitsB_[(h & mask_) >> 6] |= uint64_t(1) << (h & 63);
        ++work;
    }
    if (ha_.size() < a_->size() || hb_.size() < b_->size()) return false;

    const std::size_t n = a_->size(), m = b_->size();
    const LineList& a = *a_;
    const LineList& b = *b_;
    auto equal = [&](std::size_t i, std::size_t j) {
        return ha_[i] == hb_[j] && a[i] == b[j];
    };
    while (work < lines && (i_ < n || j_ < m)) {
        ++work;
        if (i_ >= n) {
            Change(DiffLine::Kind::Added);
        } else if (j_ >= m) {
            Change(DiffLine::Kind::Removed);
        } else if (equal(i_, j_)) {
            Same();
        } else if (!InAfter(ha_[i_])) {
            Change(DiffLine::Kind::Removed);  // a line the result has nowhere
        } else if (!InBefore(hb_[j_])) {
            Change(DiffLine::Kind::Added);  // a line the file has nowhere
        } else {
            // Both lines occur elsewhere: lines of the file were dropped up
            // to the next place the result's line is found, or lines were
            // added up to the next place the file's line is. The choice that
            // goes on matching longer wins; at equal length the nearer one,
            // then adding (rules add blank lines among blank ones).
            const std::size_t reach = options_.lookAhead;
            std::size_t dropped = 0, inserted = 0;
            for (std::size_t k = 1; k <= reach && i_ + k < n; ++k)
                if (equal(i_ + k, j_)) {
                    dropped = k;
                    break;
                }
            for (std::size_t k = 1; k <= reach && j_ + k < m; ++k)
                if (equal(i_, j_ + k)) {
                    inserted = k;
                    break;
                }
            auto agreeing = [&](std::size_t i, std::size_t j) {
                std::size_t t = 0;
                while (t < 8 && i + t < n && j + t < m && equal(i + t, j + t)) ++t;
                return t;
            };
            if (dropped && inserted) {
                const std::size_t d = agreeing(i_ + dropped, j_), a = agreeing(i_, j_ + inserted);
                if (d > a || (d == a && dropped < inserted)) inserted = 0;
                else dropped = 0;
            }
            if (inserted) {
                for (std::size_t k = 0; k < inserted; ++k) Change(DiffLine::Kind::Added);
                work += inserted;
            } else if (dropped) {
                for (std::size_t k = 0; k < dropped; ++k) Change(DiffLine::Kind::Removed);
                work += dropped;
            } else {
                Change(DiffLine::Kind::Removed);
                Change(DiffLine::Kind::Added);
            }
        }
    }
    if (pieces_) return i_ >= n && j_ >= m;  // the next piece may go on
    if (i_ >= n && j_ >= m && !flushed_) {
        // Unchanged lines at the end, or a file the rule leaves as it is.
        if (pending_ > 0)
            Show({DiffLine::Kind::Folded, pendingFrom_ + 1, pendingNew_ + 1, pending_, {}});
        pending_ = 0;
        flushed_ = true;
    }
    return finished();
}

}  // namespace ferro
