// The desktop's trash (the freedesktop.org trash, as file managers use it):
// a file moved there can be put back from the file manager, or by
// RestoreFromTrash.
//
// Files on the file system of the user's data folder go to the home trash,
// $XDG_DATA_HOME/Trash (~/.local/share/Trash); files elsewhere go to the
// trash at the top of their own file system: $topdir/.Trash/$uid when
// $topdir/.Trash is a real folder with the sticky bit, else
// $topdir/.Trash-$uid. A trash holds the file under files/ and a record of
// where it came from and when under info/NAME.trashinfo; the record is
// written first, so a file never sits in the trash without it.
#pragma once

#include <string>
#include <string_view>

#include "platform/fs.h"

namespace ferro {

// A file in the trash: all GBK paths.
struct TrashedFile {
    std::string original;  // where it was, absolute
    std::string file;      // where it is now: .../files/NAME
    std::string info;      // its record: .../info/NAME.trashinfo
};

struct TrashResult {
    enum class Outcome {
        Trashed,  // the file is in the trash: see item
        NoTrash,  // its file system has no trash the user may use
        Failed,   // see problem
    };
    Outcome outcome = Outcome::Failed;
    FsProblem problem = FsProblem::None;
    TrashedFile item;
};

// Moves a file (or a link, not what it points to) to the trash. Read-only
// files are refused (FsProblem::ReadOnly), as DeleteFile refuses them, and
// so are folders (NotAFile). A name already in the trash gets a new one.
TrashResult MoveToTrash(std::string_view path);

// Moves a trashed file back to where it was and drops its record. Never
// replaces: a file now at the original path makes it fail (Exists), and so
// does a folder that is gone (Missing); LastFsProblem() says why.
bool RestoreFromTrash(const TrashedFile& item);

}  // namespace ferro
