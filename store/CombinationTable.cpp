#include "store/CombinationTable.h"

#include "store/ButtonCatalogue.h"
#include "store/CombinationRecord.h"
#include "store/FileImage.h"
#include "store/FileReplacement.h"
#include "store/RebuiltRecords.h"
#include "store/SaveReadBack.h"
#include "store/TrinodeError.h"

#include <QFile>
#include <QStringList>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace Record = CombinationRecord;

const QString CombinationTable::NotFoundText = QStringLiteral("Not found!");

namespace {

// How much of a damaged file a save reads to mend it: records that an
// inserted byte pushed past the usual end are still found. Beyond that lies
// what is no record; the copy kept beside the file holds all of it.
constexpr qsizetype MendReadLimit = 2 * CombinationTable::FileSize;

QString ShownText(QByteArrayView field) {
    return field == Record::Placeholder ? QString() : Record::Decode(field);
}

// A text field as stored: empty for the placeholder.
QByteArrayView StoredView(QByteArrayView field) {
    return field == Record::Placeholder ? QByteArrayView() : field;
}

QByteArray StoredBytes(QByteArrayView field) {
    return StoredView(field).toByteArray();
}

} // namespace

// One assignment's save, over its attempts.
struct CombinationTable::Attempt {
    const std::vector<Change>& changes;
    bool repairOnly;
    AssignProgress& progress;
    FileLock::Clock::time_point deadline;
    bool last = false;
    Saved saved;
};

CombinationTable::CombinationTable() : m_file(CombinationFile::DefaultLocalPath()) {}

CombinationTable::CombinationTable(const QString& filePath) : m_file(filePath) {}

CombinationTable::CombinationTable(const CombinationFile& file) : m_file(file) {}

QByteArray CombinationTable::Bytes() const {
    QByteArray bytes(FileSize, Qt::Uninitialized);
    m_records.CopyTo(bytes.data());
    return bytes;
}

void CombinationTable::EnsureKeys() const {
    if (!m_keysStale && m_keysMade)
        return;
    m_keysStale = false;
    m_keysMade = true;
    m_keys.Build([this](int number, char* scratch) { return m_records.Peek(number, scratch); },
                 [this](int number) { return m_records.IsDefault(number); });
}

void CombinationTable::MakeDefault() {
    m_records.MakeDefault();
    m_keysStale = true;
    // The table changed ahead of the version that a save or a new file gives it.
    ReplacedWhole(m_version + 1);
}

void CombinationTable::ReplacedWhole(quint64 from) {
    m_changed.clear();
    m_changesFrom = from;
}

void CombinationTable::CreateDefaultFile() {
    NoProgress none;
    CreateDefaultFile(none);
}

void CombinationTable::CreateDefaultFile(AssignProgress& waiting) {
    const FileLock::Clock::time_point deadline = FileLock::Clock::now() + CombinationFile::LockWait;
    for (;;) {
        FileReplacement replacement(m_file, waiting, deadline);
        if (replacement.HasCurrent()) {
            // Another program made the file meanwhile: it is taken as a load
            // takes it, never replaced.
            FileImage file(FileSize);
            m_stamp = m_file.CurrentStamp();
            const qsizetype read = replacement.ReadCurrent(file.Data(), FileSize);
            Take(file.View(read), replacement.CurrentSize());
            RaiseDamage(read);
            return;
        }
        (void)replacement.CurrentEquals({}); // no file: only a new one is made
        MakeDefault();
        m_diskSize = 0;
        FileImage image(FileSize);
        m_records.CopyTo(image.Data());
        replacement.Write(image.View());
        if (!replacement.Finish())
            continue; // made by another program after all: that one is taken
        m_diskSize = FileSize;
        m_damage = FileDamage::Of(image.View(), FileSize);
        m_stamp = m_file.CurrentStamp();
        ++m_version;
        replacement.RaiseUnsynced();
        return;
    }
}

void CombinationTable::Take(QByteArrayView bytes, qsizetype fileSize) {
    FileImage image(FileSize);
    const qsizetype size = std::min(bytes.size(), FileSize);
    std::memcpy(image.Data(), bytes.data(), size_t(size));
    Take(std::move(image), size, fileSize);
}

void CombinationTable::Take(FileImage&& image, qsizetype read, qsizetype fileSize) {
    ++m_version;
    // Bytes past a whole file's are passed over; whatever the file lacks
    // reads as a new file's record, never as NUL bytes that a save would
    // write.
    read = std::min(read, FileSize);
    m_damage = FileDamage::Of(image.View(read), fileSize);
    m_diskSize = m_damage.IsDamaged() ? -1 : read;
    const qsizetype whole = read - read % Record::Size;
    char merged[Record::Size];
    if (whole < read)
        SparseRecords::BuildCut(int(whole / Record::Size), image.Data() + whole, read - whole,
                                merged);
    m_records.Take(std::move(image), int(whole / Record::Size));
    m_keysStale = true;
    ReplacedWhole(m_version);
    if (whole < read)
        m_records.Put(int(whole / Record::Size), merged);
}

void CombinationTable::RaiseDamage(qsizetype read) const {
    if (!m_damage.IsDamaged())
        return;
    const QString what =
        QStringLiteral("%1 is damaged: %2. Trinode goes on with what reads; the next save mends "
                       "it and keeps the damaged file beside it (trinode --check tells more)")
            .arg(FilePath(), m_damage.Summary());
    if (read < FileSize)
        throw FileError(FileError::ReadBeyondEnd, what);
    throw TrinodeError(what);
}

void CombinationTable::LoadFile() {
    NoProgress none;
    LoadFile(none);
}

void CombinationTable::LoadFile(AssignProgress& waiting) {
    Load(CombinationFile::Keeping::Copied, waiting);
}

void CombinationTable::LoadFileHeld() {
    NoProgress none;
    Load(CombinationFile::Keeping::Held, none);
}

void CombinationTable::Load(CombinationFile::Keeping keeping, AssignProgress& waiting) {
    // The file is read aside, so that a failed read leaves the table as it
    // was; the image goes once its records are taken, unless the table
    // keeps it.
    const std::optional<CombinationFile::Stamp> stamp = m_file.CurrentStamp();
    CombinationFile::ImageRead read = m_file.Read(FileSize, keeping, waiting);
    // What was read is taken, a short file's start too.
    m_stamp = stamp;
    Take(std::move(read.image), read.read, read.fileSize);
    RaiseDamage(read.read);
}

bool CombinationTable::FileChanged() const {
    return m_file.CurrentStamp() != m_stamp;
}

int CombinationTable::FindRecord(const char* key, int from) const {
    EnsureKeys();
    return m_keys.Find(key, from);
}

int CombinationTable::FindRecord(const Combination& combination) const {
    char key[Record::KeySize];
    if (!Record::KeyOf(combination, key))
        return -1;
    return FindRecord(key);
}

Binding CombinationTable::FindCombination(const Combination& combination) const {
    const int number = FindRecord(combination);
    if (number < 0)
        return {NotFoundText, QString()};
    char scratch[Record::Size];
    const char* record = m_records.Peek(number, scratch);
    return {ShownText(Record::ReadField(record, Record::Field::Info)),
            ShownText(Record::ReadField(record, Record::Field::Path))};
}

StoredBinding CombinationTable::Stored(const Combination& combination) const {
    const int number = FindRecord(combination);
    if (number < 0)
        return {};
    char scratch[Record::Size];
    const char* record = m_records.Peek(number, scratch);
    return {StoredBytes(Record::ReadField(record, Record::Field::Info)),
            StoredBytes(Record::ReadField(record, Record::Field::Path))};
}

CombinationTable::Saved CombinationTable::AssignCombination(const Combination& combination,
                                                            const QString& info,
                                                            const QString& path,
                                                            AssignProgress& progress) {
    return AssignCombination(combination, {Record::Encode(info), Record::Encode(path)}, progress);
}

CombinationTable::Saved CombinationTable::AssignCombination(const Combination& combination,
                                                            const StoredBinding& binding,
                                                            AssignProgress& progress) {
    return AssignCombinations({{combination, binding}}, progress);
}

CombinationTable::Saved
CombinationTable::AssignCombinations(const std::vector<BoundCombination>& bindings,
                                     AssignProgress& progress) {
    std::vector<Change> changes;
    changes.reserve(bindings.size());
    for (const auto& [combination, binding] : bindings) {
        Change& change = changes.emplace_back();
        change.combination = combination;
        change.stored = Record::Storable(binding);
        // Only a combination of buttons is sure of a record, if need be by
        // mending the file; any other is bound only where a hand edit made
        // one.
        std::array<char, Record::KeySize> key;
        if (const std::optional<int> number = ButtonCatalogue::RecordNumber(combination)) {
            char made[Record::Size];
            SparseRecords::BuildDefault(*number, made);
            std::memcpy(key.data(), made + 1, Record::KeySize);
            change.buttons = *number;
        } else if (!Record::KeyOf(combination, key.data()) || FindRecord(key.data()) < 0) {
            throw TrinodeError(QStringLiteral("%1 holds no record for %2, which names no button; "
                                              "nothing was written")
                                   .arg(FilePath(), ButtonCatalogue::Spoken(combination)));
        }
        change.key = key;
    }
    return Save(changes, false, progress);
}

CombinationTable::Saved CombinationTable::Repair(AssignProgress& progress) {
    return Save({}, true, progress);
}

CombinationTable::Saved CombinationTable::Save(const std::vector<Change>& changes, bool repairOnly,
                                               AssignProgress& progress) {
    TellingOnce told(progress);
    if (!repairOnly)
        told.Stage(QStringLiteral("Processing..."));
    if (m_file.IsReadOnly())
        throw FileError(FileError::AccessDenied);
    // One wait for other programs, however often the save starts over.
    Attempt attempt{changes, repairOnly, told, FileLock::Clock::now() + CombinationFile::LockWait,
                    false,   {}};
    // An edit that lands while the file is saved makes the save start over
    // on the edited file.
    for (int n = 1; n <= SaveAttempts; ++n) {
        attempt.last = n == SaveAttempts;
        attempt.saved = {};
        if (SaveOnce(attempt))
            return attempt.saved;
    }
    throw TrinodeError(
        QStringLiteral("%1 kept changing while it was saved; nothing was written").arg(FilePath()));
}

bool CombinationTable::SaveOnce(Attempt& attempt) {
    // From here to the rename the save holds the file's lock: a second
    // Trinode on the same file waits, and then builds on this one's result.
    FileReplacement replacement(m_file, attempt.progress, attempt.deadline);
    // The new file is made once, from the table as it stands, and the
    // rebuilt records are written into it as into the table.
    FileImage image(FileSize);
    char* const bytes = image.Data();
    m_records.CopyTo(bytes);
    if (!TakeCurrent(replacement, bytes, attempt))
        return false;
    if (attempt.repairOnly && attempt.saved.mended.isEmpty())
        return true; // nothing to mend: nothing is written
    attempt.progress.Position(0);
    RebuiltRecords rebuilt(m_records);
    Rebuild(attempt.changes, bytes, rebuilt, attempt);

    attempt.progress.Stage(QStringLiteral("Saving File..."));
    replacement.Write(image.View());
    Verify(attempt.changes, bytes, replacement);
    attempt.progress.Stage(QStringLiteral("Finalizing..."));
    if (!replacement.Finish())
        return false;
    // Only a file that is whole on disk changes the table: a failed save
    // leaves the table as the file was read.
    rebuilt.Keep();
    m_diskSize = FileSize;
    // What was whole stays whole; only a file that was not is looked at again.
    if (m_damage.IsDamaged() || m_damage.LacksRecords())
        m_damage = FileDamage::Of(image.View(), FileSize);
    m_stamp = m_file.CurrentStamp();
    ++m_version;
    // Enough to tell a window what a few assignments changed; beyond it,
    // one walk over the table costs less than the list.
    constexpr size_t MostChangesKept = 1024;
    for (const int number : rebuilt.Numbers())
        m_changed.emplace_back(m_version, number);
    if (m_changed.size() > MostChangesKept)
        ReplacedWhole(m_version);
    replacement.RaiseUnsynced();
    return true;
}

bool CombinationTable::TakeCurrent(FileReplacement& replacement, char* bytes, Attempt& attempt) {
    if (!replacement.HasCurrent()) {
        // No file (any more): the save makes a new one, and only where the
        // name is still free, so that two first saves agree on one file. A
        // table that never took a file starts from a new one's records; one
        // that did keeps what it shows.
        (void)replacement.CurrentEquals({});
        if (m_version == 0)
            MakeDefault();
        m_diskSize = -1;
        m_records.CopyTo(bytes);
    } else if (m_diskSize < 0 || !replacement.CurrentEquals(QByteArrayView(bytes, m_diskSize))) {
        if (!TakeWholeCurrent(replacement, bytes)) {
            // One byte more than the file holds, so that one that grew
            // meanwhile shows as long.
            const qsizetype limit = std::min(replacement.CurrentSize() + 1, MendReadLimit);
            FileImage file(limit);
            const qsizetype read = replacement.ReadCurrent(file.Data(), limit);
            const qsizetype size = replacement.CurrentSize();
            const FileDamage damage = FileDamage::Of(file.View(std::min(read, FileSize)), size);
            if (damage.IsDamaged()) {
                // A file that an editor writes whole again is short for an
                // instant: one found short is read again, and mended only
                // when it stays short.
                if (size < FileSize && !attempt.last)
                    return false;
                Mend(file.View(read), damage, replacement, bytes, attempt);
                return true;
            }
            Take(file.View(read), size);
            m_records.CopyTo(bytes);
        }
    }
    const bool lacking =
        attempt.repairOnly ? m_damage.LacksRecords() : LacksARecordFor(attempt.changes);
    if (lacking) {
        const QByteArray whole(bytes, FileSize);
        Mend(whole, FileDamage::Of(whole, FileSize), replacement, bytes, attempt);
    }
    return true;
}

bool CombinationTable::TakeWholeCurrent(FileReplacement& replacement, char* bytes) {
    // A file of the whole size is read straight into the new content, which
    // then needs no copy of the table: what it holds is the file's.
    if (replacement.CurrentSize() != FileSize ||
        replacement.ReadCurrent(bytes, FileSize) != FileSize ||
        replacement.CurrentSize() != FileSize)
        return false;
    const QByteArrayView read(bytes, FileSize);
    if (FileDamage::Of(read, FileSize).IsDamaged())
        return false;
    Take(read, FileSize);
    return true;
}

bool CombinationTable::LacksARecordFor(const std::vector<Change>& changes) const {
    return std::any_of(changes.begin(), changes.end(), [this](const Change& change) {
        return change.buttons >= 0 && FindRecord(change.key->data()) < 0;
    });
}

void CombinationTable::Mend(QByteArrayView read, const FileDamage& damage,
                            FileReplacement& replacement, char* bytes, Attempt& attempt) {
    // Only combinations of buttons are sure of a record in a mended file.
    for (const Change& change : attempt.changes) {
        if (change.buttons < 0)
            throw TrinodeError(QStringLiteral("%1 is damaged: %2; only a combination of buttons "
                                              "is bound while it is mended, and %3 is none; "
                                              "nothing was written")
                                   .arg(FilePath(), damage.Summary(),
                                        ButtonCatalogue::Spoken(change.combination)));
    }
    const FileDamage::Mend mend = FileDamage::Mended(read);
    if (!replacement.HasCurrent()) {
        // No file to keep: the table alone lacked the records.
        Take(mend.bytes, FileSize);
        m_diskSize = -1;
        m_records.CopyTo(bytes);
        return;
    }
    QByteArray kept;
    try {
        kept = replacement.KeepCopy(QByteArrayLiteral("damaged"));
    } catch (const FileError& error) {
        throw FileError(error.Code(),
                        QStringLiteral("%1 is damaged: %2; it is not mended, as %3, and nothing "
                                       "was written")
                            .arg(FilePath(), damage.Summary(),
                                 error.Message().section(QStringLiteral(": "), 1)));
    }
    Take(mend.bytes, FileSize);
    m_damage = damage;
    m_diskSize = -1;
    m_records.CopyTo(bytes);
    attempt.saved.mended = damage.MendedNotice(FilePath(), mend, QFile::decodeName(kept));
}

void CombinationTable::Rebuild(const std::vector<Change>& changes, char* bytes,
                               RebuiltRecords& rebuilt, Attempt& attempt) {
    // Every record a change's key finds, from the first on, takes that
    // change; the socket fields stay, so the keys hold while records change.
    std::vector<int> changeOf(size_t(RecordCount), -1);
    std::vector<int> firstOf(changes.size(), -1);
    rebuilt.Reserve(changes.size());
    for (int c = 0; c < int(changes.size()); ++c) {
        const char* key = changes[size_t(c)].key->data();
        firstOf[size_t(c)] = FindRecord(key);
        for (int n = firstOf[size_t(c)]; n >= 0; n = FindRecord(key, n + 1))
            changeOf[size_t(n)] = c;
    }
    int position = 0;
    for (int i = 0; i < RecordCount; ++i) {
        if (const int c = changeOf[size_t(i)]; c >= 0) {
            const StoredBinding& stored = changes[size_t(c)].stored;
            char* record = bytes + qsizetype(i) * Record::Size;
            rebuilt.Remember(i, record);
            const auto bound = [](QByteArrayView text) {
                return !text.isEmpty() && text != Record::Placeholder;
            };
            const bool wasBound = bound(Record::ReadField(record, Record::Field::Info)) ||
                                  bound(Record::ReadField(record, Record::Field::Path));
            char before[Record::Size];
            std::memcpy(before, record, Record::Size);
            char key[Record::KeySize];
            Record::NormalisedKey(record, key);
            Record::BuildWithKey(record, key, stored.info, stored.path);
            m_records.Put(i, record);
            // What a lookup finds is the first record: it tells what changed.
            if (firstOf[size_t(c)] == i && std::memcmp(before, record, Record::Size) != 0) {
                const bool unbinds =
                    stored.info == Record::Placeholder && stored.path == Record::Placeholder;
                if (!unbinds)
                    ++attempt.saved.bound;
                else if (wasBound)
                    ++attempt.saved.unbound;
            }
        }
        if ((i + 1) % PositionStep == 0)
            attempt.progress.Position(++position);
    }
}

void CombinationTable::Verify(const std::vector<Change>& changes, const char* bytes,
                              const FileReplacement& replacement) const {
    // The last change of a combination is what it must read as: the changes
    // are looked at from the last, each record once.
    std::vector<SaveReadBack::Expected> expected;
    std::vector<char> seen(size_t(RecordCount), 0);
    for (auto change = changes.rbegin(); change != changes.rend(); ++change) {
        const int number = FindRecord(change->key->data());
        if (number < 0 || !std::exchange(seen[size_t(number)], 1))
            expected.push_back({number, &change->combination, &change->stored});
    }
    SaveReadBack::Verify(expected, bytes, m_records, replacement, FilePath());
}

std::vector<BoundCombination> CombinationTable::BoundCombinations() const {
    std::vector<BoundCombination> all;
    VisitBound([&all](const BoundCombination& bound) { all.push_back(bound); });
    return all;
}

void CombinationTable::VisitBound(const std::function<void(const BoundCombination&)>& visit) const {
    BoundCombination bound;
    VisitBoundRecords([&](const BoundRecord& record) {
        for (int s = 0; s < 3; ++s)
            bound.combination[size_t(s)] = ButtonCatalogue::ButtonName(record.entries[size_t(s)]);
        bound.binding = {record.info.toByteArray(), record.path.toByteArray()};
        visit(bound);
    });
}

void CombinationTable::VisitBoundRecords(const std::function<void(const BoundRecord&)>& visit) const {
    EnsureKeys();
    for (int i = 0; i < RecordCount; ++i) {
        if (const std::optional<BoundRecord> bound = BoundIn(i))
            visit(*bound);
    }
}

std::optional<BoundRecord> CombinationTable::BoundAt(int record) const {
    EnsureKeys();
    return BoundIn(record);
}

std::optional<BoundRecord> CombinationTable::BoundIn(int i) const {
    const RecordKeys::CompactKey& key = m_keys.KeyOf(i);
    if (!RecordKeys::IsCatalogue(key))
        return std::nullopt; // a value the main window cannot place
    // Only the first record of a combination is what its lookup finds.
    if (m_keys.FirstOf(ButtonCatalogue::RecordNumber(key[0], key[1], key[2])) != i)
        return std::nullopt;
    if (m_records.IsDefault(i))
        return std::nullopt;
    // A record that binds is kept, never made in scratch: its texts stay
    // where they are.
    char scratch[Record::Size];
    const char* record = m_records.Peek(i, scratch);
    const QByteArrayView info = Record::ReadField(record, Record::Field::Info);
    const QByteArrayView path = Record::ReadField(record, Record::Field::Path);
    const auto isBound = [](QByteArrayView text) {
        return !text.isEmpty() && text != Record::Placeholder;
    };
    if (!isBound(info) && !isBound(path))
        return std::nullopt;
    return BoundRecord{{key[0], key[1], key[2]}, StoredView(info), StoredView(path), i};
}

std::optional<std::vector<int>> CombinationTable::ChangedSince(quint64 version) const {
    if (version < m_changesFrom)
        return std::nullopt;
    std::vector<int> records;
    for (const auto& [at, number] : m_changed) {
        if (at > version)
            records.push_back(number);
    }
    std::sort(records.begin(), records.end());
    records.erase(std::unique(records.begin(), records.end()), records.end());
    return records;
}
