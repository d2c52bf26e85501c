#include "textops/lines.h"

#include <cstring>

namespace ferro {

LineList LineList::FromText(std::string&& text) {
    LineList list;
    list.data_ = std::move(text);
    std::string& d = list.data_;
    const std::size_t n = d.size();
    // A rough guess of the line count saves most regrowth of the ends.
    list.ends_.reserve(n / 32 + 1);
    std::size_t read = 0, write = 0;
    while (read < n) {
        // Copy the run up to the next break.
        const char* p = d.data() + read;
        std::size_t run = 0;
        while (read + run < n && p[run] != '\n' && p[run] != '\r') ++run;
        if (write != read && run) std::memmove(d.data() + write, p, run);
        write += run;
        read += run;
        if (read >= n) {
            list.ends_.push_back(write);  // a last line without a break
            break;
        }
        // A break: CR LF, LF or CR.
        if (d[read] == '\r' && read + 1 < n && d[read + 1] == '\n') read += 2;
        else read += 1;
        list.ends_.push_back(write);
    }
    d.resize(write);
    return list;
}

std::string LineList::ToText() const {
    std::string out;
    out.reserve(data_.size() + 2 * ends_.size());
    for (std::size_t i = 0; i < size(); ++i) {
        out.append((*this)[i]);
        out.append("\r\n");
    }
    return out;
}

std::vector<std::string> LineList::ToStrings() const {
    std::vector<std::string> v;
    v.reserve(size());
    for (std::size_t i = 0; i < size(); ++i) v.emplace_back((*this)[i]);
    return v;
}

}  // namespace ferro
