// Extension change of the ticked rows of the file list: each file keeps its
// name up to the last '.' and gets the extension the pattern gives, where
// ${ext} stands for its old extension without the dot and the items of
// metadata/file_items.h (${takentime(...)}, ${md5}...) for what the file
// holds. A rename never replaces an existing file.
#pragma once

#include <string>
#include <string_view>

#include "fileops/filelist.h"
#include "fileops/rename.h"

namespace ferro {

// The pattern as typed, trimmed and in lower case; empty when it is refused
// (empty, or nothing but ${ext}). Otherwise it starts with '.'.
std::string NormalizeExtensionPattern(std::string_view typed);

// The new name of a file under a normalized pattern.
std::string NameWithNewExtension(std::string_view name, std::string_view pattern);

// The new extension (with its dot) a name gets under a normalized pattern,
// as the type column shows it.
std::string NewExtension(std::string_view name, std::string_view pattern);

class ExtensionRule {
public:
    explicit ExtensionRule(std::string_view typedPattern);

    // The normalized pattern; empty when the pattern is refused.
    const std::string& pattern() const { return pattern_; }
    // The new name of a row, or why it has none (a value the pattern needs
    // that the file lacks). With a reader, as RenameRule::NameOf.
    RowName NameOf(const FileList& files, int row, FileValueReader* reader = nullptr,
                   int64_t priority = 0) const;
    // The same with the file's values read already.
    RowName NameOf(const FileList& files, int row, const FileValues& values) const;
    FileValueSet wanted() const { return items_.wanted(); }
    FileValueCache& cache() const { return *cache_; }
    void SetCache(FileValueCache& cache) { cache_ = &cache; }

private:
    RowName NameFrom(const FileList& files, int row, const ItemTexts& values) const;

    std::string pattern_;
    FileItems items_;
    FileValueCache* cache_ = &FileValueCache::Shared();
};

// Renames every ticked row's file, processing window messages between
// files; columns 0 and 5 of each renamed row follow the new name. Every
// file left as it was is reported with its reason.
RunSummary ChangeExtensions(FileList& files, std::string_view typedPattern,
                            RunHost* host = nullptr);

}  // namespace ferro
