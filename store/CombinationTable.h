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
//
// A damaged file (see FileDamage) is read as any other, and the load says
// what is wrong with it once the table holds what reads. A save never makes
// it worse: it keeps the damaged file beside it, byte for byte, and builds
// on the mended file, and it says so. What a save stores is read back
// before the file is replaced: a save that could not store what it was
// asked to fails, rather than saying it did.

#include "store/AssignProgress.h"
#include "store/BindingText.h"
#include "store/ButtonCatalogue.h"
#include "store/Combination.h"
#include "store/CombinationFile.h"
#include "store/CombinationRecord.h"
#include "store/FileDamage.h"
#include "store/RecordKeys.h"
#include "store/SparseRecords.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <functional>
#include <optional>
#include <vector>

class FileImage;
class FileReplacement;
class RebuiltRecords;

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
    bool FileExists() const { return m_file.Exists(); }

    // How often a save starts over on a file that an edit changed while it
    // was being saved, before it gives up.
    static constexpr int SaveAttempts = 5;

    // What a save did: how many combinations it bound or unbound (those
    // whose binding was already what was asked are not counted), and, when
    // it had to mend a damaged file first, what it says of that.
    struct Saved {
        int bound = 0;
        int unbound = 0;
        QString mended;
    };

    // Creates the file with every combination unassigned and builds the
    // table to match; when another program made the file meanwhile, loads
    // that one instead. Waiting is told while another program holds the
    // lock.
    void CreateDefaultFile();
    void CreateDefaultFile(AssignProgress& waiting);
    // Reads the file into the table. A read-only file loads. A short one
    // replaces the start of the table, what it lacks reads as never bound,
    // and it raises "Read beyond end of file"; any other damage the table
    // holds what reads and raises what is wrong. Waiting is told while a
    // save of another program holds the lock.
    void LoadFile();
    void LoadFile(AssignProgress& waiting);
    // The same for a table that is only read, and goes before the program
    // waits on anything outside it: where the system allows, the table
    // reads the file's own pages rather than a copy, and no program writes
    // the file in place until the table goes (one that tries waits).
    void LoadFileHeld();
    // What is wrong with the file, as last loaded or saved.
    const FileDamage& Damage() const { return m_damage; }
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
    // before anything changes, and so is a path holding a NUL byte, and a
    // combination that no record can hold. Progress hears its stages and
    // positions once, even when an edit on disk makes the save start over.
    Saved AssignCombination(const Combination& combination, const QString& info,
                            const QString& path, AssignProgress& progress);
    // The same with the bytes to store, taken as they are.
    Saved AssignCombination(const Combination& combination, const StoredBinding& binding,
                            AssignProgress& progress);
    // Several at once, in one save, in the order given (a later one of the
    // same combination wins); every text is checked before anything changes.
    Saved AssignCombinations(const std::vector<BoundCombination>& bindings,
                             AssignProgress& progress);
    // Mends the file when it is damaged (keeping it beside it), and writes
    // nothing when it is not.
    Saved Repair(AssignProgress& progress);

    // The whole table as the file would hold it.
    QByteArray Bytes() const;

    // Every combination whose lookup finds a binding (an information or a
    // path), with the bytes stored, in the order of the records found.
    std::vector<BoundCombination> BoundCombinations() const;
    // The same, handed over one at a time.
    void VisitBound(const std::function<void(const BoundCombination&)>& visit) const;
    // The same as the table holds them, without a copy of any text.
    void VisitBoundRecords(const std::function<void(const BoundRecord&)>& visit) const;
    // The record as VisitBoundRecords gives it, when it is one that it
    // gives: the first record of a combination of catalogue values, and one
    // that binds it. Its texts are valid until the table changes.
    std::optional<BoundRecord> BoundAt(int record) const;
    // The records whose bytes changed since the table's Version() was
    // version, in order; nothing when that cannot be told: the table was
    // replaced whole meanwhile (a load, a new or mended file) or changed too
    // often since. Only whole replacements change which combination a
    // record holds.
    std::optional<std::vector<int>> ChangedSince(quint64 version) const;

private:
    // Makes the table a new file's.
    void MakeDefault();
    // The bytes read from a file of fileSize bytes replace the table; what a
    // short file lacks reads as never bound. Notes what is wrong with them.
    void Take(QByteArrayView bytes, qsizetype fileSize);
    // The same with the pages the file was read into, read bytes of them.
    void Take(FileImage&& image, qsizetype read, qsizetype fileSize);
    // A load, the file copied or held as keeping says.
    void Load(CombinationFile::Keeping keeping, AssignProgress& waiting);
    // BoundAt, the keys made.
    std::optional<BoundRecord> BoundIn(int record) const;
    // The records no longer tell what changed: the table is replaced whole.
    void ReplacedWhole(quint64 from);
    // Raises what the load of a damaged file says.
    void RaiseDamage(qsizetype read) const;
    // The keys follow the table lazily: a load only marks them stale, and
    // the first lookup, after the window is up, builds them.
    void EnsureKeys() const;
    int FindRecord(const char* key, int from = 0) const;
    int FindRecord(const Combination& combination) const;

    // What one assignment stores: the texts, placeholders for none, and the
    // key of its combination (none for one that no record can hold).
    struct Change {
        Combination combination;
        std::optional<std::array<char, CombinationRecord::KeySize>> key;
        // The record number of a combination of buttons; -1 for any other.
        int buttons = -1;
        StoredBinding stored;
    };
    struct Attempt;
    Saved Save(const std::vector<Change>& changes, bool repairOnly, AssignProgress& progress);
    // One save under one lock: false when the file changed under it, with
    // the table as the file was read.
    bool SaveOnce(Attempt& attempt);
    // Takes the file's content, as the save's lock shows it, when it differs
    // from what was last loaded or saved, mending it (and keeping it beside
    // it) when it is damaged; bytes then holds the table. False, with nothing
    // taken, for a short file but at the last attempt.
    bool TakeCurrent(FileReplacement& replacement, char* bytes, Attempt& attempt);
    // Takes a whole file that is not damaged, read into bytes; false for any
    // other.
    bool TakeWholeCurrent(FileReplacement& replacement, char* bytes);
    // Takes the mended file of what was read (the whole of it), keeping the
    // file beside it first; bytes then holds the table.
    void Mend(QByteArrayView read, const FileDamage& damage, FileReplacement& replacement,
              char* bytes, Attempt& attempt);
    // Whether a change binds a combination of buttons that no record holds.
    bool LacksARecordFor(const std::vector<Change>& changes) const;
    // Rebuilds in bytes, and in the table, every record whose key is a
    // change's (the last such change's texts), noting the old ones in rebuilt.
    void Rebuild(const std::vector<Change>& changes, char* bytes, RebuiltRecords& rebuilt,
                 Attempt& attempt);
    // Reads back what the save stores for each change, from the new content
    // and from the file it went to.
    void Verify(const std::vector<Change>& changes, const char* bytes,
                const FileReplacement& replacement) const;

    CombinationFile m_file;
    SparseRecords m_records;
    mutable RecordKeys m_keys;
    mutable bool m_keysStale = false;
    mutable bool m_keysMade = false;
    // The file, as last loaded or saved, is the table's first m_diskSize
    // bytes (0: none; -1: not known, as for a file that was damaged).
    qsizetype m_diskSize = 0;
    FileDamage m_damage;
    // The file's stamp when the table last took it or put it there: taken
    // before a read and after a save, so that a change in between shows.
    std::optional<CombinationFile::Stamp> m_stamp;
    quint64 m_version = 0;
    // Each record a save changed, with the version it made, since the
    // version m_changesFrom: from it on, every change is in the list.
    std::vector<std::pair<quint64, int>> m_changed;
    quint64 m_changesFrom = 0;
};
