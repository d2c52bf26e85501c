// Times the key merge as the button runs it (MergeKeyFiles: read both
// files, merge, write the target safely). References in the same run: awk
// doing the same merge on the same files (its output must be the same
// bytes), and a plain first-match scan of the target for every source key on
// a smaller pair, whose result must equal the indexed merge's.
//
// Usage: bench_keymerge [lines] [scan-lines] [repeats]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/text.h"
#include "textops/key_merge.h"
#include "textops/textfile.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// An INI-style file of about `lines` lines: sections every 50 lines, a few
// comments, keys key<N> in mixed case, every 20th source value empty.
std::string MakeIni(int lines, int keySpace, bool source, std::mt19937& rng) {
    std::string text;
    for (int i = 0; i < lines; ++i) {
        if (i % 50 == 0) {
            text += "[section" + std::to_string(i / 50) + "]\r\n";
            continue;
        }
        if (i % 97 == 0) {
            text += "; comment line " + std::to_string(i) + "\r\n";
            continue;
        }
        const int key = static_cast<int>(rng() % keySpace);
        std::string name = (rng() % 2 ? "Key" : "key") + std::to_string(key);
        std::string value = source && rng() % 20 == 0 ? "" : "value_" + std::to_string(rng());
        text += name + "=" + value + "\r\n";
    }
    return text;
}

void WriteFile(const std::string& path, const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}

// The first-match rule read literally: for every source key a scan of the
// source for its first value and of the target for its first line.
int ScanMerge(const ferro::LineList& source, std::vector<std::string>& target) {
    int count = 0;
    for (std::size_t j = 0; j < source.size(); ++j) {
        std::string_view name, value, n, v;
        if (!ferro::SplitKeyLine(source[j], name, value)) continue;
        for (std::size_t k = 0; k < source.size(); ++k)
            if (ferro::SplitKeyLine(source[k], n, v) && ferro::SameTextIgnoreCase(n, name)) {
                value = v;
                break;
            }
        for (std::size_t i = 0; i < target.size(); ++i) {
            if (!ferro::SplitKeyLine(target[i], n, v) || !ferro::SameTextIgnoreCase(n, name))
                continue;
            ++count;
            if (value.empty())
                target.erase(target.begin() + static_cast<long>(i));
            else
                target[i] = std::string(name) + "=" + std::string(value);
            break;
        }
    }
    return count;
}

// The merge rule in awk, so that both sides do the same work and write the
// same bytes: a name's value is that of its first source line and its
// spelling that of its last; the first target line with the name takes them,
// or, for an empty value, as many target lines with the name are removed as
// the source has lines with it. Names compare in lower case; CR LF stays.
const char* kAwkMerge =
    "awk 'BEGIN { ORS = \"\\r\\n\" } "
    "NR == FNR { sub(/\\r$/, \"\"); i = index($0, \"=\"); if (i > 1) { "
    "name = substr($0, 1, i - 1); k = tolower(name); "
    "if (!(k in v)) v[k] = substr($0, i + 1); n[k]++; s[k] = name } next } "
    "{ sub(/\\r$/, \"\"); i = index($0, \"=\"); if (i > 1) { k = tolower(substr($0, 1, i - 1)); "
    "if (k in v) { if (v[k] == \"\") { if (gone[k] < n[k]) { gone[k]++; next } } "
    "else if (!(k in done)) { done[k] = 1; print s[k] \"=\" v[k]; next } } } print }' ";

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int lines = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int scanLines = argc > 2 ? std::atoi(argv[2]) : 10000;
    const int repeats = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("bench-keymerge-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    const std::string src = (dir / "source.ini").string(), dst = (dir / "target.ini").string();

    std::mt19937 rng(42);
    // Keys drawn from a space about the size of the file: about two thirds
    // of the source keys are found in the target, with duplicates on both
    // sides.
    const std::string targetText = MakeIni(lines, lines, false, rng);
    WriteFile(src, MakeIni(lines, lines, true, rng));
    WriteFile(dst, targetText);

    // The button's path and awk, alternating, on fresh copies of the target.
    const std::string awkOut = (dir / "awk.ini").string();
    const std::string command = std::string(kAwkMerge) + src + " " + dst + " > " + awkOut;
    std::vector<double> ours, awk;
    int merged = 0;
    bool sameAsAwk = true;
    int awkStatus = 0;
    for (int r = 0; r < repeats; ++r) {
        WriteFile(dst, targetText);
        auto t0 = std::chrono::steady_clock::now();
        awkStatus = std::system(command.c_str());
        awk.push_back(Seconds(t0));
        t0 = std::chrono::steady_clock::now();
        merged = ferro::MergeKeyFiles(src, dst, ferro::TextFileOptions());
        ours.push_back(Seconds(t0));
        if (r == 0) sameAsAwk = awkStatus == 0 && Slurp(dst) == Slurp(awkOut);
    }
    const double mergeTime = Median(ours), awkTime = Median(awk);

    // The literal scan on a smaller pair, checked against the index.
    std::mt19937 small(7);
    const ferro::LineList s2 =
        ferro::LineList::FromText(MakeIni(scanLines, scanLines, true, small));
    const ferro::LineList t2 =
        ferro::LineList::FromText(MakeIni(scanLines, scanLines, false, small));
    auto t0 = std::chrono::steady_clock::now();
    ferro::LineList indexed = t2;
    const int indexedCount = ferro::MergeKeys(s2, indexed);
    const double indexedSmall = Seconds(t0);
    std::vector<std::string> scanned = t2.ToStrings();
    t0 = std::chrono::steady_clock::now();
    const int scanCount = ScanMerge(s2, scanned);
    const double scanSmall = Seconds(t0);
    const bool same = scanCount == indexedCount && scanned == indexed.ToStrings();

    std::printf("key merge, %d-line source and target (read both, merge, write target)\n", lines);
    std::printf("  merge:              %8.3f s  (%d records; median of %d)\n", mergeTime, merged,
                repeats);
    if (awkStatus == 0)
        std::printf("  awk, same rule:     %8.3f s  ratio merge/awk %.2f; output %s\n", awkTime,
                    mergeTime / awkTime, sameAsAwk ? "identical" : "DIFFERS");
    else
        std::printf("  awk:                not available\n");
    std::printf("%d-line pair in memory\n", scanLines);
    std::printf("  indexed merge:      %8.4f s\n", indexedSmall);
    std::printf("  first-match scan:   %8.4f s  (%.0fx slower; results %s)\n", scanSmall,
                scanSmall / indexedSmall, same ? "identical" : "DIFFER");

    std::filesystem::remove_all(dir);
    return same && sameAsAwk ? 0 : 1;
}
