// DOS attributes that a disk keeps itself: FAT's own attribute bits, read
// and set through the kernel's vfat driver (FAT_IOCTL_GET_ATTRIBUTES and
// FAT_IOCTL_SET_ATTRIBUTES), and NTFS's attribute and created time, which
// ntfs-3g and the kernel's ntfs3 show as system.ntfs_attrib_be and
// system.ntfs_crtime_be. Elsewhere the attributes live in user.DOSATTRIB
// (dosattrib.h). Not for use outside platform/.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/disk.h"
#include "platform/times.h"

namespace ferro::io {

struct NativeDos {
    uint32_t attributes = 0;  // attr:: bits as the disk keeps them
    std::optional<FileTime> created;
};

// Reads them: of name in the open folder dirFd, or of the file open as
// dirFd itself when name is empty, or of the disk path name when dirFd < 0.
// False where the disk keeps none, or for a link, or when the file cannot
// be asked.
bool ReadNativeDos(const DiskTraits& traits, int dirFd, const char* name, NativeDos& dos);

// Sets the attribute bits a user may set (attr::Settable, Normal left out).
// False (errno set) where the disk keeps none or refuses them.
bool WriteNativeAttributes(const DiskTraits& traits, const std::string& disk, uint32_t attributes);
// Sets the created time; false where the disk has no call for it (FAT).
bool WriteNativeCreated(const DiskTraits& traits, const std::string& disk, FileTime created);

// The attributes as the list shows them, given those worked out from the
// mode and the DOS record: the disk's own bits take the place of the mode's
// read-only and of the record's bits.
uint32_t WithNative(uint32_t computed, const NativeDos& dos);

// Whether a regular file refuses writes and deletion: no write bit for the
// owner, or the disk's own read-only bit where the mode does not show it
// (ntfs-3g gives every file the mount's mode).
bool IsReadOnlyFile(const struct stat& st, const std::string& disk);

// The disk's own record as bytes, for the undo journal to note and put back
// as it was; false where the disk keeps none.
bool ReadNativeRecord(const std::string& disk, std::string& record);
bool WriteNativeRecord(const std::string& disk, std::string_view record);

}  // namespace ferro::io
