// The user's own folders of the XDG base directory layout, where the program
// keeps what must outlive a run (rescue copies, the undo journal) and where
// the desktop keeps its trash. Paths are GBK text like every path inside the
// program.
#pragma once

#include <string>
#include <string_view>

namespace ferro {

// $XDG_STATE_HOME, or ~/.local/state when it is unset or not absolute.
std::string XdgStateHome();
// $XDG_DATA_HOME, or ~/.local/share when it is unset or not absolute.
std::string XdgDataHome();
// The program's own folder under XdgStateHome(): .../ferrovan-batch.
std::string ProgramStateFolder();

// Creates a folder and any missing parents with the given mode;
// true when it exists as a folder afterwards.
bool MakeFolderPath(std::string_view path, unsigned mode);

}  // namespace ferro
