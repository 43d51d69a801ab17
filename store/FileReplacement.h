#pragma once

// One replacement of a whole combination file. The constructor takes the
// file's lock; the new content goes to a temporary file of its own (locked
// while it lives, so that no other save takes it for a killed one's
// leftover), is flushed to the disk and put in the file's place. Where the
// folder refuses a new file (or a new file could not keep the file's owner),
// the file is written over in place instead, only where its bytes change,
// and is never shortened or emptied before the new content is complete.
// Nothing reaches the file until Finish succeeds; a replacement dropped
// before that leaves the previous file untouched and no temporary file
// behind.
//
// Once the file has been read, only that file is replaced. From the read to
// the moment the new file has the name, the replacement watches for anyone
// else's write: the file's bytes, size and times, the file under the name,
// and a lease that makes the system tell of every program that starts to
// write the file in place. Then Finish writes nothing and answers false, for
// the caller to read the file again and start over.

#include "store/AssignProgress.h"
#include "store/FileDescriptor.h"
#include "store/FileLock.h"
#include "store/TrinodeError.h"
#include "store/WriterLease.h"

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

#include <sys/stat.h>

class CombinationFile;

class FileReplacement final {
public:
    // Waits for the lock (and for a writer of the file) until the deadline.
    FileReplacement(const CombinationFile& file, AssignProgress& waiting,
                    FileLock::Clock::time_point deadline);
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    // Whether there was a file when the lock was taken.
    bool HasCurrent() const { return m_current.IsOpen(); }
    // The file's size as last looked at (0 for none).
    qsizetype CurrentSize() const { return HasCurrent() ? qsizetype(m_status.st_size) : 0; }
    // Whether the file, as the lock shows it, holds exactly these bytes; no
    // file counts as equal, having nothing that a write could lose. When it
    // does, Finish replaces only this file.
    bool CurrentEquals(QByteArrayView bytes);
    // Reads the file's first maxBytes as it is under the lock (nothing when
    // there is none); Finish replaces only the file read.
    qsizetype ReadCurrent(char* buffer, qsizetype maxBytes);
    // Keeps the file read, byte for byte, in a new file beside it whose
    // name tells what it is and when it was kept; returns that name.
    QByteArray KeepCopy(const QByteArray& kind) const;

    // The new content, which must stay as it is until Finish.
    void Write(QByteArrayView bytes);
    // The bytes at offset of the new content, as the system holds them.
    qsizetype ReadBack(char* buffer, qsizetype size, off_t offset) const;
    // Puts the new content in the file's place: false, with nothing
    // written, when the file is no longer the one read.
    [[nodiscard]] bool Finish();
    // Raises a failed sync of the folder after the rename, if there was
    // one. The file is replaced by then, so the caller raises it once it has
    // taken the new content as the file's.
    void RaiseUnsynced() const;

private:
    void Lock(AssignProgress& waiting, FileLock::Clock::time_point deadline);
    bool LockTheFileItself(FileLock::Clock::time_point deadline, AssignProgress& waiting);
    void OpenCurrent();
    void WatchWriters(AssignProgress& waiting, FileLock::Clock::time_point deadline);
    bool CreateTemporary();
    bool KeepsTheFilesOwner(int fd) const;
    void OpenInPlace();
    bool StillAsRead() const;
    bool Rename();
    bool SwappedOutTheFileRead() const;
    bool RenameWithoutSwap();
    void PutBack(const QByteArray& aside) const;
    void SyncFolder();

    // What CurrentEquals or ReadCurrent found.
    enum class Read { Nothing, NoFile, File };

    QByteArray m_final;
    QByteArray m_directory;
    QByteArray m_temporary;
    // Closed in the reverse order, the lock last. The lock is the lock
    // file, or the folder while there is no file; m_current is the file as
    // found, read-only, and holds the lock where there is no lock file, and
    // the lease; m_fd is where the new content goes.
    FileDescriptor m_lock;
    FileDescriptor m_current;
    FileDescriptor m_fd;
    WriterLease m_lease;
    struct stat m_status {}; // of m_current, as last read
    Read m_read = Read::Nothing;
    qsizetype m_readSize = 0;
    size_t m_readHash = 0;
    QByteArrayView m_inPlaceContent;
    std::optional<FileError> m_unsynced;
    bool m_locked = false;
    bool m_inPlace = false;
    bool m_finished = false;
};
