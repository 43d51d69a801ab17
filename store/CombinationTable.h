#pragma once

// The combination table: the whole combination file in memory, 12167 records
// of 176 bytes in file order, exactly as on disk. One table is made at
// start-up and handed to the windows; it is the only way they reach the file.
//
// After a successful load or save the table and the file hold the same
// bytes. An assignment that fails leaves both as they were, and one that
// finds the file changed on disk since then takes that content first, so a
// hand edit made while the program runs is never written over.

#include "store/AssignProgress.h"
#include "store/Combination.h"
#include "store/CombinationFile.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <future>
#include <vector>

class CombinationTable final {
public:
    static constexpr int RecordCount = 12167;
    static constexpr qsizetype FileSize = qsizetype(RecordCount) * 176;
    static constexpr int PositionStep = 15;

    static const QString NotFoundText;

    explicit CombinationTable(QString filePath = CombinationFile::DefaultPath());
    CombinationTable(const CombinationTable&) = delete;
    CombinationTable& operator=(const CombinationTable&) = delete;

    const QString& FilePath() const { return m_file.Path(); }
    bool FileExists() const { return m_file.Exists(); }

    // Creates the file with every combination unassigned and builds the
    // table to match.
    void CreateDefaultFile();
    // Reads the file into the table. A read-only file loads; a short one
    // replaces the start of the table and raises "Read beyond end of file".
    void LoadFile();
    // Starts reading the file on a thread of its own, for the next LoadFile
    // to take: at start-up the read, and the first touch of the fresh 2 MB
    // buffer it fills, then overlap with making the window instead of
    // delaying its first paint. Failures wait for LoadFile, which raises them.
    void PrefetchFile();

    // The first record, from record 0 upwards, whose trimmed socket fields
    // equal the combination; "Not found!" and an empty path when none does.
    Binding FindCombination(const Combination& combination) const;

    // Rebuilds every record of the combination with the texts (an empty text
    // stores the placeholder) and rewrites the whole file. Texts longer than
    // their field (30 and 100 bytes in the stored encoding) are refused
    // before anything changes.
    void AssignCombination(const Combination& combination, const QString& info, const QString& path,
                           AssignProgress& progress);

    QByteArrayView Bytes() const;
    const char* Record(int number) const;

private:
    // Until the first load or creation the table is all zero bytes; it is
    // made only when something needs it, which a normal start never does.
    void EnsureTable() const;
    void Adopt(const QByteArray& bytesRead);
    // The keys follow the table lazily: a load only marks them stale, and
    // the first lookup, after the window is up, builds them.
    void EnsureKeys() const;
    // Takes the file's content when it differs from what was last loaded or
    // saved.
    void TakeExternalEdits();
    void Write(QByteArray bytes);

    CombinationFile m_file;
    mutable QByteArray m_table;
    // The normalised socket bytes of every record, in record order, so that a
    // lookup is one straight comparison per record.
    mutable std::vector<char> m_keys;
    mutable bool m_keysStale = false;
    // The file's first FileSize bytes as last loaded or saved (empty: none).
    QByteArray m_disk;
    // A read started by PrefetchFile that no LoadFile has taken yet.
    std::future<QByteArray> m_prefetch;
};
