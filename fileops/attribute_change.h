// Attribute change of the ticked rows' files (and, when asked, of the
// folders that hold them): the chosen set replaces the whole attribute set.
#pragma once

#include <cstdint>

#include "fileops/filelist.h"
#include "fileops/ticked_rows.h"

namespace ferro {

struct AttributeSettings {
    bool archive = true;
    bool system = false;
    bool readOnly = false;
    bool hidden = false;
    bool foldersToo = false;  // also each file's folder, once per run of rows

    // The attribute value; 0 when nothing is chosen.
    uint32_t Value() const;
};

// Sets every ticked row's file, then its folder when asked and not the
// folder just set (folders are not counted). The list itself does not
// change.
RunSummary ChangeAttributes(FileList& files, const AttributeSettings& settings,
                            RunHost* host = nullptr);

}  // namespace ferro
