// The file system as the program sees it: Windows-style attributes, times
// and refusals, implemented with POSIX and Linux calls. Every path is GBK
// text (see codec.h) with '/' as separator.
//
// Attributes: read-only is the absence of the owner's write bit; hidden,
// system and archive (and a created time set by the user) live in the
// user.DOSATTRIB extended attribute in the record Samba writes; names
// starting with '.' are always hidden; symbolic links are reparse points,
// FIFOs, sockets and devices are devices. A regular file without the record
// reads as archive, a folder as directory alone.
//
// Refusals that Windows makes and Linux doesn't are made here, whoever runs
// the program (root included): a read-only file is neither written nor
// deleted, a rename never replaces an existing file.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/mask.h"
#include "platform/times.h"

namespace ferro {

inline constexpr char kPathSep = '/';

namespace attr {
inline constexpr uint32_t ReadOnly = 0x1;
inline constexpr uint32_t Hidden = 0x2;
inline constexpr uint32_t System = 0x4;
inline constexpr uint32_t VolumeId = 0x8;
inline constexpr uint32_t Directory = 0x10;
inline constexpr uint32_t Archive = 0x20;
inline constexpr uint32_t Device = 0x40;
inline constexpr uint32_t Normal = 0x80;
inline constexpr uint32_t Temporary = 0x100;
inline constexpr uint32_t SparseFile = 0x200;
inline constexpr uint32_t ReparsePoint = 0x400;
inline constexpr uint32_t Compressed = 0x800;
inline constexpr uint32_t Offline = 0x1000;
inline constexpr uint32_t NotContentIndexed = 0x2000;
inline constexpr uint32_t Encrypted = 0x4000;
inline constexpr uint32_t Invalid = 0xFFFFFFFFu;
// The bits SetFileAttributes accepts.
inline constexpr uint32_t Settable = ReadOnly | Hidden | System | Archive | Normal |
                                     Temporary | Offline | NotContentIndexed;
}  // namespace attr

struct FindEntry {
    std::string name;  // GBK, without folder
    uint32_t attributes = 0;
    int64_t size = 0;  // full 64-bit size
    FileTime creationTime = 0;
    FileTime lastAccessTime = 0;
    FileTime lastWriteTime = 0;
};

// Find-first / find-next over "folder/mask" (a pattern without wildcards
// looks up one name). attrSet works as the run-time library's find-first
// does: entries with hidden, system, volume or directory bits that attrSet
// lacks are left out; all other entries are returned, "." and ".." included,
// in the order the file system gives them. '?' and '*' are legal in names
// here, so a path that names one file is looked up with StatPath instead.
class FileFinder {
public:
    FileFinder();
    ~FileFinder();
    FileFinder(const FileFinder&) = delete;
    FileFinder& operator=(const FileFinder&) = delete;

    bool First(std::string_view pattern, uint32_t attrSet, FindEntry& entry);
    bool Next(FindEntry& entry);
    void Close();

private:
    struct Impl;
    Impl* impl_;
};

// A lighter walk over folders for hot loops (the search): names and kinds
// straight from the directory, with attributes, sizes and times fetched only
// for the entries that need them. A listing is read whole when the folder is
// opened and comes in the order a Windows file system lists a folder: "."
// and "..", then the names by CompareFileNames (platform/collate.h).
struct DirItem {
    enum Kind : uint8_t { Unknown, File, Folder, Link, Other };
    std::string name;  // GBK
    Kind kind = Unknown;
    std::string diskName;  // the bytes on disk, for Stat, Attributes and Enter
};

// An entry of the open folder's listing seen where the reader keeps it: no
// copy is made. The views last until the reader opens, enters or leaves a
// folder.
struct DirEntryView {
    std::string_view name;           // GBK
    const char* diskName = nullptr;  // the bytes on disk, NUL-terminated
    DirItem::Kind kind = DirItem::Unknown;

    DirItem ToItem() const { return DirItem{std::string(name), kind, std::string(diskName)}; }
};

class FolderReader {
public:
    FolderReader();
    ~FolderReader();
    FolderReader(const FolderReader&) = delete;
    FolderReader& operator=(const FolderReader&) = delete;

    bool Open(std::string_view folder);
    bool Next(DirItem& item);  // false at the end
    bool Next(DirEntryView& entry);
    // Full entry (attributes, size, times) of an item of the open folder.
    bool Stat(const DirItem& item, FindEntry& entry);
    bool Stat(const DirEntryView& item, FindEntry& entry);
    // Stat of several entries at once (the kernel takes the stat calls and
    // the reads of the DOS records in batches where it can); ok[i] tells
    // whether entries[i] was filled.
    void StatMany(const DirEntryView* items, std::size_t count, FindEntry* entries, bool* ok);
    // Attributes only; attr::Invalid when the entry vanished.
    uint32_t Attributes(const DirItem& item);
    // Goes down into a folder item of the open folder (never through a
    // link), giving its attributes; its listing is read at the first Next.
    // The reader never forms the folder's path and holds only the folders
    // near the top of the walk open, so neither the length of a path nor the
    // number of open files limits a walk. False, with the open folder kept,
    // when the item cannot be opened.
    bool Enter(const DirItem& folder, uint32_t& attributes);
    // Back up to the folder that Enter came from: its own descriptor near
    // the top, "..", or path when ".." no longer leads there (the folder was
    // moved meanwhile). Its listing is not read again. False when it cannot
    // be reached.
    bool Leave(std::string_view path);
    // The listing of the open folder could not be read whole (an I/O error).
    bool Failed() const;
    void Close();

private:
    struct Impl;
    Impl* impl_;
};

// Looks one path up (no wildcards); false when nothing is there.
bool StatPath(std::string_view path, FindEntry& entry);

bool FileExists(std::string_view path);       // anything but a folder
bool DirectoryExists(std::string_view path);  // a folder (not a link to one)
// Whether anything has this name: a file, a folder or a link (dangling or
// not). One lstat, no attributes read: what a rename that never replaces
// needs to know of its target.
bool NameTaken(std::string_view path);

uint32_t GetFileAttributes(std::string_view path);
// Replaces the whole attribute set (Normal alone means none). Fails for bits
// that need the extended attribute where the file system has none.
bool SetFileAttributes(std::string_view path, uint32_t attributes);

struct FileTimes {
    FileTime creation = 0;
    FileTime lastAccess = 0;
    FileTime lastWrite = 0;
};
bool GetFileTimes(std::string_view path, FileTimes& times);
// Sets the given times; nullopt keeps a time. The created time is recorded
// in user.DOSATTRIB (no Linux call sets a birth time); without extended
// attributes a request to set it fails and nothing is changed.
bool SetFileTimes(std::string_view path, std::optional<FileTime> creation,
                  std::optional<FileTime> lastAccess, std::optional<FileTime> lastWrite);

// Why the last call of this file on this thread failed. Every call that
// returns false (or attr::Invalid) sets it; a call that succeeds leaves it
// as it was.
enum class FsProblem : uint8_t {
    None,
    Missing,    // nothing there, or a path that cannot name a file
    Exists,     // the target name is taken
    ReadOnly,   // the read-only attribute refuses it
    NoAccess,   // permissions refuse it
    NotAFile,   // a folder, device or link where a file was meant
    NoSpace,    // the disk or a quota is full
    Io,         // anything else
    NameRefused,  // the disk does not take the name (its characters or length)
};
FsProblem LastFsProblem();
// For the few callers that fail for a reason of their own.
void SetLastFsProblem(FsProblem problem);
// The problem an errno value stands for.
FsProblem FsProblemFromErrno(int error);

// Renames or moves a file or folder; never replaces an existing target, on
// any file system. A new name that differs in case alone is the file's own
// on a case-insensitive disk, and is given; a name the target's disk does
// not take fails with NameRefused before anything is changed.
bool MoveFile(std::string_view from, std::string_view to);

// Whether the disk of a folder takes a file name (GBK, no folder): the
// disks of Windows (FAT, exFAT, NTFS, Windows shares) refuse "*:<>?\| and
// control characters, trailing dots and spaces and names of more than 255
// UTF-16 units; one FUSE driver of FAT takes plain ASCII names alone.
bool NameAllowedOnDisk(std::string_view folder, std::string_view name);

// Whether a target path is taken by the very file of path (a case-insensitive
// disk that sees a name differing in case alone as the file's own).
bool IsSameEntry(std::string_view path, std::string_view target);

// After a kill between the two steps of a rename that changes case alone:
// when neither name is there and the file waits under its temporary name,
// it is given the name from (the rename is undone). True when that was so.
bool PutBackCaseRename(std::string_view from, std::string_view to);
// Copies a regular file, replacing an existing target unless failIfExists;
// a read-only target is not replaced. Owner and group (where allowed), mode
// with its setuid, setgid and sticky bits, ACL, extended attributes, DOS
// attributes and the modified time go along. The copy appears whole or not
// at all; where no new file can take the target's place (a folder the user
// cannot write, a sticky folder), an existing target the user may write is
// overwritten in place. False for every failure, a partial copy included.
bool CopyFile(std::string_view from, std::string_view to, bool failIfExists);
// Deletes a file (not a folder); refuses read-only files.
bool DeleteFile(std::string_view path);

// Reads a whole regular file; false for folders, devices and FIFOs (never
// blocks on them) and for files that cannot be read.
bool ReadFileBytes(std::string_view path, std::string& data);

// The same piece by piece, for readers that convert as they go: begin gets
// the file's size once it is open, then take gets each piece in order (a
// view valid until take returns) and returns false to stop early (or
// throws: the file is closed either way). Window messages are processed
// between pieces.
bool ReadFilePieces(std::string_view path, const std::function<void(std::uint64_t size)>& begin,
                    const std::function<bool(std::string_view piece)>& take);

// Keeps the old content of a file that a safe write is about to change, in
// place of the write's own rescue copy (an undo journal does this).
class OldContentKeeper {
public:
    virtual ~OldContentKeeper() = default;
    // Called once per write of an existing file, before the first step that
    // changes it; path is GBK (the file itself when the path named a link).
    // inPlace: the file is about to be overwritten where it stands, so its
    // bytes must be copied now. Otherwise it is about to be replaced by a new
    // file and the old inode stays whole as long as a hard link to it does.
    // False gives up the write, which then changes nothing.
    virtual bool Keep(const std::string& path, bool inPlace) = 0;
    // After Keep(path, true): the GBK path of the copy, read back should the
    // write fail part-way. Empty: there is none, and the write keeps its own
    // rescue copy as well.
    virtual std::string KeptCopy(const std::string& path) { return {}; }
    // Each piece of the new content, in order, as it is written (a new file
    // included), so that the keeper can note what the write left.
    virtual void Wrote(std::string_view piece) {}
};

// Replaces the contents of a file without ever leaving it half-written, and
// keeps every property of it: owner, group, mode (setuid, setgid and sticky
// bits included), ACL and extended attributes, DOS attributes and created
// time. Read-only files are refused. A new file is created the same way.
//
// The bytes go to an unnamed new file in the same folder (a hidden
// temporary name where the file system has no unnamed files), which takes
// the original's properties, is flushed and takes the original's name in one
// step; the folder is flushed too. On failure the original is untouched and
// nothing is left behind.
//
// Where the new file could not keep the owner (the user is not root and the
// file is someone else's) or cannot be made beside the file (a folder the
// user cannot write, a sticky folder), and for files with several hard
// links, the file is written in place instead: its old bytes are first kept
// durably (by the keeper, or in a rescue copy under the state folder, see
// rescue.h), then written over, cut to length and flushed; a failure puts
// them back, and a kill is mended by RecoverInterruptedWrites() at the next
// start.
bool WriteFileSafely(std::string_view path, std::string_view data,
                     OldContentKeeper* keeper = nullptr);
// The same, with the contents produced piece by piece: produce calls write
// with each piece in order and returns false to give up (nothing changes).
// produce is called at most once.
using ChunkWriter = std::function<bool(std::string_view piece)>;
bool WriteFileSafely(std::string_view path, const std::function<bool(const ChunkWriter&)>& produce,
                     OldContentKeeper* keeper = nullptr);
// The same; produce also hears whether the file is written where it stands
// (see above). Its old bytes are then gone once the first piece is written,
// so a producer that reads the file while writing it must read it first.
using PlacedProducer = std::function<bool(const ChunkWriter&, bool inPlace)>;
bool WriteFileSafely(std::string_view path, const PlacedProducer& produce,
                     OldContentKeeper* keeper = nullptr);

std::string GetCurrentDir();
bool SetCurrentDir(std::string_view path);
// The folder of the running program, ending with '/'.
std::string ProgramDir();

// Path helpers on GBK text.
std::string ExtractFileName(std::string_view path);  // after the last '/'
std::string ExtractFileDir(std::string_view path);   // before the last '/', no trailing '/'
std::string ExtractFileExt(std::string_view path);   // from the last '.' of the name, dot included

// The DOS attributes a disk keeps itself (FAT's own bits, NTFS's attribute
// and created time) as text, for the undo journal to note and put back as
// they were; false where the disk keeps none (then they are in the record
// of user.DOSATTRIB and the mode).
bool ReadDiskAttributeRecord(std::string_view path, std::string& record);
bool WriteDiskAttributeRecord(std::string_view path, std::string_view record);

// Flushes a folder's entries (the names made, renamed or removed in it) to
// disk. The path is disk bytes, as the journal and the platform's own code
// hold their folders; false when it cannot be opened or flushed.
bool FsyncFolder(const std::string& diskFolder);

// Whether the file system of a path keeps user extended attributes.
bool SupportsExtendedAttributes(std::string_view path);

}  // namespace ferro
