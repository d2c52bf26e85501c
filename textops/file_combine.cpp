#include "textops/file_combine.h"

namespace ferro {

void AppendFileLines(LineList& combined, const LineList& file) {
    // No reserve here: growing by exact amounts file after file would copy
    // the whole combined text once per file.
    for (std::size_t i = 0; i < file.size(); ++i) combined.push_back(file[i]);
}

}  // namespace ferro
