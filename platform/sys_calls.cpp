#include "platform/sys_calls.h"

#include <fcntl.h>
#include <liburing.h>
#include <stdio.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace ferro::sys {
namespace {

int Ioctl(int fd, unsigned long request, void* argument) { return ::ioctl(fd, request, argument); }

constexpr Calls kReal{::renameat2, ::rename, ::link,   ::fchmod, ::fchown,
                      ::fsetxattr, Ioctl,    ::syncfs, ::fsync, ::io_uring_queue_init,
                      ::io_uring_submit_and_wait};

Calls g_table = kReal;

}  // namespace

Calls& Table() { return g_table; }
const Calls& Real() { return kReal; }

}  // namespace ferro::sys
