// A list of lines held compactly: all bytes back to back in one buffer and
// the end of each line, so that a file of millions of lines costs little
// more than its size. Lines hold no line-break characters unless an
// operation built one that way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ferro {

class LineList {
public:
    LineList() = default;

    std::size_t size() const { return ends_.size(); }
    bool empty() const { return ends_.empty(); }
    std::string_view operator[](std::size_t i) const {
        const std::size_t b = i == 0 ? 0 : ends_[i - 1];
        return std::string_view(data_).substr(b, ends_[i] - b);
    }
    std::string_view front() const { return (*this)[0]; }
    std::string_view back() const { return (*this)[size() - 1]; }

    // Appends a line. The text must not point into this list.
    void push_back(std::string_view line) {
        data_.append(line.data(), line.size());
        ends_.push_back(data_.size());
    }
    void clear() {
        data_.clear();
        ends_.clear();
    }
    void reserve(std::size_t lines, std::size_t bytes) {
        ends_.reserve(lines);
        data_.reserve(bytes);
    }
    // Bytes of all lines together, without line breaks.
    std::size_t byteSize() const { return data_.size(); }

    // Cuts text into lines: CR LF, a lone LF and a lone CR each end a line;
    // a break at the very end adds no empty line. Works in place on the
    // given buffer.
    static LineList FromText(std::string&& text);
    static LineList FromText(std::string_view text) { return FromText(std::string(text)); }
    static LineList FromText(const char* text) { return FromText(std::string(text)); }

    // Every line followed by CR LF.
    std::string ToText() const;
    std::vector<std::string> ToStrings() const;

private:
    std::string data_;
    std::vector<std::size_t> ends_;
};

}  // namespace ferro
