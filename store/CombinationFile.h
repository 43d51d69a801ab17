#pragma once

// The combination file on disk: reading it whole, and replacing it whole in
// three steps (create, write, finish) so that a failure at any step leaves the
// previous file as it was. Every failure is raised as a FileError.

#include <QByteArray>
#include <QString>

#include <memory>

class QSaveFile;

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

    // One replacement of the whole file. Nothing reaches the file's name
    // until Finish succeeds; a Replacement dropped before that leaves the
    // previous file untouched and no temporary file behind.
    class Replacement final {
    public:
        explicit Replacement(const QString& path);
        ~Replacement();
        Replacement(const Replacement&) = delete;
        Replacement& operator=(const Replacement&) = delete;

        void Write(const QByteArray& bytes);
        void Finish();

    private:
        std::unique_ptr<QSaveFile> m_file;
    };

private:
    QString m_path;
};
