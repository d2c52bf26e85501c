#include "platform/sys_calls.h"

#include <fcntl.h>
#include <sys/syscall.h>
#include <liburing.h>
#include <errno.h>
#include <stdio.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace ferro::sys {
namespace {

int Ioctl(int fd, unsigned long request, void* argument) { return ::ioctl(fd, request, argument); }

long Getxattrat(int dirFd, const char* name, unsigned atFlags, const char* attribute, void* args,
                size_t argsSize) {
#if defined(__x86_64__) || defined(__aarch64__)
    constexpr long kGetxattrat = 464;
    return syscall(kGetxattrat, dirFd, name, atFlags, attribute, args, argsSize);
#else
    errno = ENOSYS;
    return -1;
#endif
}

constexpr Calls kReal{::renameat2, ::rename, ::link,   ::fchmod, ::fchown,
                      ::fsetxattr, Ioctl,    ::syncfs, ::fsync, ::io_uring_queue_init,
                      ::io_uring_submit_and_wait, Getxattrat};

Calls g_table = kReal;

}  // namespace

Calls& Table() { return g_table; }
const Calls& Real() { return kReal; }

}  // namespace ferro::sys
