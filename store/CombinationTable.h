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

    // The home directory's file.
    CombinationTable();
    explicit CombinationTable(const QString& filePath);
    explicit CombinationTable(const CombinationFile& file);
    CombinationTable(const CombinationTable&) = delete;
    CombinationTable& operator=(const CombinationTable&) = delete;

    QString FilePath() const { return m_file.Path(); }
    const CombinationFile& File() const { return m_file; }
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
    // The same record's binding as the bytes stored (empty for the
    // placeholder and for none).
    StoredBinding Stored(const Combination& combination) const;

    // Rebuilds every record of the combination with the texts (an empty text
    // stores the placeholder) and rewrites the whole file. Texts longer than
    // their field (30 and 100 bytes in the stored encoding) are refused
    // before anything changes.
    void AssignCombination(const Combination& combination, const QString& info, const QString& path,
                           AssignProgress& progress);
    // The same with the bytes to store, taken as they are.
    void AssignCombination(const Combination& combination, const StoredBinding& binding,
                           AssignProgress& progress);

    QByteArrayView Bytes() const;
    const char* Record(int number) const;

private:
    // Until the first load or creation the table is all zero bytes; it is
    // made only when something needs it, which a normal start never does.
    void EnsureTable() const;
    // Reads the file into the table through read: the bytes read replace the
    // start of the table, the rest keeps its content.
    template <class Read> void Load(Read read);
    // The keys follow the table lazily: a load only marks them stale, and
    // the first lookup, after the window is up, builds them.
    void EnsureKeys() const;
    // The first record whose trimmed socket fields equal the combination, or
    // null.
    const char* FindRecord(const Combination& combination) const;
    // Takes the file's content, as the save's lock shows it, when it differs
    // from what was last loaded or saved.
    void TakeExternalEdits(const CombinationFile::Replacement& replacement);

    CombinationFile m_file;
    mutable QByteArray m_table;
    // The normalised socket bytes of every record, in record order, so that a
    // lookup is one straight comparison per record.
    mutable std::vector<char> m_keys;
    mutable bool m_keysStale = false;
    // The file, as last loaded or saved, is the table's first m_diskSize
    // bytes (0: none). Only the table is kept: a second copy of two
    // megabytes would stay allocated for as long as the program runs.
    qsizetype m_diskSize = 0;
    // A read started by PrefetchFile that no LoadFile has taken yet.
    std::future<QByteArray> m_prefetch;
};
