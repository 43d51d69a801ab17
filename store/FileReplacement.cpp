#include "store/FileReplacement.h"

#include "store/CombinationFile.h"
#include "store/FileSystem.h"
#include "store/InPlaceWrite.h"
#include "store/KeptCopies.h"
#include "store/SaveLeftovers.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

// A hand-written save rather than QSaveFile: QSaveFile replaces a link with a
// regular file, cannot fall back to writing in place without first emptying
// the file (its direct-write mode truncates), takes no lock, and gives a new
// file the process's owner. Measured with bench/StoreBench.cpp at a load of
// 6 on 2 cores: an assignment takes 1.5x a bare write, fsync and rename of
// the same 2 MB, the rest being the lock, the comparison with the file on
// disk and the folder's sync that makes the rename itself durable.

using namespace FileSystem;

namespace {} // namespace

FileReplacement::FileReplacement(const CombinationFile& file, AssignProgress& waiting,
                                 FileLock::Clock::time_point deadline) {
    if (file.LocalPath().isEmpty())
        throw NoHome();
    m_final = CombinationFile::ResolvedPath(file.LocalPath());
    m_directory = DirectoryOf(m_final);
    Lock(waiting, deadline);
    if (m_locked) {
        // Only while the lock is held: what no running save holds was left
        // by a killed one.
        SaveLeftovers::RemoveUnheld(m_final);
        if (!HasCurrent())
            SaveLeftovers::PutBackMovedAside(m_final);
        if (!HasCurrent())
            OpenCurrent();
    }
    if (CreateTemporary())
        WatchWriters(waiting, deadline);
    else
        OpenInPlace();
}

FileReplacement::~FileReplacement() {
    m_lease.ReleaseToWriter();
    // The temporary file goes while it is still locked, and only while its
    // name is still its own; the lock on the combination file last, as the
    // members close in reverse order.
    struct stat mine {};
    struct stat named {};
    if (!m_finished && !m_temporary.isEmpty() && ::fstat(m_fd.Get(), &mine) == 0 &&
        ::lstat(m_temporary.constData(), &named) == 0 && SameFile(mine, named))
        ::unlink(m_temporary.constData());
}

void FileReplacement::Lock(AssignProgress& waiting, FileLock::Clock::time_point deadline) {
    for (;;) {
        struct stat st {};
        const bool exists = ::stat(m_final.constData(), &st) == 0;
        if (!exists && errno != ENOENT)
            throw AboutFile(errno, m_final);
        if (exists && !S_ISREG(st.st_mode))
            throw NotAFile(st.st_mode, m_final);
        m_lock = FileLock::OpenLockFile(m_final, exists ? &st : nullptr);
        if (!m_lock.IsOpen()) {
            if (LockTheFileItself(deadline, waiting))
                return;
            continue;
        }
        const FileLock::Result result = FileLock::Take(m_lock.Get(), LOCK_EX, deadline, waiting);
        if (result == FileLock::Result::Held)
            throw Held(m_final);
        m_locked = result == FileLock::Result::Locked;
        OpenCurrent();
        return;
    }
}

bool FileReplacement::LockTheFileItself(FileLock::Clock::time_point deadline,
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
    const FileLock::Result result =
        FileLock::Take(HasCurrent() ? m_current.Get() : m_lock.Get(), LOCK_EX, deadline, waiting);
    if (result == FileLock::Result::Held)
        throw Held(m_final);
    m_locked = result == FileLock::Result::Locked;
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

void FileReplacement::OpenCurrent() {
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

void FileReplacement::WatchWriters(AssignProgress& waiting, FileLock::Clock::time_point deadline) {
    if (!HasCurrent())
        return;
    // An editor that still writes the file in place is waited for, so that
    // the save reads what it wrote rather than half of it.
    if (m_lease.Take(m_current.Get(), deadline, waiting) == WriterLease::Outcome::Writers)
        throw HeldOpenForWriting(m_final);
}

bool FileReplacement::CreateTemporary() {
    static constexpr char Letters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    const QByteArray prefix = CombinationFile::TemporaryPrefix(m_final);
    for (int attempt = 0; !m_fd.IsOpen(); ++attempt) {
        QByteArray name = prefix;
        for (int i = 0; i < 6; ++i)
            name.append(Letters[QRandomGenerator::global()->bounded(int(sizeof Letters - 1))]);
        // The bindings are one person's data: a new file is theirs alone. An
        // existing file's mode is given to it below. Read back before the
        // rename, so read and written.
        FileDescriptor fd(
            ::open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
        const int e = fd.IsOpen() ? EEXIST : errno;
        if (fd.IsOpen() && SaveLeftovers::LockTemporary(fd, name)) {
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
    if (KeepsTheFilesOwner(m_fd.Get()))
        return true;
    ::unlink(m_temporary.constData());
    m_temporary.clear();
    m_fd = FileDescriptor();
    return false;
}

bool FileReplacement::KeepsTheFilesOwner(int fd) const {
    if (!HasCurrent())
        return true;
    // The file keeps its owner, group and mode, even when root saves a
    // user's file. Where a new file cannot be given them, the file itself is
    // written.
    struct stat mine {};
    const bool owned =
        ::fstat(fd, &mine) == 0 && mine.st_uid == m_status.st_uid && mine.st_gid == m_status.st_gid;
    return (owned || ::fchown(fd, m_status.st_uid, m_status.st_gid) == 0) &&
           ::fchmod(fd, m_status.st_mode & 07777) == 0;
}

void FileReplacement::OpenInPlace() {
    if (!HasCurrent())
        throw FileError(FileError::AccessDenied); // no file to write, and no new one allowed
    // No lease here: this save is itself a writer of the file.
    m_fd =
        FileDescriptor(::open(m_final.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW));
    if (!m_fd.IsOpen())
        throw AboutFile(LastErrno(EACCES), m_final);
    struct stat st {};
    if (::fstat(m_fd.Get(), &st) != 0 || !SameFile(st, m_status))
        throw FileError(FileError::AccessDenied);
    m_inPlace = true;
}

bool FileReplacement::CurrentEquals(QByteArrayView bytes) {
    if (!HasCurrent()) {
        m_read = Read::NoFile;
        return true;
    }
    // The file's state is taken before its bytes: an edit that lands while
    // they are read shows as a change later.
    if (::fstat(m_current.Get(), &m_status) != 0)
        throw FileError::FromErrno(LastErrno(EIO));
    if (m_status.st_size != bytes.size())
        return false;
    const std::optional<size_t> hash = HashOfFile(m_current.Get(), bytes.size(), bytes.data());
    if (!hash)
        return false;
    m_read = Read::File;
    m_readSize = bytes.size();
    m_readHash = *hash;
    return true;
}

qsizetype FileReplacement::ReadCurrent(char* buffer, qsizetype maxBytes) {
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

QByteArray FileReplacement::KeepCopy(const QByteArray& kind) const {
    FileDescriptor copy;
    QByteArray name;
    for (int n = 1; !copy.IsOpen(); ++n) {
        name = KeptCopies::FreeName(m_final, kind);
        copy = FileDescriptor(
            ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
        if (!copy.IsOpen() && (errno != EEXIST || n == 100))
            throw FileError(FileError::CodeForErrno(LastErrno(EACCES)),
                            QStringLiteral("no copy of it can be kept beside it as %1 (%2)")
                                .arg(Shown(NameOf(name)), SystemText(errno)));
    }
    if (!KeepsTheFilesOwner(copy.Get()) || !KeptCopies::CopyAll(m_current.Get(), copy.Get()) ||
        ::fdatasync(copy.Get()) != 0) {
        const int e = LastErrno(EIO);
        ::unlink(name.constData());
        throw NotWritten(e, name);
    }
    return name;
}

void FileReplacement::Write(QByteArrayView bytes) {
    if (m_inPlace) {
        // Written by Finish, once the file is known to be the one read.
        m_inPlaceContent = bytes;
        return;
    }
    if (!WriteAllAt(m_fd.Get(), bytes.data(), bytes.size(), 0))
        throw NotWritten(errno, m_final);
}

qsizetype FileReplacement::ReadBack(char* buffer, qsizetype size, off_t offset) const {
    if (!m_inPlace)
        return ReadAllAt(m_fd.Get(), buffer, size, offset);
    // Written in place only by Finish, from these very bytes.
    const QByteArrayView part = m_inPlaceContent.sliced(
        std::min<qsizetype>(offset, m_inPlaceContent.size()),
        std::min<qsizetype>(size, std::max<qsizetype>(0, m_inPlaceContent.size() - offset)));
    std::copy(part.begin(), part.end(), buffer);
    return part.size();
}

bool FileReplacement::Finish() {
    // As late as can be: an edit that lands before this look is never lost.
    if (m_inPlace) {
        if (!StillAsRead())
            return false;
        InPlaceWrite::Write(m_fd.Get(), m_current.Get(), m_inPlaceContent, m_final);
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

bool FileReplacement::StillAsRead() const {
    struct stat named {};
    switch (m_read) {
    case Read::Nothing:
        return true; // nothing was read: whatever is there is replaced
    case Read::NoFile:
        return ::stat(m_final.constData(), &named) != 0 && errno == ENOENT;
    case Read::File:
        break;
    }
    // A writer the lease told of first; then the bytes, as the times move by
    // clock ticks and two writes within one tick leave them as they were;
    // then the times, for a write while the bytes were read; the name last,
    // as close to the rename as can be.
    struct stat now {};
    return !m_lease.Broken() && HashOfFile(m_current.Get(), m_readSize) == m_readHash &&
           ::fstat(m_current.Get(), &now) == 0 && SameVersion(now, m_status) &&
           ::stat(m_final.constData(), &named) == 0 && SameFile(named, m_status);
}

bool FileReplacement::Rename() {
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
            if (SwappedOutTheFileRead()) {
                ::unlink(temporary);
                return true;
            }
            if (::renameat2(AT_FDCWD, temporary, AT_FDCWD, final, RENAME_EXCHANGE) != 0) {
                // The edit is under the temporary name, which no later save
                // may take for a leftover.
                const QByteArray kept = m_final + ".edited";
                const int e = LastErrno(EIO);
                ::rename(temporary, kept.constData());
                throw FileError(FileError::CodeForErrno(e),
                                QStringLiteral("%1 was edited while it was saved, and the edit "
                                               "could not be put back (%2); it is kept as %3")
                                    .arg(Shown(m_final), SystemText(e), Shown(kept)));
            }
            return false;
        }
    }
    if (m_read != Read::Nothing && errno != EINVAL && errno != ENOSYS)
        throw AboutFile(LastErrno(EIO), m_final);
    return RenameWithoutSwap();
}

bool FileReplacement::SwappedOutTheFileRead() const {
    // (The swap itself gives the file a new change time.) Without a lease,
    // its bytes tell of a write within the clock tick of the last one.
    struct stat out {};
    struct stat now {};
    return ::lstat(m_temporary.constData(), &out) == 0 && SameFile(out, m_status) &&
           ::fstat(m_current.Get(), &now) == 0 && SameContent(now, m_status) && !m_lease.Broken() &&
           (m_lease.IsHeld() || HashOfFile(m_current.Get(), m_readSize) == m_readHash);
}

bool FileReplacement::RenameWithoutSwap() {
    const char* temporary = m_temporary.constData();
    const char* final = m_final.constData();
    if (m_read == Read::Nothing || !HasCurrent()) {
        // A new file where there was none: it takes the name only where the
        // name is still free; without hard links, whatever is there goes.
        if (::link(temporary, final) == 0) {
            ::unlink(temporary);
            return true;
        }
        if (errno == EEXIST && m_read != Read::Nothing)
            return false;
        if (::rename(temporary, final) != 0)
            throw AboutFile(LastErrno(EIO), m_final);
        return true;
    }
    // A file system that cannot swap two names: the file under the name is
    // moved aside first, so that what was there is known for certain, and
    // the new file then takes the name only while it is free.
    const QByteArray aside = SaveLeftovers::AsideName(m_temporary);
    if (::rename(final, aside.constData()) != 0) {
        if (errno == ENOENT)
            return false; // removed meanwhile: read again
        throw AboutFile(LastErrno(EIO), m_final);
    }
    struct stat out {};
    struct stat now {};
    const bool theFileRead = ::lstat(aside.constData(), &out) == 0 && SameFile(out, m_status) &&
                             ::fstat(m_current.Get(), &now) == 0 && SameContent(now, m_status) &&
                             !m_lease.Broken();
    bool placed = theFileRead && ::link(temporary, final) == 0;
    if (theFileRead && !placed && errno != EEXIST) {
        // Nor hard links: the name is free, and taken at once.
        placed = ::rename(temporary, final) == 0;
    }
    if (!placed) {
        PutBack(aside);
        return false;
    }
    ::unlink(temporary);
    ::unlink(aside.constData());
    return true;
}

void FileReplacement::PutBack(const QByteArray& aside) const {
    const char* final = m_final.constData();
    if (::link(aside.constData(), final) == 0) {
        ::unlink(aside.constData());
        return;
    }
    if (errno != EEXIST) {
        // Nor hard links: back by a rename.
        ::rename(aside.constData(), final);
        return;
    }
    // Something took the name while it was free. A whole file is an edit
    // saved meanwhile, newer than the one moved aside, and it stands; any
    // other (a few bytes written at a name that was briefly free) is kept
    // beside the file under a name of its own, and the file goes back.
    if (KeptCopies::IsWhole(m_final)) {
        ::unlink(aside.constData());
        return;
    }
    const QByteArray kept = KeptCopies::FreeName(m_final, QByteArrayLiteral("edited"));
    if (::link(final, kept.constData()) == 0 || errno != EEXIST)
        ::rename(aside.constData(), final);
}

void FileReplacement::SyncFolder() {
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

void FileReplacement::RaiseUnsynced() const {
    if (m_unsynced)
        throw *m_unsynced;
}
