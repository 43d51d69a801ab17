#pragma once

// The combination file on disk: reading it whole, and replacing it whole in
// three steps (begin, write, finish) so that a failure at any step leaves the
// previous file as it was. Every failure is raised as a FileError.
//
// The path is kept as the bytes the system uses, so that a home or a file
// name that is not UTF-8 still names the right file. Only a regular file is
// read or replaced; a link, or a chain of links, leads to the file it names,
// and that file is the one replaced (the links stay).
//
// Several Trinodes may share one file, through different paths or as
// different users. Every load and save of it takes the same lock, chosen by
// one rule: a hidden lock file beside it that only its owner can open, so
// that no other user can hold what Trinode waits for, or, where there can be
// no such file, the file itself. A save holds it exclusively from reading the
// file to the rename, a load shares it, so that nobody sees half a file and
// no save builds on a file that another is replacing. Nobody waits for it
// long: after LockWait a load goes on without it and a save fails, saying
// that another program holds the file and that nothing was written.

#include "store/AssignProgress.h"
#include "store/FileDescriptor.h"
#include "store/TrinodeError.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <chrono>
#include <optional>

#include <sys/stat.h>

class CombinationFile final {
public:
    // How long a load or a save waits for a lock that another program holds.
    static constexpr std::chrono::milliseconds LockWait{3000};

    explicit CombinationFile(const QString& path);
    explicit CombinationFile(QByteArray localPath);

    // The home directory's TrinodeRun.cmb: the home directory stands for the
    // root of the user's own drive.
    static QByteArray DefaultLocalPath();
    static QString DefaultPath();

    QString Path() const;
    const QByteArray& LocalPath() const { return m_path; }
    bool Exists() const;
    // The file exists and may not be written: no write permission for its
    // owner (honoured even where the process could override it) or none
    // for this process.
    bool IsReadOnly() const;

    // What tells one content of the file from another without reading it:
    // which file has the name, its size, and when it was last modified and
    // changed. Equal stamps, nothing written in between; none when there is
    // no file.
    struct Stamp {
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        timespec modified{};
        timespec changed{};
        friend bool operator==(const Stamp& a, const Stamp& b);
    };
    std::optional<Stamp> CurrentStamp() const;

    // Reads at most maxBytes from the start of the file into buffer and
    // returns how many it read; waiting is told between tries while a save
    // holds the lock. Only a failure to open or read raises.
    qsizetype ReadInto(char* buffer, qsizetype maxBytes, AssignProgress& waiting) const;

    // The file a path finally names: every link in the chain followed, and
    // the folder it lies in given without links. The last part may not exist.
    static QByteArray ResolvedPath(const QByteArray& path);

    // Temporary files of saves are hidden files beside the combination file,
    // ".TrinodeRun.cmb.saving-" and six letters or digits, one name per save.
    static QByteArray TemporaryPrefix(const QByteArray& resolvedPath);
    // The lock file: ".TrinodeRun.cmb.lock" beside TrinodeRun.cmb. It is
    // made once and never removed: removing it could let two saves lock two
    // files of one name.
    static QByteArray LockPath(const QByteArray& resolvedPath);

    // One replacement of the whole file. The constructor takes the lock; the
    // new content goes to a temporary file of its own (locked while it lives,
    // so that no other save takes it for a killed one's leftover), is flushed
    // to the disk and renamed over the file. Where the folder refuses a new
    // file (or a new file could not keep the file's owner), the file is
    // written over in place instead, only where its bytes change, and is
    // never shortened or emptied before the new content is complete. Nothing
    // reaches the file until Finish succeeds; a Replacement dropped before
    // that leaves the previous file untouched and no temporary file behind.
    class Replacement final {
    public:
        Replacement(const CombinationFile& file, AssignProgress& waiting);
        ~Replacement();
        Replacement(const Replacement&) = delete;
        Replacement& operator=(const Replacement&) = delete;

        // Whether there was a file when the lock was taken.
        bool HasCurrent() const { return m_current.IsOpen(); }
        // Whether the file, as the lock shows it, holds these bytes (its
        // first maxBytes); no file counts as equal, having nothing that a
        // write could lose. When it does, Finish replaces only this file.
        bool CurrentEquals(QByteArrayView bytes, qsizetype maxBytes);
        // Reads the file as it is under the lock (nothing when there is
        // none); Finish replaces only the file read.
        qsizetype ReadCurrent(char* buffer, qsizetype maxBytes);

        // The new content, which must stay as it is until Finish.
        void Write(QByteArrayView bytes);
        // Puts the new content in the file's place. Once ReadCurrent has
        // read the file, only that file is replaced: when the file under the
        // name is no longer the one read (an edit landed meanwhile), nothing
        // is written and the result is false, for the caller to read the
        // file again and start over.
        [[nodiscard]] bool Finish();
        // Raises a failed sync of the folder after the rename, if there was
        // one. The file is replaced by then, so the caller raises it once it
        // has taken the new content as the file's.
        void RaiseUnsynced() const;

    private:
        void Lock(AssignProgress& waiting);
        bool LockTheFileItself(std::chrono::steady_clock::time_point deadline,
                               AssignProgress& waiting);
        void OpenCurrent();
        void RemoveLeftovers() const;
        bool CreateTemporary();
        bool KeepsTheFilesOwner();
        void OpenInPlace();
        void WriteInPlace(QByteArrayView bytes);
        void WriteChangedBytes(QByteArrayView bytes);
        bool StillAsRead() const;
        bool Rename();
        void SyncFolder();

        // What CurrentEquals or ReadCurrent found.
        enum class Read { Nothing, NoFile, File };

        QByteArray m_final;
        QByteArray m_directory;
        QByteArray m_temporary;
        // Closed in the reverse order, the lock last. The lock is the lock
        // file, or the folder while there is no file; m_current is the file
        // as found, read-only, and holds the lock where there is no lock
        // file; m_fd is where the new content goes.
        FileDescriptor m_lock;
        FileDescriptor m_current;
        FileDescriptor m_fd;
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

private:
    QByteArray m_path;
};
