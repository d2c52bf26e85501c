// Checksums of a file's contents: MD5 by Qt's QCryptographicHash, CRC-32 by
// zlib's crc32 (the checksum of ZIP and PNG, as file tools show it), both in
// one pass over the file, a megabyte at a time.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <QCryptographicHash>
#include <cerrno>
#include <cstdio>
#include <vector>

#include "metadata/readers.h"

namespace ferro::metadata_detail {

void ReadChecksums(const std::string& disk, FileValues& v) {
    // A FIFO or device never blocks the reader: only regular files are read.
    const int fd = open(disk.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return;
    struct stat st{};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return;
    }
    QCryptographicHash md5(QCryptographicHash::Md5);
    uLong crc = crc32(0L, Z_NULL, 0);
    std::vector<char> buffer(std::size_t{1} << 20);
    bool failed = false;
    for (;;) {
        const ssize_t n = read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) failed = true;
        if (n <= 0) break;
        md5.addData(QByteArrayView(buffer.data(), n));
        crc = crc32(crc, reinterpret_cast<const Bytef*>(buffer.data()), static_cast<uInt>(n));
    }
    close(fd);
    if (failed) return;
    v.md5 = md5.result().toHex().toStdString();
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08lx", static_cast<unsigned long>(crc));
    v.crc32 = hex;
}

}  // namespace ferro::metadata_detail
