// Lines of text, and where an operation puts the lines it makes.
//
// A LineList is held compactly: either a file's text as it was read, cut
// into lines only when a line is asked for by number (walking it in order
// needs no index at all), or lines added one by one, back to back in one
// buffer with the end of each. Either way a file of millions of lines costs
// little more than its size. Lines hold no line-break characters unless an
// operation built one that way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace ferro {

// What the bytes of lines are: code page 936 (GBK), as everywhere inside,
// or a UTF-8 file's own bytes, kept as they are for operations that give
// the same result on them.
enum class LineBytes : std::uint8_t { Gbk, Utf8 };

// Index of the first CR or LF in text at or after from; npos when none.
std::size_t FindLineBreak(std::string_view text, std::size_t from = 0);

// Receives the lines of a result in order: a list, or a file being written.
class LineSink {
public:
    virtual ~LineSink() = default;
    // Adds a line. The text must not point into a list the sink is.
    virtual void push_back(std::string_view line) = 0;
    // The same for a line known to hold no CR or LF (a file being written
    // then need not look for breaks to give them the file's style).
    virtual void PushUnbroken(std::string_view line) { push_back(line); }
    // A hint of what is to come; a file being written needs none.
    virtual void reserve(std::size_t lines, std::size_t bytes) {}
    // Whether the sink holds the lines it is given, and so takes the hint
    // (working it out may cost a walk through the input).
    virtual bool HoldsLines() const { return false; }
};

class LineList : public LineSink {
public:
    LineList() = default;
    LineList(const LineList&) = default;
    LineList(LineList&&) noexcept = default;
    LineList& operator=(const LineList&) = default;
    LineList& operator=(LineList&&) noexcept = default;

    // Cuts text into lines: CR LF, a lone LF and a lone CR each end a line;
    // a break at the very end adds no empty line. The text is kept as it is
    // and cut when lines are first asked for by number.
    static LineList FromText(std::string&& text);
    static LineList FromText(std::string_view text) { return FromText(std::string(text)); }
    static LineList FromText(const char* text) { return FromText(std::string(text)); }

    std::size_t size() const {
        Index();
        return ends_.size();
    }
    bool empty() const { return text_ ? data_.empty() : ends_.empty(); }
    std::string_view operator[](std::size_t i) const {
        Index();
        return std::string_view(data_.data() + Start(i), ends_[i] - Start(i));
    }
    std::string_view front() const { return (*this)[0]; }
    std::string_view back() const { return (*this)[size() - 1]; }

    // Appends a line. The text must not point into this list.
    void push_back(std::string_view line) override;
    void clear();
    void reserve(std::size_t lines, std::size_t bytes) override;
    bool HoldsLines() const override { return true; }
    // Bytes held: the lines without breaks (with them, for a text not cut).
    std::size_t byteSize() const { return data_.size(); }

    // Lines in order, without cutting the whole text first.
    class const_iterator {
    public:
        std::string_view operator*() const {
            return std::string_view(list_->data_.data() + begin_, end_ - begin_);
        }
        const_iterator& operator++();
        bool operator==(const const_iterator& o) const {
            return begin_ == o.begin_ && (begin_ == kDone || index_ == o.index_);
        }

    private:
        friend class LineList;
        static constexpr std::size_t kDone = static_cast<std::size_t>(-1);
        const LineList* list_ = nullptr;
        std::size_t begin_ = kDone, end_ = 0, index_ = 0;
    };
    const_iterator begin() const;
    const_iterator end() const {
        const_iterator it;
        it.list_ = this;
        return it;
    }

    // The text the lines were cut from, when they were: no line pointing
    // into it holds a break. Empty for lines added one by one.
    std::string_view UnbrokenText() const { return text_ ? std::string_view(data_) : std::string_view(); }

    // The text the lines were cut from, for its storage to be used again;
    // the list is left empty.
    std::string TakeText();

    // Every line followed by CR LF.
    std::string ToText() const;
    std::vector<std::string> ToStrings() const;

private:
    // Where line i starts (the list is indexed).
    std::size_t Start(std::size_t i) const {
        if (i == 0) return 0;
        const std::size_t e = ends_[i - 1];
        if (!text_) return e;
        return e + (data_[e] == '\r' && e + 1 < data_.size() && data_[e + 1] == '\n' ? 2 : 1);
    }
    // Finds the lines of a text that has not been cut yet.
    void Index() const {
        if (text_ && !indexed_) BuildIndex();
    }
    void BuildIndex() const;
    // Turns a text into lines back to back, for adding to it.
    void MakeCompact();

    std::string data_;
    // The end of every line; for a text, only once indexed.
    mutable std::vector<std::size_t> ends_;
    bool text_ = false;  // data_ is a text with its breaks
    mutable bool indexed_ = false;
};

// A rule given a file's lines a piece at a time, in order (pieces of whole
// lines): a UTF-8 file's own bytes when bytes says so.
using LinePieceRule = std::function<void(const LineList& lines, LineBytes bytes, LineSink& out)>;

}  // namespace ferro
