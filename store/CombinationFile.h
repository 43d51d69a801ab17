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
// different users. Every load and save of it takes the same lock (FileLock):
// a save (FileReplacement) holds it exclusively from reading the file to the
// rename, a load shares it, so that nobody sees half a file and no save
// builds on a file that another is replacing.

#include "store/AssignProgress.h"
#include "store/FileImage.h"
#include "store/FileLock.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <optional>

#include <sys/stat.h>

class CombinationFile final {
public:
    // How long a load, or a save with all its attempts, waits for another
    // program.
    static constexpr std::chrono::milliseconds LockWait = FileLock::Wait;

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

    // Reads at most maxBytes from the start of the file; waiting is told
    // between tries while a save holds the lock or another program writes
    // the file. Only a failure to open or read raises.
    //
    // With Keeping::Held, and where the system grants a lease, the image is
    // the file's own pages, not a copy, and the read's lock and lease stay
    // held until the image goes: a program that opens the file to write it,
    // or cuts it, waits until then. Only for an image that goes before the
    // program waits on anything outside it, such as a reader of its output.
    enum class Keeping { Copied, Held };
    struct ImageRead {
        FileImage image;
        qsizetype read = 0;     // bytes of the image that the file holds
        qsizetype fileSize = 0; // the whole file's size
    };
    ImageRead Read(qsizetype maxBytes, Keeping keeping, AssignProgress& waiting) const;

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

private:
    QByteArray m_path;
};
