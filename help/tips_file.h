// Where the downloaded tips are kept. The file sits in the program's folder;
// an installed program usually may not write there, so the user's cache
// folder takes it instead.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace ferro {

inline constexpr const char* kTipsFileName = "tipsupd.dat";

// The folders tried for the tips file, in order, each ending with '/': the
// program's folder, then the user's cache folder.
std::vector<std::string> TipsFolders();

struct TipsFileResult {
    bool written = false;
    // The file written; when nothing could be written, the file in the first
    // folder (the one to name in the error).
    std::string path;
};

// Replaces the tips file with exactly these bytes (an empty download makes
// an empty file) in the first folder that takes it; a missing folder is
// created. The old file stays whole when a write fails.
TipsFileResult WriteTipsFile(std::string_view bytes, const std::vector<std::string>& folders);

}  // namespace ferro
