// What the platform's file calls share about one entry of a folder: its
// attributes worked out from the mode, the DOS record and the disk's own
// bits, its times, and the record's reading and writing. Not for use
// outside platform/.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/disk.h"
#include "platform/dosattrib.h"
#include "platform/fs.h"

namespace ferro::entry {

inline constexpr int64_t kNsPerSec = 1000000000LL;
// Bits of the DOS record that Linux cannot express itself.
inline constexpr uint32_t kStoredBits = attr::Hidden | attr::System | attr::Archive |
                                        attr::Temporary | attr::Offline | attr::NotContentIndexed;
// The fields of statx an entry holds.
inline constexpr unsigned kEntryStatx =
    STATX_TYPE | STATX_MODE | STATX_SIZE | STATX_ATIME | STATX_MTIME | STATX_BTIME;

// Set LastFsProblem() and say false.
bool Fail(FsProblem problem);
bool FailErrno();

FileTime ToFileTime(const statx_timestamp& ts);
timespec ToTimespec(FileTime t);
// A name that starts with '.', other than "." and "..": hidden.
bool IsDotName(std::string_view name);

// The DOS record of a disk path; of an entry of an open folder by its name.
bool ReadDosAttrib(const char* diskPath, DosAttrib& value);
bool ReadDosAttribAt(int dirFd, const char* name, DosAttrib& value);
// Whether the kernel reads records of an open folder's entries by name in
// the folder (getxattrat), not through a path; asked once.
bool RecordsReadInFolder(int dirFd);
// Writes the record, briefly lending the owner write permission when a
// read-only file would refuse it (root never needs that).
bool WriteDosAttrib(const std::string& diskPath, const DosAttrib& value);

// The attributes of an entry from its mode and DOS record (nullptr: none);
// targetIsDir tells, for a link, whether it leads to a folder.
uint32_t ComputeAttributes(const struct stat& st, std::string_view gbkName, const DosAttrib* dos,
                           bool targetIsDir);
// Whether a link leads to a folder: by its name in an open folder
// (dirFd >= 0) or by its full disk path.
bool LinkTargetIsDir(int dirFd, const char* name);

// An entry from its statx and its DOS record (nullptr: none); targetDir
// tells, for a link, whether it leads to a folder.
void EntryFromStatx(std::string_view gbkName, const struct statx& sx, const DosAttrib* dos,
                    bool targetDir, FindEntry& e);
// The traits of the disk an entry is on (by its name in an open folder,
// dirFd >= 0, or by its full disk path).
io::DiskTraits TraitsAt(dev_t dev, int dirFd, const char* name);
// An entry from its statx: the rest (the DOS record, a link's target, the
// disk's own attributes) is looked up by name in an open folder (dirFd >= 0)
// or by full disk path. known: the traits of the entry's disk where the
// caller knows them (a folder reader knows its folder's), nullptr to look
// them up.
void FinishEntry(int dirFd, const char* name, std::string_view gbkName, const struct statx& sx,
                 FindEntry& e, const io::DiskTraits* known = nullptr);
// Everything about one entry: by its name in an open folder (dirFd >= 0)
// or by its full disk path (dirFd < 0).
bool FillEntry(int dirFd, const char* name, std::string_view gbkName, FindEntry& e,
               const io::DiskTraits* known = nullptr);

}  // namespace ferro::entry
