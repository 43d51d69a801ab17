#pragma once

// The combination file on disk: reading it whole, and replacing it whole in
// three steps (create, write, finish) so that a failure at any step leaves the
// previous file as it was. Every failure is raised as a FileError.

#include <QByteArray>
#include <QString>

class CombinationFile final {
public:
    explicit CombinationFile(QString path);

    // $HOME/TrinodeRun.cmb: the home directory stands for the root of the
    // user's own drive.
    static QString DefaultPath();

    const QString& Path() const { return m_path; }
    bool Exists() const;
    // The file exists and may not be written: no write permission for its
    // owner (honoured even where the process could override it) or none
    // for this process.
    bool IsReadOnly() const;

    // Reads at most maxBytes from the start of the file. A shorter file gives
    // fewer bytes; only a failure to open or read raises.
    QByteArray Read(qsizetype maxBytes) const;

    // Where a save writes before it renames over the file: a hidden file
    // beside it, ".TrinodeRun.cmb.saving".
    static QString TemporaryPath(const QString& path);

    // One replacement of the whole file: the new content goes to the
    // temporary file, is flushed to the disk and renamed over the file.
    // Nothing reaches the file's name until Finish succeeds; a Replacement
    // dropped before that leaves the previous file untouched and no
    // temporary file behind.
    class Replacement final {
    public:
        explicit Replacement(const QString& path);
        ~Replacement();
        Replacement(const Replacement&) = delete;
        Replacement& operator=(const Replacement&) = delete;

        void Write(const QByteArray& bytes);
        void Finish();

    private:
        QByteArray m_final;
        QByteArray m_temporary;
        int m_fd = -1;
        bool m_direct = false;
        bool m_finished = false;
    };

private:
    QString m_path;
};
