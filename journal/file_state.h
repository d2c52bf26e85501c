// What the journal notes about a file before a run changes it and after:
// which file it is (device and inode), its size, times, mode and raw DOS
// record; after a rewrite also its change time (which no call of a user can
// set back) and, for small files, a hash of the content. A link is read as
// itself, never followed. Paths are GBK.
//
// The journal reads and puts back these values itself, as raw values,
// because undo must give a file back exactly what it had (a DOS record that
// was absent stays absent), which the Windows-shaped calls of fs.h do not
// promise. Everything else goes through fs.h.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace ferro::journal {

struct FileState {
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t size = 0;
    int64_t modifiedNs = 0;  // since 1970, UTC
    int64_t accessedNs = 0;
    uint32_t mode = 0;       // type and permission bits
    bool hasDos = false;     // whether user.DOSATTRIB is there
    std::string dos;         // its raw value
    int64_t changedNs = 0;   // ctime; 0 where not recorded (older records)
    bool hasHash = false;    // the content hash was recorded
    uint64_t hash = 0;

    bool IsFolder() const;
    bool IsReadOnly() const;  // no write bit for the owner
};

// False (LastFsProblem() says why) when nothing is there. withDos: also the
// DOS record (an extra call).
bool ReadFileState(std::string_view path, FileState& state, bool withDos);

// Files up to this size get a content hash after a rewrite.
inline constexpr int64_t kHashedFileBytes = int64_t{16} << 20;

// The hash of a file's content (XXH3, 64 bits); false when it cannot be
// read.
bool HashFileContent(std::string_view path, uint64_t& hash);

// Same file with the same content, as far as can be told without reading
// it: inode, size and modified time.
bool SameFingerprint(const FileState& a, const FileState& b);
// Whether a file is still exactly what a run left (`after`): the same
// fingerprint and, where the run recorded them, the same change time or
// else the same content hash. An edit that keeps the size and sets the
// modified time back is caught by the change time; a change of the change
// time alone (a rename, a new link) is forgiven when the recorded hash
// shows the content is the same. now is read with ReadFileState.
bool LeftAsRecorded(std::string_view path, const FileState& now, const FileState& after);
// The same, and the same attributes (write bits and DOS record) too.
bool SameFingerprintAndAttributes(const FileState& a, const FileState& b);

// Gives a file back its DOS record (or its absence), mode and times.
bool RestoreMetadata(std::string_view path, const FileState& old);
// Sets the modified time alone.
bool SetModifiedTime(std::string_view path, int64_t modifiedNs);

// The bytes of one text field of a journal record, and back: the state as
// "device inode size modified accessed mode dos [changed [hash]]" with dos
// as hex ("-" when absent) and the hash as hex.
std::string EncodeState(const FileState& state);
bool DecodeState(std::string_view text, FileState& state);

}  // namespace ferro::journal
