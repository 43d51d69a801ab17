#include "store/FileSystem.h"

#include "store/FileLock.h"

#include <QFile>
#include <QHashFunctions>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <unistd.h>

namespace FileSystem {

namespace {

constexpr qsizetype ChunkSize = 64 * 1024;

qint64 WaitSeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(FileLock::Wait).count();
}

size_t HashOfChunk(const char* chunk, qsizetype size, size_t hash) {
    return qHashBits(chunk, size_t(size), hash);
}

} // namespace

int LastErrno(int fallback) {
    const int e = errno;
    return e != 0 ? e : fallback;
}

QString Shown(const QByteArray& path) {
    return QFile::decodeName(path);
}

QString SystemText(int errnoValue) {
    return QString::fromLocal8Bit(std::strerror(errnoValue));
}

FileError AboutFile(int errnoValue, const QByteArray& path) {
    const int code = FileError::CodeForErrno(errnoValue);
    switch (errnoValue) {
    case EISDIR:
        return FileError(code, QStringLiteral("%1 is a folder, not a file").arg(Shown(path)));
    case ELOOP:
    case ENAMETOOLONG:
        return FileError(code, QStringLiteral("%1: %2").arg(Shown(path), SystemText(errnoValue)));
    default:
        return FileError(code);
    }
}

FileError NotAFile(mode_t mode, const QByteArray& path) {
    if (S_ISDIR(mode))
        return AboutFile(EISDIR, path);
    const char* kind = S_ISFIFO(mode)                   ? "a named pipe"
                       : S_ISCHR(mode) || S_ISBLK(mode) ? "a device"
                       : S_ISSOCK(mode)                 ? "a socket"
                                                        : "not a regular file";
    return FileError(FileError::InvalidFilename,
                     QStringLiteral("%1 is %2, not a file").arg(Shown(path), QLatin1String(kind)));
}

FileError NoHome() {
    return FileError(FileError::InvalidFilename,
                     QStringLiteral("HOME is not set and the password database gives no home "
                                    "folder for TrinodeRun.cmb"));
}

FileError HoldsNul(const QByteArray& path) {
    return FileError(FileError::InvalidFilename,
                     QStringLiteral("%1 is followed by a NUL byte, which no file name can hold")
                         .arg(Shown(path.left(path.indexOf('\0')))));
}

FileError Held(const QByteArray& path) {
    return FileError(FileError::AccessDenied,
                     QStringLiteral("another program holds %1 and did not let go within %2 "
                                    "seconds; nothing was written")
                         .arg(Shown(path))
                         .arg(WaitSeconds()));
}

FileError HeldOpenForWriting(const QByteArray& path) {
    return FileError(FileError::AccessDenied,
                     QStringLiteral("another program has %1 open for writing and did not close "
                                    "it within %2 seconds; nothing was written")
                         .arg(Shown(path))
                         .arg(WaitSeconds()));
}

FileError NotWritten(int errnoValue, const QByteArray& path) {
    const int code = FileError::CodeForErrno(errnoValue == 0 ? ENOSPC : errnoValue);
    if (code == FileError::DiskFull)
        return FileError(code);
    return FileError(code,
                     QStringLiteral("%1 while saving %2").arg(SystemText(errnoValue), Shown(path)));
}

QByteArray DirectoryOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArrayLiteral(".");
    return slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
}

QByteArray NameOf(const QByteArray& path) {
    return path.mid(path.lastIndexOf('/') + 1);
}

QByteArray Joined(const QByteArray& directory, const QByteArray& name) {
    return directory.endsWith('/') ? directory + name : directory + '/' + name;
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool SameContent(const struct stat& a, const struct stat& b) {
    return SameFile(a, b) && a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec &&
           a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

bool SameVersion(const struct stat& a, const struct stat& b) {
    return SameContent(a, b) && a.st_ctim.tv_sec == b.st_ctim.tv_sec &&
           a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

bool WriteAllAt(int fd, const char* data, qsizetype size, off_t offset) {
    qsizetype total = 0;
    while (total < size) {
        const ssize_t n = ::pwrite(fd, data + total, size_t(size - total), offset + total);
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0)
            errno = 0;
        if (n <= 0)
            return false;
        total += n;
    }
    return true;
}

qsizetype ReadAllAt(int fd, char* buffer, qsizetype size, off_t offset) {
    qsizetype total = 0;
    while (total < size) {
        const ssize_t n = ::pread(fd, buffer + total, size_t(size - total), offset + total);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw FileError::FromErrno(LastErrno(EIO));
        if (n == 0)
            break;
        total += n;
    }
    return total;
}

size_t HashOf(QByteArrayView bytes) {
    size_t hash = 0;
    for (qsizetype offset = 0; offset < bytes.size(); offset += ChunkSize)
        hash = HashOfChunk(bytes.data() + offset, std::min(ChunkSize, bytes.size() - offset), hash);
    return hash;
}

std::optional<size_t> HashOfFile(int fd, qsizetype size, const char* expected) {
    QByteArray chunk(ChunkSize, Qt::Uninitialized);
    size_t hash = 0;
    for (qsizetype offset = 0; offset < size; offset += ChunkSize) {
        const qsizetype n = std::min(ChunkSize, size - offset);
        if (ReadAllAt(fd, chunk.data(), n, offset) != n ||
            (expected && std::memcmp(chunk.constData(), expected + offset, size_t(n)) != 0))
            return std::nullopt;
        hash = HashOfChunk(chunk.constData(), n, hash);
    }
    return hash;
}

} // namespace FileSystem
