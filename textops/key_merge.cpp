#include "textops/key_merge.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/pump.h"
#include "platform/text.h"

namespace ferro {

bool SplitKeyLine(std::string_view line, std::string_view& name, std::string_view& value) {
    const std::size_t eq = line.find('=');
    if (eq == std::string_view::npos || eq == 0) return false;
    name = line.substr(0, eq);
    value = line.substr(eq + 1);
    return true;
}

namespace {

constexpr uint32_t kNone = UINT32_MAX;

// What becomes of one target line.
struct Edit {
    uint32_t nameLine = kNone;   // source line whose name spelling is written
    uint32_t valueLine = kNone;  // source line whose value is written
    bool removed = false;
};

}  // namespace

int MergeKeys(const LineList& source, LineList& target) {
    // A scan of the target for every source key would cost lines × lines;
    // instead each lower-cased name maps to its first live target line, and
    // every target line knows the next line of the same name, so a removed
    // line hands the name on to the one after it, as a fresh scan would.
    const std::size_t count = target.size();
    std::vector<uint32_t> nextSameName(count, kNone);
    std::unordered_map<std::string, uint32_t> firstTarget;
    firstTarget.reserve(count);
    for (std::size_t i = count; i-- > 0;) {
        std::string_view name, value;
        if (!SplitKeyLine(target[i], name, value)) continue;
        auto [it, fresh] = firstTarget.try_emplace(AnsiLower(name), static_cast<uint32_t>(i));
        if (!fresh) {
            nextSameName[i] = it->second;
            it->second = static_cast<uint32_t>(i);
        }
    }

    // The value of a name is the value of the first source line carrying it.
    std::unordered_map<std::string, uint32_t> firstSource;
    firstSource.reserve(source.size());

    std::vector<Edit> edits(count);
    int merged = 0;
    std::string key;
    for (std::size_t j = 0; j < source.size(); ++j) {
        ProcessPendingMessages();
        std::string_view name, value;
        if (!SplitKeyLine(source[j], name, value)) continue;
        key = AnsiLower(name);
        const uint32_t valueLine =
            firstSource.try_emplace(key, static_cast<uint32_t>(j)).first->second;
        auto hit = firstTarget.find(key);
        if (hit == firstTarget.end()) continue;
        ++merged;
        const uint32_t t = hit->second;
        std::string_view firstName, firstValue;
        SplitKeyLine(source[valueLine], firstName, firstValue);
        if (firstValue.empty()) {
            edits[t].removed = true;
            if (nextSameName[t] == kNone)
                firstTarget.erase(hit);
            else
                hit->second = nextSameName[t];
        } else {
            edits[t].nameLine = static_cast<uint32_t>(j);
            edits[t].valueLine = valueLine;
        }
    }
    if (merged == 0) return 0;

    LineList out;
    out.reserve(count, target.byteSize() + source.byteSize());
    std::string line;
    for (std::size_t i = 0; i < count; ++i) {
        const Edit& e = edits[i];
        if (e.removed) continue;
        if (e.nameLine == kNone) {
            out.push_back(target[i]);
            continue;
        }
        std::string_view name, value, ignored;
        SplitKeyLine(source[e.nameLine], name, ignored);
        SplitKeyLine(source[e.valueLine], ignored, value);
        line.assign(name);
        line.push_back('=');
        line.append(value);
        out.push_back(line);
    }
    target = std::move(out);
    return merged;
}

int MergeKeyFiles(std::string_view sourcePath, std::string_view targetPath,
                  const TextFileOptions& options) {
    const TextFile source = LoadTextFile(sourcePath, options.mode);
    TextFile target = LoadTextFile(targetPath, options.mode);
    const int merged = MergeKeys(source.lines, target.lines);
    if (options.backup) BackUpBeforeWriting(targetPath, options.recorder);
    SaveTextLines(targetPath, target.lines, target.format, options.recorder);
    return merged;
}

}  // namespace ferro
