#include "store/CombinationFile.h"

#include "store/TrinodeError.h"
#include "store/UserHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>
#include <utility>

// A hand-written save rather than QSaveFile: QSaveFile replaces a link with a
// regular file, cannot fall back to writing in place without first emptying
// the file (its direct-write mode truncates), takes no lock, and gives a new
// file the process's owner. Measured with bench/StoreBench.cpp at a load of
// 6 on 2 cores: an assignment takes 1.5x a bare write, fsync and rename of
// the same 2 MB, the rest being the lock, the comparison with the file on
// disk and the folder's sync that makes the rename itself durable.

namespace {

constexpr int MaxLinks = 40;
constexpr qsizetype ChunkSize = 64 * 1024;

// errno of the call that just failed, or the fallback where none was set.
int LastErrno(int fallback) {
    const int e = errno;
    return e != 0 ? e : fallback;
}

QString Shown(const QByteArray& path) {
    return QFile::decodeName(path);
}

// The errors whose code alone would hide what is wrong name the file.
FileError AboutFile(int errnoValue, const QByteArray& path) {
    const int code = FileError::CodeForErrno(errnoValue);
    switch (errnoValue) {
    case EISDIR:
        return FileError(code, QStringLiteral("%1 is a folder, not a file").arg(Shown(path)));
    case ELOOP:
    case ENAMETOOLONG:
        return FileError(code, QStringLiteral("%1: %2").arg(
                                   Shown(path), QString::fromLocal8Bit(std::strerror(errnoValue))));
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

void LockOrWait(int fd, int operation, bool* locked) {
    int result;
    do {
        result = ::flock(fd, operation);
    } while (result != 0 && errno == EINTR);
    // A file system without locks (some network ones) is saved unlocked, as
    // before locks existed, rather than not at all.
    *locked = result == 0;
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool WriteAllAt(int fd, const char* data, qsizetype size, off_t offset) {
    qsizetype total = 0;
    while (total < size) {
        const ssize_t n = ::pwrite(fd, data + total, size_t(size - total), offset + total);
        if (n < 0 && errno == EINTR)
            continue;
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

[[noreturn]] void ThrowWriteFailure() {
    // A write that stores less than asked is a full disk, whatever the device
    // said.
    const int e = errno;
    throw FileError(e == 0 || FileError::CodeForErrno(e) == FileError::DeviceError
                        ? int(FileError::DiskFull)
                        : FileError::CodeForErrno(e));
}

} // namespace

CombinationFile::CombinationFile(const QString& path) : m_path(QFile::encodeName(path)) {}

CombinationFile::CombinationFile(QByteArray localPath) : m_path(std::move(localPath)) {}

QByteArray CombinationFile::DefaultLocalPath() {
    const QByteArray home = UserHome::LocalPath();
    return home.isEmpty() ? QByteArray() : Joined(home, QByteArrayLiteral("TrinodeRun.cmb"));
}

QString CombinationFile::DefaultPath() {
    return QFile::decodeName(DefaultLocalPath());
}

QString CombinationFile::Path() const {
    return QFile::decodeName(m_path);
}

bool CombinationFile::Exists() const {
    if (m_path.isEmpty())
        return false;
    // Anything at the path but nothing at all counts: a folder or a loop of
    // links there is reported by the load, not created over.
    struct stat st {};
    return ::stat(m_path.constData(), &st) == 0 || errno != ENOENT;
}

bool CombinationFile::IsReadOnly() const {
    struct stat st {};
    if (::stat(m_path.constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    return (st.st_mode & S_IWUSR) == 0 || ::access(m_path.constData(), W_OK) != 0;
}

qsizetype CombinationFile::ReadInto(char* buffer, qsizetype maxBytes) const {
    if (m_path.isEmpty())
        throw NoHome();
    // Looked at before it is opened: opening a named pipe would wait for a
    // writer, and opening a device can act on it.
    struct stat st {};
    if (::stat(m_path.constData(), &st) != 0)
        throw AboutFile(LastErrno(ENOENT), m_path);
    if (!S_ISREG(st.st_mode))
        throw NotAFile(st.st_mode, m_path);
    const int fd = ::open(m_path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw AboutFile(LastErrno(ENOENT), m_path);
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        throw NotAFile(st.st_mode, m_path);
    // A save that writes the file in place holds the lock until it is whole.
    bool locked = false;
    LockOrWait(fd, LOCK_SH, &locked);
    return ReadAllAt(fd, buffer, maxBytes, 0);
}

QByteArray CombinationFile::ResolvedPath(const QByteArray& path) {
    QByteArray resolved = path;
    if (!resolved.startsWith('/'))
        resolved = Joined(QFile::encodeName(QDir::currentPath()), resolved);
    // A relative link is read from the folder that holds it; the joined text
    // is never cleaned of "..", so that the kernel walks it as it would.
    for (int hops = 0;; ++hops) {
        char target[PATH_MAX + 1];
        const ssize_t n = ::readlink(resolved.constData(), target, sizeof target);
        if (n < 0)
            break; // not a link, or nothing there: the open says which
        if (n > PATH_MAX)
            throw AboutFile(ENAMETOOLONG, path);
        if (hops == MaxLinks)
            throw AboutFile(ELOOP, path);
        const QByteArray next(target, n);
        resolved = next.startsWith('/') ? next : Joined(DirectoryOf(resolved), next);
    }
    if (char* real = ::realpath(DirectoryOf(resolved).constData(), nullptr)) {
        resolved = Joined(QByteArray(real), NameOf(resolved));
        std::free(real);
    }
    return resolved;
}

QByteArray CombinationFile::TemporaryPrefix(const QByteArray& resolvedPath) {
    return Joined(DirectoryOf(resolvedPath), '.' + NameOf(resolvedPath) + ".saving-");
}

// --- Replacement -------------------------------------------------------------

CombinationFile::Replacement::Replacement(const CombinationFile& file) {
    if (file.LocalPath().isEmpty())
        throw NoHome();
    m_final = ResolvedPath(file.LocalPath());
    m_directory = DirectoryOf(m_final);
    Lock();
    if (m_locked)
        RemoveLeftovers();
    if (!CreateTemporary())
        OpenInPlace();
}

CombinationFile::Replacement::~Replacement() {
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_finished && !m_temporary.isEmpty())
        ::unlink(m_temporary.constData());
    // The lock goes last, with the temporary file already gone.
    if (m_current >= 0)
        ::close(m_current);
    if (m_lock >= 0)
        ::close(m_lock);
}

void CombinationFile::Replacement::Lock() {
    for (;;) {
        struct stat st {};
        if (::stat(m_final.constData(), &st) != 0) {
            if (errno != ENOENT)
                throw AboutFile(errno, m_final);
            // No file yet: its folder holds the lock until the new file has
            // its name.
            const int dir = ::open(m_directory.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (dir < 0)
                return; // a missing folder: the creation reports it
            LockOrWait(dir, LOCK_EX, &m_locked);
            if (m_locked && ::stat(m_final.constData(), &st) == 0) {
                ::close(dir); // another save made the file meanwhile
                continue;
            }
            m_lock = dir;
            return;
        }
        if (!S_ISREG(st.st_mode))
            throw NotAFile(st.st_mode, m_final);
        const int fd = ::open(m_final.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0) {
            if (errno == ENOENT)
                continue; // renamed away between the look and the open
            throw AboutFile(errno, m_final);
        }
        if (::fstat(fd, &m_status) != 0 || !S_ISREG(m_status.st_mode)) {
            const mode_t mode = m_status.st_mode;
            ::close(fd);
            throw NotAFile(mode, m_final);
        }
        LockOrWait(fd, LOCK_EX, &m_locked);
        // While this save waited, the one before it may have renamed a new
        // file over the one it locked: the lock must be on the file that now
        // has the name.
        struct stat now {};
        if (m_locked && (::stat(m_final.constData(), &now) != 0 || !SameFile(now, m_status))) {
            ::close(fd);
            continue;
        }
        m_current = fd;
        return;
    }
}

void CombinationFile::Replacement::RemoveLeftovers() const {
    // Only while the lock is held: a save in progress holds it, so whatever
    // carries a save's temporary name now was left by a killed one. Names of
    // any other shape are the user's.
    const QByteArray name = NameOf(m_final);
    const QByteArray prefix = '.' + name + ".saving-";
    const QByteArray earlierName = '.' + name + ".saving"; // one name for every save
    DIR* dir = ::opendir(m_directory.constData());
    if (!dir)
        return;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray entryName(entry->d_name);
        const bool ours = (entryName.startsWith(prefix) && entryName.size() == prefix.size() + 6) ||
                          entryName == earlierName;
        struct stat st {};
        if (ours && ::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(st.st_mode))
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

bool CombinationFile::Replacement::CreateTemporary() {
    static constexpr char Letters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    const QByteArray prefix = TemporaryPrefix(m_final);
    for (int attempt = 0; m_fd < 0; ++attempt) {
        QByteArray name = prefix;
        for (int i = 0; i < 6; ++i)
            name.append(Letters[QRandomGenerator::global()->bounded(int(sizeof Letters - 1))]);
        // A new file gets the old one's mode below; until then it is ours.
        const mode_t mode = HasCurrent() ? 0600 : 0666;
        m_fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        if (m_fd >= 0) {
            m_temporary = name;
            break;
        }
        const int e = errno;
        if (e == EEXIST && attempt < 100)
            continue;
        if (e == EACCES || e == EPERM || e == EROFS)
            return false; // a folder that takes no new file
        if (e == ENOENT && !QFileInfo::exists(QFile::decodeName(m_directory)))
            throw FileError(FileError::InvalidFilename); // a bad path, not a missing file
        throw AboutFile(e, name);
    }
    if (!HasCurrent())
        return true;
    // The file keeps its owner, group and mode, even when root saves a
    // user's file. Where a new file cannot be given them, the file itself is
    // written.
    struct stat mine {};
    const bool owned = ::fstat(m_fd, &mine) == 0 && mine.st_uid == m_status.st_uid &&
                       mine.st_gid == m_status.st_gid;
    if ((owned || ::fchown(m_fd, m_status.st_uid, m_status.st_gid) == 0) &&
        ::fchmod(m_fd, m_status.st_mode & 07777) == 0)
        return true;
    ::close(std::exchange(m_fd, -1));
    ::unlink(m_temporary.constData());
    m_temporary.clear();
    return false;
}

void CombinationFile::Replacement::OpenInPlace() {
    if (!HasCurrent())
        throw FileError(FileError::AccessDenied); // no file to write, and no new one allowed
    m_fd = ::open(m_final.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
    if (m_fd < 0)
        throw AboutFile(LastErrno(EACCES), m_final);
    struct stat st {};
    if (::fstat(m_fd, &st) != 0 || !SameFile(st, m_status))
        throw FileError(FileError::AccessDenied);
    m_inPlace = true;
}

bool CombinationFile::Replacement::CurrentEquals(QByteArrayView bytes, qsizetype maxBytes) const {
    struct stat st {};
    if (m_current < 0 || ::fstat(m_current, &st) != 0)
        return false;
    if (std::min<qsizetype>(st.st_size, maxBytes) != bytes.size())
        return false;
    QByteArray chunk(ChunkSize, Qt::Uninitialized);
    for (qsizetype offset = 0; offset < bytes.size(); offset += ChunkSize) {
        const qsizetype n = std::min(ChunkSize, bytes.size() - offset);
        if (ReadAllAt(m_current, chunk.data(), n, offset) != n ||
            std::memcmp(chunk.constData(), bytes.data() + offset, size_t(n)) != 0)
            return false;
    }
    return true;
}

qsizetype CombinationFile::Replacement::ReadCurrent(char* buffer, qsizetype maxBytes) const {
    return m_current < 0 ? 0 : ReadAllAt(m_current, buffer, maxBytes, 0);
}

void CombinationFile::Replacement::Write(QByteArrayView bytes) {
    if (m_inPlace) {
        WriteInPlace(bytes);
        return;
    }
    errno = 0;
    if (!WriteAllAt(m_fd, bytes.data(), bytes.size(), 0))
        throw FileError(FileError::DiskFull);
}

void CombinationFile::Replacement::WriteInPlace(QByteArrayView bytes) {
    const qsizetype size = bytes.size();
    // Everything that could stop the write half-way is asked first, while the
    // file is still whole: a size limit, and room on the disk.
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        rlim_t(size) > limit.rlim_cur)
        throw FileError(FileError::DiskFull);
    if (::fallocate(m_fd, FALLOC_FL_KEEP_SIZE, 0, off_t(size)) != 0 &&
        (errno == ENOSPC || errno == EDQUOT || errno == EFBIG))
        throw FileError(FileError::DiskFull);
    struct stat st {};
    if (::fstat(m_fd, &st) != 0)
        throw FileError::FromErrno(LastErrno(EIO));
    const qsizetype oldSize = qsizetype(st.st_size);

    // Beyond the old end first; cut back to the old size when it fails.
    errno = 0;
    if (oldSize < size &&
        !WriteAllAt(m_fd, bytes.data() + oldSize, size - oldSize, off_t(oldSize))) {
        const int e = errno;
        while (::ftruncate(m_fd, off_t(oldSize)) != 0 && errno == EINTR) {
        }
        errno = e;
        ThrowWriteFailure();
    }
    // Then only the bytes that change, so that the file holds the old or the
    // new content of every record but the one being written.
    QByteArray chunk(ChunkSize, Qt::Uninitialized);
    const qsizetype common = std::min(oldSize, size);
    for (qsizetype offset = 0; offset < common; offset += ChunkSize) {
        const qsizetype n = std::min(ChunkSize, common - offset);
        const qsizetype got = ReadAllAt(m_current, chunk.data(), n, offset);
        const char* wanted = bytes.data() + offset;
        qsizetype first = 0;
        while (first < got && chunk[first] == wanted[first])
            ++first;
        if (first == n)
            continue;
        qsizetype last = n;
        while (last > first && last <= got && chunk[last - 1] == wanted[last - 1])
            --last;
        errno = 0;
        if (!WriteAllAt(m_fd, wanted + first, last - first, off_t(offset + first)))
            ThrowWriteFailure();
    }
    // Last, bytes beyond the new end.
    if (oldSize > size && ::ftruncate(m_fd, off_t(size)) != 0)
        throw FileError::FromErrno(LastErrno(EIO));
}

void CombinationFile::Replacement::Finish() {
    // The data must be on the disk before the new file takes the old one's
    // name, or a power loss could leave a name with no data behind it.
    if (::fdatasync(m_fd) != 0)
        throw FileError::FromErrno(LastErrno(EIO));
    if (::close(std::exchange(m_fd, -1)) != 0)
        throw FileError::FromErrno(LastErrno(EIO));
    if (!m_inPlace) {
        if (::rename(m_temporary.constData(), m_final.constData()) != 0)
            throw AboutFile(LastErrno(EIO), m_final);
        // And the name must be there too before the save is reported.
        const int dir = ::open(m_directory.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }
    }
    m_finished = true;
}
