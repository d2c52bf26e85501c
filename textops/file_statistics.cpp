#include "textops/file_statistics.h"

#include <algorithm>

#include "platform/pump.h"

namespace ferro {

FileStatistics CountFileStatistics(const LineList& lines, int64_t size) {
    FileStatistics s;
    s.size = size;
    s.allLines = static_cast<int64_t>(lines.size());
    bool anyData = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        ProcessPendingMessages();
        const auto length = static_cast<int64_t>(lines[i].size());
        if (length == 0) {
            ++s.emptyLines;
            continue;
        }
        ++s.dataLines;
        s.longest = std::max(s.longest, length);
        s.shortest = anyData ? std::min(s.shortest, length) : length;
        anyData = true;
    }
    if (s.dataLines > 0) s.average = size / s.dataLines;
    return s;
}

}  // namespace ferro
