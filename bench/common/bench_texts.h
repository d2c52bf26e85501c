// The texts the text benchmarks share, so that the engine's own figures and
// the whole program's compare: template subjects and a large office log.
#pragma once

#include <cstddef>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace bench {

// lines 40-byte subjects with the "_" at different places, so that the
// values a template takes from them differ from one line to the next.
inline std::string TemplateSubjects(long long lines) {
    std::string data;
    data.reserve(static_cast<std::size_t>(lines) * 41);
    for (long long i = 0; i < lines; ++i) {
        std::string s(40, static_cast<char>('a' + i % 26));
        s[static_cast<std::size_t>(3 + i % 30)] = '_';
        s[39] = static_cast<char>('0' + i % 10);
        data += s;
        data += '\n';
    }
    return data;
}

// A log of at least bytes bytes with CR LF lines: a number, a few of the
// (GBK) words, keyword on one line in ten, a colon and some letters. lines
// gets the number of lines.
inline std::string GbkLog(const std::vector<std::string>& gbkWords, std::size_t bytes,
                          std::string_view keyword, long* lines = nullptr) {
    std::mt19937 rng(20240501);
    std::string out;
    out.reserve(bytes + 256);
    long n = 0;
    while (out.size() < bytes) {
        std::string line = std::to_string(100000 + (n++ % 900000));
        line += ' ';
        const int count = 3 + static_cast<int>(rng() % 4);
        for (int i = 0; i < count; ++i) {
            line += gbkWords[rng() % gbkWords.size()];
            line += (rng() % 3 == 0) ? " " : "";
        }
        if (rng() % 10 == 0) line += keyword;
        line += ':';
        while (line.size() < 36 + rng() % 8) line += static_cast<char>('a' + rng() % 26);
        out += line;
        out += "\r\n";
    }
    if (lines) *lines = n;
    return out;
}

}  // namespace bench
