#include "store/CombinationFile.h"

#include "store/UserHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHashFunctions>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <sys/file.h>
#include <sys/resource.h>
#include <time.h>
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

using Clock = std::chrono::steady_clock;

constexpr int MaxLinks = 40;
constexpr qsizetype ChunkSize = 64 * 1024;
// How often a held lock is tried again.
constexpr long LockPollNanoseconds = 10 * 1000 * 1000;

// errno of the call that just failed, or the fallback where none was set.
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

// The errors whose code alone would hide what is wrong name the file.
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

// The system would read such a path only up to the NUL, and so name
// another file.
FileError HoldsNul(const QByteArray& path) {
    return FileError(FileError::InvalidFilename,
                     QStringLiteral("%1 is followed by a NUL byte, which no file name can hold")
                         .arg(Shown(path.left(path.indexOf('\0')))));
}

FileError Held(const QByteArray& path) {
    return FileError(
        FileError::AccessDenied,
        QStringLiteral("another program holds %1 and did not let go within %2 "
                       "seconds; nothing was written")
            .arg(Shown(path))
            .arg(std::chrono::duration_cast<std::chrono::seconds>(CombinationFile::LockWait)
                     .count()));
}

// A failed write or sync of the new content, in the system's words. A write
// that stores less than asked with no error is a full disk.
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

// The same file, not written to since: the same size and modification time.
bool SameContent(const struct stat& a, const struct stat& b) {
    return SameFile(a, b) && a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec &&
           a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

// Nor changed in any other way (its owner, its mode): the same change time.
bool SameVersion(const struct stat& a, const struct stat& b) {
    return SameContent(a, b) && a.st_ctim.tv_sec == b.st_ctim.tv_sec &&
           a.st_ctim.tv_nsec == b.st_ctim.tv_nsec;
}

enum class LockResult { Locked, NoLocks, Held };

// Tries the lock until the deadline, telling waiting between tries, so that
// the caller keeps answering (a window repaints, a summon is answered).
LockResult TakeLock(int fd, int operation, Clock::time_point deadline, AssignProgress& waiting) {
    for (;;) {
        if (::flock(fd, operation | LOCK_NB) == 0)
            return LockResult::Locked;
        if (errno == EINTR)
            continue;
        // A file system without locks (some network ones) is used unlocked,
        // as before locks existed, rather than not at all.
        if (errno != EWOULDBLOCK)
            return LockResult::NoLocks;
        if (Clock::now() >= deadline)
            return LockResult::Held;
        waiting.Waiting();
        const timespec pause{0, LockPollNanoseconds};
        ::nanosleep(&pause, nullptr);
    }
}

// The one rule for the lock of every load and save: the lock file beside the
// file, made if need be, where it is a regular file of ours that nobody else
// may open. Root takes the file's owner's, and gives one it has to that owner,
// as a save keeps the file's owner. Not open where there can be no such file
// (a folder that refuses new files, someone else's lock file in a shared
// folder): the caller locks the file itself then.
FileDescriptor OpenLockFile(const QByteArray& resolved, const struct stat* file) {
    FileDescriptor fd(::open(CombinationFile::LockPath(resolved).constData(),
                             O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
    struct stat st {};
    if (!fd.IsOpen() || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    const uid_t me = ::geteuid();
    const bool forOwner = me == 0 && file && file->st_uid != 0;
    // Only a file that no other name shares is given away: never one that a
    // hard link makes look like a lock file.
    if (forOwner && st.st_uid == 0 && st.st_nlink == 1 &&
        ::fchown(fd.Get(), file->st_uid, file->st_gid) == 0)
        st.st_uid = file->st_uid;
    const bool ours = st.st_uid == me || (forOwner && st.st_uid == file->st_uid);
    if (!ours || (st.st_mode & (S_IRWXG | S_IRWXO)) != 0)
        return {};
    return fd;
}

// Leaves errno at 0 for a write that stored nothing and gave no error.
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

// The hash of a file's bytes as read a chunk at a time, and of the same
// bytes in memory: what a save read, to be known again before it replaces
// the file.
size_t HashOfChunk(const char* chunk, qsizetype size, size_t hash) {
    return qHashBits(chunk, size_t(size), hash);
}

size_t HashOf(QByteArrayView bytes) {
    size_t hash = 0;
    for (qsizetype offset = 0; offset < bytes.size(); offset += ChunkSize)
        hash = HashOfChunk(bytes.data() + offset, std::min(ChunkSize, bytes.size() - offset), hash);
    return hash;
}

// Reads the file's first size bytes and returns their hash; given expected
// bytes, none as soon as the file's differ from them.
std::optional<size_t> HashOfFile(int fd, qsizetype size, const char* expected = nullptr) {
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

// A save's temporary file is locked while the save lives, so that another
// save never takes it for a leftover; false when a remover got to it between
// its making and its lock.
bool LockTemporary(const FileDescriptor& fd, const QByteArray& name) {
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)
        return false;
    struct stat mine {};
    struct stat named {};
    return ::fstat(fd.Get(), &mine) == 0 && ::lstat(name.constData(), &named) == 0 &&
           SameFile(mine, named);
}

// Removes a save's temporary file that no running save holds: one that a
// killed save left. One that cannot be opened is not ours to judge.
void RemoveIfLeftover(int directory, const char* name) {
    const FileDescriptor fd(
        ::openat(directory, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat opened {};
    if (!fd.IsOpen() || ::fstat(fd.Get(), &opened) != 0 || !S_ISREG(opened.st_mode) ||
        ::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0)
        return;
    struct stat named {};
    if (::fstatat(directory, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(opened, named))
        ::unlinkat(directory, name, 0);
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

qsizetype CombinationFile::ReadInto(char* buffer, qsizetype maxBytes,
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
    // A save that writes the file in place holds the lock until it is whole.
    // One that holds it for longer is not waited for: a file that saves
    // replace by a rename is whole at any moment.
    const Clock::time_point deadline = Clock::now() + LockWait;
    const FileDescriptor lock = OpenLockFile(resolved, &st);
    if (lock.IsOpen())
        TakeLock(lock.Get(), LOCK_SH, deadline, waiting);
    const FileDescriptor fd(::open(m_path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd.IsOpen())
        throw AboutFile(LastErrno(ENOENT), m_path);
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        throw NotAFile(st.st_mode, m_path);
    if (!lock.IsOpen())
        TakeLock(fd.Get(), LOCK_SH, deadline, waiting);
    return ReadAllAt(fd.Get(), buffer, maxBytes, 0);
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

// --- Replacement -------------------------------------------------------------

CombinationFile::Replacement::Replacement(const CombinationFile& file, AssignProgress& waiting) {
    if (file.LocalPath().isEmpty())
        throw NoHome();
    m_final = ResolvedPath(file.LocalPath());
    m_directory = DirectoryOf(m_final);
    Lock(waiting);
    if (m_locked)
        RemoveLeftovers();
    if (!CreateTemporary())
        OpenInPlace();
}

CombinationFile::Replacement::~Replacement() {
    // The temporary file goes while it is still locked, and only while its
    // name is still its own; the lock on the combination file last, as the
    // members close in reverse order.
    struct stat mine {};
    struct stat named {};
    if (!m_finished && !m_temporary.isEmpty() && ::fstat(m_fd.Get(), &mine) == 0 &&
        ::lstat(m_temporary.constData(), &named) == 0 && SameFile(mine, named))
        ::unlink(m_temporary.constData());
}

void CombinationFile::Replacement::Lock(AssignProgress& waiting) {
    const Clock::time_point deadline = Clock::now() + LockWait;
    for (;;) {
        struct stat st {};
        const bool exists = ::stat(m_final.constData(), &st) == 0;
        if (!exists && errno != ENOENT)
            throw AboutFile(errno, m_final);
        if (exists && !S_ISREG(st.st_mode))
            throw NotAFile(st.st_mode, m_final);
        m_lock = OpenLockFile(m_final, exists ? &st : nullptr);
        if (!m_lock.IsOpen()) {
            if (LockTheFileItself(deadline, waiting))
                return;
            continue;
        }
        const LockResult result = TakeLock(m_lock.Get(), LOCK_EX, deadline, waiting);
        if (result == LockResult::Held)
            throw Held(m_final);
        m_locked = result == LockResult::Locked;
        OpenCurrent();
        return;
    }
}

bool CombinationFile::Replacement::LockTheFileItself(Clock::time_point deadline,
                                                     AssignProgress& waiting) {
    OpenCurrent();
    if (!HasCurrent()) {
        // No file yet: its folder holds the lock until the new file has its
        // name.
        m_lock =
            FileDescriptor(::open(m_directory.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!m_lock.IsOpen())
            return true; // a missing folder: the creation reports it
    }
    const LockResult result =
        TakeLock(HasCurrent() ? m_current.Get() : m_lock.Get(), LOCK_EX, deadline, waiting);
    if (result == LockResult::Held)
        throw Held(m_final);
    m_locked = result == LockResult::Locked;
    // While this save waited, the one before it may have made the file, or
    // renamed a new one over the one locked: the lock must be on the file
    // that has the name now.
    struct stat now {};
    const bool named = ::stat(m_final.constData(), &now) == 0;
    if (!m_locked || (HasCurrent() ? named && SameFile(now, m_status) : !named))
        return true;
    m_current = FileDescriptor();
    m_lock = FileDescriptor();
    return false;
}

void CombinationFile::Replacement::OpenCurrent() {
    FileDescriptor fd(::open(m_final.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW));
    if (!fd.IsOpen()) {
        if (errno == ENOENT)
            return; // no file (yet): the save makes one
        throw AboutFile(errno, m_final);
    }
    if (::fstat(fd.Get(), &m_status) != 0 || !S_ISREG(m_status.st_mode))
        throw NotAFile(m_status.st_mode, m_final);
    m_current = std::move(fd);
}

void CombinationFile::Replacement::RemoveLeftovers() const {
    // Only while the lock is held, and only what no running save holds (each
    // locks its own temporary file): what is left was left by a killed save.
    // Names of any other shape are the user's.
    const QByteArray name = NameOf(m_final);
    const QByteArray prefix = '.' + name + ".saving-";
    const QByteArray earlierName = '.' + name + ".saving"; // one name for every save
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(m_directory.constData()), ::closedir);
    if (!dir)
        return;
    while (const dirent* entry = ::readdir(dir.get())) {
        const QByteArray entryName(entry->d_name);
        if ((entryName.startsWith(prefix) && entryName.size() == prefix.size() + 6) ||
            entryName == earlierName)
            RemoveIfLeftover(::dirfd(dir.get()), entry->d_name);
    }
}

bool CombinationFile::Replacement::CreateTemporary() {
    static constexpr char Letters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    const QByteArray prefix = TemporaryPrefix(m_final);
    for (int attempt = 0; !m_fd.IsOpen(); ++attempt) {
        QByteArray name = prefix;
        for (int i = 0; i < 6; ++i)
            name.append(Letters[QRandomGenerator::global()->bounded(int(sizeof Letters - 1))]);
        // The bindings are one person's data: a new file is theirs alone. An
        // existing file's mode is given to it below.
        FileDescriptor fd(
            ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
        const int e = fd.IsOpen() ? EEXIST : errno;
        if (fd.IsOpen() && LockTemporary(fd, name)) {
            m_fd = std::move(fd);
            m_temporary = name;
            continue;
        }
        // Taken by another save's removal of leftovers between its making
        // and its lock, or made by another save: another name.
        if (e == EEXIST && attempt < 100)
            continue;
        if (e == EACCES || e == EPERM || e == EROFS)
            return false; // a folder that takes no new file
        if (e == ENOENT && !QFileInfo::exists(QFile::decodeName(m_directory)))
            throw FileError(FileError::InvalidFilename); // a bad path, not a missing file
        throw AboutFile(e, name);
    }
    return KeepsTheFilesOwner();
}

bool CombinationFile::Replacement::KeepsTheFilesOwner() {
    if (!HasCurrent())
        return true;
    // The file keeps its owner, group and mode, even when root saves a
    // user's file. Where a new file cannot be given them, the file itself is
    // written.
    struct stat mine {};
    const bool owned = ::fstat(m_fd.Get(), &mine) == 0 && mine.st_uid == m_status.st_uid &&
                       mine.st_gid == m_status.st_gid;
    if ((owned || ::fchown(m_fd.Get(), m_status.st_uid, m_status.st_gid) == 0) &&
        ::fchmod(m_fd.Get(), m_status.st_mode & 07777) == 0)
        return true;
    ::unlink(m_temporary.constData());
    m_temporary.clear();
    m_fd = FileDescriptor();
    return false;
}

void CombinationFile::Replacement::OpenInPlace() {
    if (!HasCurrent())
        throw FileError(FileError::AccessDenied); // no file to write, and no new one allowed
    m_fd =
        FileDescriptor(::open(m_final.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW));
    if (!m_fd.IsOpen())
        throw AboutFile(LastErrno(EACCES), m_final);
    struct stat st {};
    if (::fstat(m_fd.Get(), &st) != 0 || !SameFile(st, m_status))
        throw FileError(FileError::AccessDenied);
    m_inPlace = true;
}

bool CombinationFile::Replacement::CurrentEquals(QByteArrayView bytes, qsizetype maxBytes) {
    if (!HasCurrent()) {
        m_read = Read::NoFile;
        return true;
    }
    // The file's state is taken before its bytes: an edit that lands while
    // they are read shows as a change later.
    if (::fstat(m_current.Get(), &m_status) != 0)
        throw FileError::FromErrno(LastErrno(EIO));
    if (std::min<qsizetype>(m_status.st_size, maxBytes) != bytes.size())
        return false;
    const std::optional<size_t> hash = HashOfFile(m_current.Get(), bytes.size(), bytes.data());
    if (!hash)
        return false;
    m_read = Read::File;
    m_readSize = bytes.size();
    m_readHash = *hash;
    return true;
}

qsizetype CombinationFile::Replacement::ReadCurrent(char* buffer, qsizetype maxBytes) {
    if (!HasCurrent()) {
        m_read = Read::NoFile;
        return 0;
    }
    if (::fstat(m_current.Get(), &m_status) != 0)
        throw FileError::FromErrno(LastErrno(EIO));
    m_readSize = ReadAllAt(m_current.Get(), buffer, maxBytes, 0);
    m_readHash = HashOf(QByteArrayView(buffer, m_readSize));
    m_read = Read::File;
    return m_readSize;
}

void CombinationFile::Replacement::Write(QByteArrayView bytes) {
    if (m_inPlace) {
        // Written by Finish, once the file is known to be the one read.
        m_inPlaceContent = bytes;
        return;
    }
    if (!WriteAllAt(m_fd.Get(), bytes.data(), bytes.size(), 0))
        throw NotWritten(errno, m_final);
}

void CombinationFile::Replacement::WriteInPlace(QByteArrayView bytes) {
    const qsizetype size = bytes.size();
    // Everything that could stop the write half-way is asked first, while the
    // file is still whole: a size limit, and room on the disk.
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        rlim_t(size) > limit.rlim_cur)
        throw FileError(FileError::DiskFull);
    if (::fallocate(m_fd.Get(), FALLOC_FL_KEEP_SIZE, 0, off_t(size)) != 0 &&
        (errno == ENOSPC || errno == EDQUOT || errno == EFBIG))
        throw FileError(FileError::DiskFull);
    struct stat st {};
    if (::fstat(m_fd.Get(), &st) != 0)
        throw FileError::FromErrno(LastErrno(EIO));
    const qsizetype oldSize = qsizetype(st.st_size);

    // Beyond the old end first; cut back to the old size when it fails.
    if (oldSize < size &&
        !WriteAllAt(m_fd.Get(), bytes.data() + oldSize, size - oldSize, off_t(oldSize))) {
        const int e = errno;
        while (::ftruncate(m_fd.Get(), off_t(oldSize)) != 0 && errno == EINTR) {
        }
        throw NotWritten(e, m_final);
    }
    WriteChangedBytes(bytes.first(std::min(oldSize, size)));
    // Last, bytes beyond the new end.
    if (oldSize > size && ::ftruncate(m_fd.Get(), off_t(size)) != 0)
        throw NotWritten(LastErrno(EIO), m_final);
}

void CombinationFile::Replacement::WriteChangedBytes(QByteArrayView bytes) {
    // Only the bytes that change, so that the file holds the old or the new
    // content of every record but the one being written.
    QByteArray chunk(ChunkSize, Qt::Uninitialized);
    for (qsizetype offset = 0; offset < bytes.size(); offset += ChunkSize) {
        const qsizetype n = std::min(ChunkSize, bytes.size() - offset);
        const qsizetype got = ReadAllAt(m_current.Get(), chunk.data(), n, offset);
        const char* wanted = bytes.data() + offset;
        qsizetype first = 0;
        while (first < got && chunk[first] == wanted[first])
            ++first;
        if (first == n)
            continue;
        qsizetype last = n;
        while (last > first && last <= got && chunk[last - 1] == wanted[last - 1])
            --last;
        if (!WriteAllAt(m_fd.Get(), wanted + first, last - first, off_t(offset + first)))
            throw NotWritten(errno, m_final);
    }
}

bool CombinationFile::Replacement::Finish() {
    // As late as can be: an edit that lands before this look is never lost.
    if (m_inPlace) {
        if (!StillAsRead())
            return false;
        WriteInPlace(m_inPlaceContent);
    }
    // The data must be on the disk before the new file takes the old one's
    // name, or a power loss could leave a name with no data behind it.
    if (::fdatasync(m_fd.Get()) != 0)
        throw NotWritten(LastErrno(EIO), m_final);
    if (!m_inPlace) {
        if (!StillAsRead() || !Rename())
            return false;
        m_finished = true;
        SyncFolder();
    }
    m_finished = true;
    return true;
}

bool CombinationFile::Replacement::StillAsRead() const {
    struct stat named {};
    switch (m_read) {
    case Read::Nothing:
        return true; // nothing was read: whatever is there is replaced
    case Read::NoFile:
        return ::stat(m_final.constData(), &named) != 0 && errno == ENOENT;
    case Read::File:
        break;
    }
    // The bytes first, as the times move by clock ticks and two writes
    // within one tick leave them as they were; then the times, for a write
    // while the bytes were read; the name last, as close to the rename as
    // can be.
    struct stat now {};
    return HashOfFile(m_current.Get(), m_readSize) == m_readHash &&
           ::fstat(m_current.Get(), &now) == 0 && SameVersion(now, m_status) &&
           ::stat(m_final.constData(), &named) == 0 && SameFile(named, m_status);
}

bool CombinationFile::Replacement::Rename() {
    const char* temporary = m_temporary.constData();
    const char* final = m_final.constData();
    if (m_read == Read::NoFile) {
        // No file was read, so none is replaced: one made meanwhile stays.
        if (::renameat2(AT_FDCWD, temporary, AT_FDCWD, final, RENAME_NOREPLACE) == 0)
            return true;
        if (errno == EEXIST)
            return false;
    } else if (m_read == Read::File) {
        // The two files swap names in one step, so that the one taken out is
        // known for certain: when it is not the one read (an edit renamed
        // over it an instant ago, or wrote to it), they swap back.
        if (::renameat2(AT_FDCWD, temporary, AT_FDCWD, final, RENAME_EXCHANGE) == 0) {
            struct stat out {};
            struct stat now {};
            // (The swap itself gives the file a new change time.)
            if (::lstat(temporary, &out) == 0 && SameFile(out, m_status) &&
                ::fstat(m_current.Get(), &now) == 0 && SameContent(now, m_status)) {
                ::unlink(temporary);
                return true;
            }
            ::renameat2(AT_FDCWD, temporary, AT_FDCWD, final, RENAME_EXCHANGE);
            return false;
        }
    }
    if (m_read != Read::Nothing && errno != EINVAL && errno != ENOSYS)
        throw AboutFile(LastErrno(EIO), m_final);
    // A file system that cannot swap or refuse to replace: the look just
    // before stands.
    if (::rename(temporary, final) != 0)
        throw AboutFile(LastErrno(EIO), m_final);
    return true;
}

void CombinationFile::Replacement::SyncFolder() {
    // The new name must be on the disk too before the save is reported.
    const FileDescriptor folder(
        ::open(m_directory.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.IsOpen() && ::fsync(folder.Get()) == 0)
        return;
    const int e = LastErrno(EIO);
    if (e == EINVAL)
        return; // a file system that has no folder to sync
    m_unsynced = FileError(FileError::CodeForErrno(e),
                           QStringLiteral("%1 was saved, but its folder could not be written to "
                                          "the disk (%2), so the change may not survive a power "
                                          "cut")
                               .arg(Shown(m_final), SystemText(e)));
}

void CombinationFile::Replacement::RaiseUnsynced() const {
    if (m_unsynced)
        throw *m_unsynced;
}
