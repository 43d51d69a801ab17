#include "store/InPlaceWrite.h"

#include "store/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace FileSystem;

namespace InPlaceWrite {

namespace {

constexpr qsizetype ChunkSize = 64 * 1024;

void WriteChangedBytes(int fd, int current, QByteArrayView bytes, const QByteArray& path) {
    QByteArray chunk(ChunkSize, Qt::Uninitialized);
    for (qsizetype offset = 0; offset < bytes.size(); offset += ChunkSize) {
        const qsizetype n = std::min(ChunkSize, bytes.size() - offset);
        const qsizetype got = ReadAllAt(current, chunk.data(), n, offset);
        const char* wanted = bytes.data() + offset;
        qsizetype first = 0;
        while (first < got && chunk[first] == wanted[first])
            ++first;
        if (first == n)
            continue;
        qsizetype last = n;
        while (last > first && last <= got && chunk[last - 1] == wanted[last - 1])
            --last;
        if (!WriteAllAt(fd, wanted + first, last - first, off_t(offset + first)))
            throw NotWritten(errno, path);
    }
}

} // namespace

void Write(int fd, int current, QByteArrayView bytes, const QByteArray& path) {
    const qsizetype size = bytes.size();
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        rlim_t(size) > limit.rlim_cur)
        throw FileError(FileError::DiskFull);
    if (::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, off_t(size)) != 0 &&
        (errno == ENOSPC || errno == EDQUOT || errno == EFBIG))
        throw FileError(FileError::DiskFull);
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        throw FileError::FromErrno(LastErrno(EIO));
    const qsizetype oldSize = qsizetype(st.st_size);

    // Beyond the old end first; cut back to the old size when it fails.
    if (oldSize < size && !WriteAllAt(fd, bytes.data() + oldSize, size - oldSize, off_t(oldSize))) {
        const int e = errno;
        while (::ftruncate(fd, off_t(oldSize)) != 0 && errno == EINTR) {
        }
        throw NotWritten(e, path);
    }
    WriteChangedBytes(fd, current, bytes.first(std::min(oldSize, size)), path);
    // Last, bytes beyond the new end.
    if (oldSize > size && ::ftruncate(fd, off_t(size)) != 0)
        throw NotWritten(LastErrno(EIO), path);
}

} // namespace InPlaceWrite
