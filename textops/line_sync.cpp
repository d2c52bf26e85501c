#include "textops/line_sync.h"

#include <algorithm>

#include "platform/pump.h"
#include "platform/text.h"
#include "textops/textfile.h"

namespace ferro {

int SyncLinesByKeyword(const std::vector<std::string>& keywords, const LineList& source,
                       LineList& target, const KeywordPatterns* patterns) {
    std::vector<std::string> lowered;
    if (!patterns) {
        lowered.reserve(keywords.size());
        for (const std::string& k : keywords) lowered.push_back(AnsiLower(k));
    }
    KeywordPatterns::Hits hits;
    if (patterns) hits = patterns->Scan(source, LineBytes::Gbk);

    std::vector<bool> copied(target.size(), false);
    int count = 0;
    std::string line;
    // Source lines past the target's end have nothing to replace.
    const std::size_t reach = std::min(source.size(), target.size());
    for (std::size_t j = 0; j < reach; ++j) {
        ProcessPendingMessages();
        if (patterns) {
            if (!hits.At(j)) continue;
        } else {
            line.assign(source[j]);
            AnsiLowerInPlace(line);
            if (!ContainsAnyKeyword(line, lowered)) continue;
        }
        copied[j] = true;
        ++count;
    }
    if (count == 0) return 0;

    LineList out;
    out.reserve(target.size(), target.byteSize() + source.byteSize());
    for (std::size_t i = 0; i < target.size(); ++i)
        out.push_back(copied[i] ? source[i] : target[i]);
    target = std::move(out);
    return count;
}

int SyncLineFiles(const std::vector<std::string>& keywords, std::string_view sourcePath,
                  std::string_view targetPath, const TextFileOptions& options,
                  const KeywordPatterns* patterns) {
    const TextFile source = LoadTextFile(sourcePath, options.mode);
    TextFile target = LoadTextFile(targetPath, options.mode);
    const int copied = SyncLinesByKeyword(keywords, source.lines, target.lines, patterns);
    if (options.backup) BackUpBeforeWriting(targetPath, options.recorder);
    SaveTextLines(targetPath, target.lines, target.format, options.recorder);
    return copied;
}

}  // namespace ferro
