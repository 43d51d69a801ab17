#include "store/CombinationFile.h"

#include "store/FileSystem.h"
#include "store/UserHome.h"
#include "store/WriterLease.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <unistd.h>

using namespace FileSystem;

namespace {

constexpr int MaxLinks = 40;

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
    // Anything at the path but nothing at all counts: a folder, a loop of
    // links or a name that no file can have is reported by the load, not
    // created over.
    struct stat st {};
    return m_path.contains('\0') || ::stat(m_path.constData(), &st) == 0 || errno != ENOENT;
}

bool operator==(const CombinationFile::Stamp& a, const CombinationFile::Stamp& b) {
    const auto same = [](const timespec& x, const timespec& y) {
        return x.tv_sec == y.tv_sec && x.tv_nsec == y.tv_nsec;
    };
    return a.device == b.device && a.inode == b.inode && a.size == b.size &&
           same(a.modified, b.modified) && same(a.changed, b.changed);
}

std::optional<CombinationFile::Stamp> CombinationFile::CurrentStamp() const {
    struct stat st {};
    if (m_path.isEmpty() || m_path.contains('\0') || ::stat(m_path.constData(), &st) != 0)
        return std::nullopt;
    return Stamp{st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
}

bool CombinationFile::IsReadOnly() const {
    struct stat st {};
    if (m_path.contains('\0') || ::stat(m_path.constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    return (st.st_mode & S_IWUSR) == 0 || ::access(m_path.constData(), W_OK) != 0;
}

CombinationFile::ImageRead CombinationFile::Read(qsizetype maxBytes, Keeping keeping,
                                                 AssignProgress& waiting) const {
    if (m_path.isEmpty())
        throw NoHome();
    const QByteArray resolved = ResolvedPath(m_path);
    // Looked at before it is opened: opening a named pipe would wait for a
    // writer, and opening a device can act on it.
    struct stat st {};
    if (::stat(m_path.constData(), &st) != 0)
        throw AboutFile(LastErrno(ENOENT), m_path);
    if (!S_ISREG(st.st_mode))
        throw NotAFile(st.st_mode, m_path);
    // What keeps the file as it is while it is read: a held image keeps it
    // until the image goes.
    struct Reading {
        FileDescriptor lock;
        FileDescriptor fd;
        WriterLease lease; // on fd, let go before it closes
    };
    auto reading = std::make_shared<Reading>();
    // A save that writes the file in place holds the lock until it is whole,
    // and an editor that writes it in place keeps it open for writing until
    // then. One that takes longer is not waited for: a file that saves
    // replace by a rename is whole at any moment.
    const FileLock::Clock::time_point deadline = FileLock::Clock::now() + LockWait;
    reading->lock = FileLock::OpenLockFile(resolved, &st);
    if (reading->lock.IsOpen())
        FileLock::Take(reading->lock.Get(), LOCK_SH, deadline, waiting);
    reading->fd.Reset(::open(m_path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    const int fd = reading->fd.Get();
    if (fd < 0)
        throw AboutFile(LastErrno(ENOENT), m_path);
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        throw NotAFile(st.st_mode, m_path);
    if (!reading->lock.IsOpen())
        FileLock::Take(fd, LOCK_SH, deadline, waiting);
    reading->lease.Take(fd, deadline, waiting);
    if (keeping == Keeping::Held && reading->lease.IsHeld() && ::fstat(fd, &st) == 0) {
        // Nobody writes the file now, and whoever starts to waits for the
        // lease: its size stays. A save that replaces the file by a rename
        // leaves these pages as they are, so the lock need not stay.
        const qsizetype size = std::min(qsizetype(st.st_size), maxBytes);
        if (std::optional<FileImage> mapped = FileImage::Mapped(fd, size, reading)) {
            if (reading->lock.IsOpen())
                reading->lock.Reset();
            else
                ::flock(fd, LOCK_UN);
            return {std::move(*mapped), size, qsizetype(st.st_size)};
        }
    }
    FileImage image(maxBytes);
    const qsizetype read = ReadAllAt(fd, image.Data(), maxBytes, 0);
    const qsizetype fileSize = ::fstat(fd, &st) == 0 ? qsizetype(st.st_size) : read;
    return {std::move(image), read, fileSize};
}

QByteArray CombinationFile::ResolvedPath(const QByteArray& path) {
    if (path.contains('\0'))
        throw HoldsNul(path);
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

QByteArray CombinationFile::LockPath(const QByteArray& resolvedPath) {
    return Joined(DirectoryOf(resolvedPath), '.' + NameOf(resolvedPath) + ".lock");
}
