// Finds an entry point of one of the program's modules (the window, the
// readers whose libraries are slow to load), loading the
// module the first time it is asked for. Installed programs find them in
// their library folder; a program in the build tree (and its tests) in the
// build tree's. nullptr when the module cannot be loaded or lacks the
// entry (said once on standard error).
#pragma once

namespace ferro {

void* ModuleEntry(const char* module, const char* entry);

}  // namespace ferro
