// Small helpers of the platform's own file code (safe writes, rescue copies,
// the trash) over disk paths and descriptors. Not for use outside platform/.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

namespace ferro::io {

// GBK path to disk bytes; false for an empty path, a NUL byte or text that
// is not GB18030.
bool ToDisk(std::string_view gbk, std::string& disk);

// The folder of a disk path ("." when it has none) and its last part.
std::string FolderOf(const std::string& disk);
std::string NameOf(const std::string& disk);

bool WriteAll(int fd, const char* p, std::size_t n);
bool PWriteAll(int fd, const char* p, std::size_t n, off_t at);

// Has the disk start on a file's bytes while more are being written, so
// that the flush at the end has little left to do: call Wrote with the end
// of what has been written so far.
class Writeback {
public:
    explicit Writeback(int fd) : fd_(fd) {}
    void Wrote(off_t end);

private:
    int fd_;
    off_t started_ = 0;  // writing has been started up to here
};

// Renames a file or folder without ever replacing an existing target, on
// every file system: the kernel's no-replace rename; where the file system
// refuses the flag, a hard link and the removal of the old name; where it
// has no hard links either, a rename after checking that the target is free
// (see file_io.cpp for the window this leaves). A target that a
// case-insensitive disk takes as the file itself (a rename that changes
// case alone) goes through CaseRenameTemporary(to). errno set on failure.
bool MoveNoReplace(const std::string& from, const std::string& to);

// The name a rename that changes case alone gives the file between its two
// steps: hidden, beside the target and made from it, so that a run that
// knows only the two names finds it after a kill.
inline constexpr const char* kCaseRenameMark = ".ferro-case";
std::string CaseRenameTemporary(const std::string& to);

// Whether two disk paths name one entry of a folder under names that differ
// in case alone (a case-insensitive disk).
bool SameEntry(const std::string& a, const std::string& b);

// Copies the bytes of in to out, both from offset 0; true when exactly
// `size` bytes were copied and in held no more (errno set otherwise).
bool CopyBytes(int in, int out, off_t size);

// Six random letters and digits, for names nobody else uses.
std::string RandomTag();

}  // namespace ferro::io
