#pragma once

// The combination table: the whole combination file in memory, 12167 records
// of 176 bytes in file order, exactly as on disk. One table is made at
// start-up and handed to the windows; it is the only way they reach the file.
// A record that holds what a new file holds at its place is not kept: it is
// made again when needed, so that the table takes memory for what the user
// bound and edited, not for the two megabytes of the whole file.
//
// After a successful load or save the table and the file hold the same
// bytes. An assignment that fails leaves both as they were, and one that
// finds the file changed on disk since then takes that content first, so a
// hand edit made while the program runs is never written over: not even one
// that lands while the file is being saved, which the save takes and then
// makes again on top of it.

#include "store/AssignProgress.h"
#include "store/BindingText.h"
#include "store/ButtonCatalogue.h"
#include "store/Combination.h"
#include "store/CombinationFile.h"
#include "store/CombinationRecord.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <optional>
#include <vector>

class CombinationTable final {
public:
    static constexpr int RecordCount = ButtonCatalogue::RecordCount;
    static constexpr qsizetype FileSize = qsizetype(RecordCount) * CombinationRecord::Size;
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

    // How often a save starts over on a file that an edit changed while it
    // was being saved, before it gives up.
    static constexpr int SaveAttempts = 5;

    // Creates the file with every combination unassigned and builds the
    // table to match. Waiting is told while another program holds the lock.
    void CreateDefaultFile();
    void CreateDefaultFile(AssignProgress& waiting);
    // Reads the file into the table. A read-only file loads; a short one
    // replaces the start of the table and raises "Read beyond end of file".
    // Waiting is told while a save of another program holds the lock.
    void LoadFile();
    void LoadFile(AssignProgress& waiting);
    // Whether the file may have changed since the table last took it from
    // the disk or put it there (a hand edit, another program's import):
    // then a load takes the change.
    bool FileChanged() const;
    // Counts the loads and saves: a view of the table made at one count is
    // still true while the count stays.
    quint64 Version() const { return m_version; }

    // The first record, from record 0 upwards, whose trimmed socket fields
    // equal the combination; "Not found!" and an empty path when none does.
    Binding FindCombination(const Combination& combination) const;
    // The same record's binding as the bytes stored (empty for the
    // placeholder and for none).
    StoredBinding Stored(const Combination& combination) const;

    // Rebuilds every record of the combination with the texts (an empty text
    // stores the placeholder) and rewrites the whole file. Texts longer than
    // their field (30 and 100 bytes in the stored encoding) are refused
    // before anything changes, and so is a path holding a NUL byte. Progress
    // hears its stages and positions once, even when an edit on disk makes
    // the save start over.
    void AssignCombination(const Combination& combination, const QString& info, const QString& path,
                           AssignProgress& progress);
    // The same with the bytes to store, taken as they are.
    void AssignCombination(const Combination& combination, const StoredBinding& binding,
                           AssignProgress& progress);
    // Several at once, in one save, in the order given (a later one of the
    // same combination wins); every text is checked before anything changes.
    void AssignCombinations(const std::vector<BoundCombination>& bindings,
                            AssignProgress& progress);

    // The whole table as the file would hold it.
    QByteArray Bytes() const;

    // Every combination whose lookup finds a binding (an information or a
    // path), with the bytes stored, in the order of the records found.
    std::vector<BoundCombination> BoundCombinations() const;

private:
    // What a record holds: the new file's record at its place, 176 zero
    // bytes, or the record kept in m_records at this index.
    enum Place : qint32 { DefaultRecord = -1, ZeroRecord = -2 };
    // The socket values of a record as indexes into the button catalogue,
    // one byte each; OtherValue for a value that names no entry.
    using CompactKey = std::array<quint8, 3>;

    // Until the first load or creation the table is all zero bytes; it is
    // made only when something needs it, which a normal start never does.
    void EnsureTable() const;
    // The record's 176 bytes: where it is kept, or made in scratch.
    const char* Peek(int number, char* scratch) const;
    // Writes the whole table, FileSize bytes, to out.
    void CopyTo(char* out) const;
    // Gives the record these bytes.
    void Put(int number, const char* bytes);
    // The bytes read from the file replace the start of the table, the rest
    // keeps its content; fewer than a whole file raise "Read beyond end of
    // file" once taken.
    void Take(QByteArrayView bytes);
    // The keys follow the table lazily: a load only marks them stale, and
    // the first lookup, after the window is up, builds them.
    void EnsureKeys() const;
    // The first record whose trimmed socket fields equal the key (of
    // KeySize bytes) at or after from, or -1.
    int FindRecord(const char* key, int from = 0) const;
    int FindRecord(const Combination& combination) const;
    // Takes the file's content, as the save's lock shows it, when it differs
    // from what was last loaded or saved; bytes holds the table as it stands
    // and follows it. False, with nothing taken, for a short file but at the
    // last attempt.
    bool TakeExternalEdits(CombinationFile::Replacement& replacement, char* bytes,
                           bool lastAttempt);
    // What one assignment stores: the texts, placeholders for none, and the
    // key of its combination (none for one that no record can hold).
    struct Change {
        std::optional<std::array<char, CombinationRecord::KeySize>> key;
        StoredBinding stored;
    };
    // One save under one lock: false when the file changed under it, with
    // the table as the file was read.
    bool SaveOnce(const std::vector<Change>& changes, AssignProgress& progress, bool lastAttempt);
    class Rebuilt;
    // Rebuilds in bytes, and in the table, every record whose key is a
    // change's (the last such change's texts), noting the old ones in rebuilt.
    void Rebuild(const std::vector<Change>& changes, char* bytes, Rebuilt& rebuilt,
                 AssignProgress& progress);

    CombinationFile m_file;
    mutable std::vector<qint32> m_places;
    std::vector<std::array<char, CombinationRecord::Size>> m_records;
    // Every record's key, in record order, and the full normalised socket
    // bytes of the few records with a value that names no catalogue entry:
    // a lookup is then one three-byte comparison per record.
    mutable std::vector<CompactKey> m_keys;
    mutable std::vector<std::pair<int, QByteArray>> m_otherKeys;
    mutable bool m_keysStale = false;
    // The file, as last loaded or saved, is the table's first m_diskSize
    // bytes (0: none).
    qsizetype m_diskSize = 0;
    // The file's stamp when the table last took it or put it there: taken
    // before a read and after a save, so that a change in between shows.
    std::optional<CombinationFile::Stamp> m_stamp;
    quint64 m_version = 0;
};
