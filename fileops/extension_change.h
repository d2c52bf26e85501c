// Extension change of the ticked rows of the file list: each file keeps its
// name up to the last '.' and gets the extension the pattern gives, where
// ${ext} stands for its old extension without the dot. A rename never
// replaces an existing file.
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

// Renames every ticked row's file, processing window messages between
// files; columns 0 and 5 of each renamed row follow the new name. Every
// file left as it was is reported with its reason.
RunSummary ChangeExtensions(FileList& files, std::string_view typedPattern,
                            RunHost* host = nullptr);

}  // namespace ferro
