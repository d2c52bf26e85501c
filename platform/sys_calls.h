// The few system calls that the platform layer has a fallback for, called
// through one table, so that a test can make any of them fail the way a
// file system that lacks it fails (EINVAL from the no-replace rename on
// FAT, EPERM from link, ENOSYS from fchmod, EOPNOTSUPP from fsetxattr, an
// ioctl the driver does not know, a flush that fails, a kernel without
// io_uring or getxattrat) on any machine. The program never changes
// the table; a test that does puts it back (ScopedSysCall).
#pragma once

#include <sys/types.h>

struct io_uring;

namespace ferro::sys {

struct Calls {
    int (*renameat2)(int olddirfd, const char* oldpath, int newdirfd, const char* newpath,
                     unsigned flags);
    int (*rename)(const char* oldpath, const char* newpath);
    int (*link)(const char* oldpath, const char* newpath);
    int (*fchmod)(int fd, mode_t mode);
    int (*fchown)(int fd, uid_t owner, gid_t group);
    int (*fsetxattr)(int fd, const char* name, const void* value, size_t size, int flags);
    int (*ioctl)(int fd, unsigned long request, void* argument);
    // The flushes of a group commit (group_write.h): one disk whole, or one
    // file where the disk's own flush cannot be trusted or failed.
    int (*syncfs)(int fd);
    int (*fsync)(int fd);
    // The walk's ring (liburing): made once, then handed a batch of stat
    // calls at a time; where either fails the walk makes the calls itself.
    int (*io_uring_queue_init)(unsigned entries, struct io_uring* ring, unsigned flags);
    int (*io_uring_submit_and_wait)(struct io_uring* ring, unsigned waitCount);
    // getxattrat (Linux 6.13): an extended attribute of an entry of an open
    // folder, by name; older kernels answer ENOSYS, and the record is then
    // read through a path.
    long (*getxattrat)(int dirFd, const char* name, unsigned atFlags, const char* attribute,
                       void* args, size_t argsSize);
};

// The table in use; its entries start as the C library's calls.
Calls& Table();
// The C library's calls, for a test's replacement to hand on to.
const Calls& Real();

// Replaces one entry of the table for as long as it lives.
template <typename F>
class ScopedSysCall {
public:
    ScopedSysCall(F Calls::*entry, F replacement) : entry_(entry), saved_(Table().*entry) {
        Table().*entry_ = replacement;
    }
    ~ScopedSysCall() { Table().*entry_ = saved_; }
    ScopedSysCall(const ScopedSysCall&) = delete;
    ScopedSysCall& operator=(const ScopedSysCall&) = delete;

private:
    F Calls::*entry_;
    F saved_;
};
template <typename F, typename G>
ScopedSysCall(F Calls::*, G) -> ScopedSysCall<F>;

}  // namespace ferro::sys
