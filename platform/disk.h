// What kind of disk a file is on, as far as the platform's calls care: the
// disks of Windows (FAT, exFAT, NTFS, shares of Windows servers), whether
// mounted by the kernel or through a FUSE driver, refuse names Windows
// refuses and keep DOS attributes in places of their own. Not for use
// outside platform/.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace ferro::io {

struct DiskTraits {
    // Where the DOS attributes (and a created time set by the user) live.
    enum class Attributes : uint8_t {
        Record,     // user.DOSATTRIB, read-only as the owner's write bit
        FatIoctl,   // the FAT driver's own bits (FAT_IOCTL_GET/SET_ATTRIBUTES)
        NtfsXattr,  // system.ntfs_attrib_be and system.ntfs_crtime_be
    };
    Attributes attributes = Attributes::Record;
    bool windowsNames = false;  // refuses "*:<>?\| and trailing dots or spaces
    bool asciiNames = false;    // a driver that takes plain ASCII names only
};

// The traits of the disk of device dev (from stat of diskPath, which is on
// it). Read from the mount table once per device, then kept until the mount
// table changes (a device number is given to the next disk mounted once its
// disk is gone); a disk whose type says nothing (a FUSE block device) is
// asked for its NTFS attribute.
DiskTraits TraitsOf(dev_t dev, const std::string& diskPath);
// The traits of device dev where they are known already (no file read).
bool KnownTraits(dev_t dev, DiskTraits& traits);
// The same for a path (its nearest existing folder); Posix traits when
// nothing there can be looked up.
DiskTraits TraitsOfPath(const std::string& diskPath);

// Whether a name (GBK, no folder) could be refused by some disk for its
// characters or length, so that its disk must be asked; false for the names
// every disk takes, which cost nothing to check. asciiToo: names outside
// ASCII too (which only a driver that takes ASCII alone refuses, and that
// driver says so itself when it is asked to make one).
bool NameNeedsDiskCheck(std::string_view gbkName, bool asciiToo);
// Whether a disk with these traits takes the name (GBK, no folder).
bool DiskTakesName(const DiskTraits& traits, std::string_view gbkName);

// For tests: the traits that paths on device dev are to have (as if the
// mount table said so), until ForgetDiskTraitsForTesting.
void SetDiskTraitsForTesting(dev_t dev, const DiskTraits& traits);
void ForgetDiskTraitsForTesting();

}  // namespace ferro::io
