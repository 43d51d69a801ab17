#pragma once

// The combination file on disk: reading it whole, and replacing it whole in
// three steps (begin, write, finish) so that a failure at any step leaves the
// previous file as it was. Every failure is raised as a FileError.
//
// The path is kept as the bytes the system uses, so that a home or a file
// name that is not UTF-8 still names the right file. Only a regular file is
// read or replaced; a link, or a chain of links, leads to the file it names,
// and that file is the one replaced (the links stay). Several Trinodes may
// share one file, through different paths or as different users: a save
// holds a lock on the file from the moment it reads it to the rename, and a
// read waits for a save in progress, so that nobody sees half a file and no
// save builds on a file that another is replacing.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <sys/stat.h>

class CombinationFile final {
public:
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

    // Reads at most maxBytes from the start of the file into buffer and
    // returns how many it read. Only a failure to open or read raises.
    qsizetype ReadInto(char* buffer, qsizetype maxBytes) const;

    // The file a path finally names: every link in the chain followed, and
    // the folder it lies in given without links. The last part may not exist.
    static QByteArray ResolvedPath(const QByteArray& path);

    // Temporary files of saves are hidden files beside the combination file,
    // ".TrinodeRun.cmb.saving-" and six letters or digits, one name per save.
    static QByteArray TemporaryPrefix(const QByteArray& resolvedPath);

    // One replacement of the whole file. The constructor takes the lock and
    // finds the file as it is now; the new content goes to a temporary file
    // of its own, is flushed to the disk and renamed over the file. Where the
    // folder refuses a new file (or a new file could not keep the file's
    // owner), the file is written over in place instead, only where its bytes
    // change, and is never shortened or emptied before the new content is
    // complete. Nothing reaches the file until Finish succeeds; a Replacement
    // dropped before that leaves the previous file untouched and no temporary
    // file behind.
    class Replacement final {
    public:
        explicit Replacement(const CombinationFile& file);
        ~Replacement();
        Replacement(const Replacement&) = delete;
        Replacement& operator=(const Replacement&) = delete;

        // The file as it is while the lock is held.
        bool HasCurrent() const { return m_current >= 0; }
        // Whether the file's first maxBytes bytes are exactly these.
        bool CurrentEquals(QByteArrayView bytes, qsizetype maxBytes) const;
        qsizetype ReadCurrent(char* buffer, qsizetype maxBytes) const;

        bool InPlace() const { return m_inPlace; }
        void Write(QByteArrayView bytes);
        void Finish();

    private:
        void Lock();
        void RemoveLeftovers() const;
        bool CreateTemporary();
        void OpenInPlace();
        void WriteInPlace(QByteArrayView bytes);

        QByteArray m_final;
        QByteArray m_directory;
        QByteArray m_temporary;
        int m_current = -1; // the file as found, read-only; holds the lock when it exists
        int m_lock = -1;    // the folder, locked while there is no file yet
        int m_fd = -1;      // where the new content goes
        struct stat m_status {};
        bool m_locked = false;
        bool m_inPlace = false;
        bool m_finished = false;
    };

private:
    QByteArray m_path;
};
