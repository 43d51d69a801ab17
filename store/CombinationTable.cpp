#include "store/CombinationTable.h"

#include "store/ButtonCatalogue.h"
#include "store/CombinationRecord.h"
#include "store/TrinodeError.h"

#include <QStringList>

#include <algorithm>
#include <cstring>
#include <new>

#include <sys/mman.h>
#include <utility>
#include <vector>

namespace Record = CombinationRecord;

const QString CombinationTable::NotFoundText = QStringLiteral("Not found!");

namespace {

QString ShownText(QByteArrayView field) {
    return field == Record::Placeholder ? QString() : Record::Decode(field);
}

QByteArray StoredBytes(QByteArrayView field) {
    return field == Record::Placeholder ? QByteArray() : field.toByteArray();
}

// Refuses bytes that do not fit their field before anything changes.
void CheckFits(Record::Field field, QByteArrayView bytes) {
    if (!Record::Fits(field, bytes))
        throw TrinodeError(Record::TooLong(field, bytes.size()));
}

constexpr quint8 OtherValue = 0xff;

// The whole file's bytes for one load or save, in pages taken from the
// system and given back the moment it ends. From malloc, a freed block of
// two megabytes raises its threshold for direct mappings, and the next
// block of the same size then comes from the heap and stays there.
class FileImage final {
public:
    FileImage() {
        // Populated at once: cheaper than a fault for each of its pages.
        void* pages = ::mmap(nullptr, size_t(CombinationTable::FileSize), PROT_READ | PROT_WRITE,
                             MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
        if (pages == MAP_FAILED)
            throw std::bad_alloc();
        m_data = static_cast<char*>(pages);
    }
    ~FileImage() { ::munmap(m_data, size_t(CombinationTable::FileSize)); }
    FileImage(const FileImage&) = delete;
    FileImage& operator=(const FileImage&) = delete;

    char* Data() { return m_data; }
    QByteArrayView View(qsizetype size = CombinationTable::FileSize) const {
        return QByteArrayView(m_data, size);
    }

private:
    char* m_data = nullptr;
};
constexpr int Entries = ButtonCatalogue::EntryCount;

// Each catalogue entry as a socket field holds it.
const std::array<std::array<char, Record::SocketWidth>, Entries>& EntryFields() {
    static const auto fields = [] {
        std::array<std::array<char, Record::SocketWidth>, Entries> made{};
        for (int i = 0; i < Entries; ++i) {
            char record[Record::Size];
            Record::Build(record, ButtonCatalogue::Names[i], {}, {}, {}, {});
            std::memcpy(made[i].data(), record + 1, Record::SocketWidth);
        }
        return made;
    }();
    return fields;
}

// A new file's record with its socket fields still to be filled in: the
// length byte and the placeholder for both texts.
const std::array<char, Record::Size>& DefaultTemplate() {
    static const auto made = [] {
        std::array<char, Record::Size> record{};
        Record::Build(record.data(), {}, {}, {}, Record::Placeholder, Record::Placeholder);
        return record;
    }();
    return made;
}

const int SocketOffsets[] = {Record::PlaceOf(Record::Field::Socket1).offset,
                             Record::PlaceOf(Record::Field::Socket2).offset,
                             Record::PlaceOf(Record::Field::Socket3).offset};
// The texts follow the sockets to the record's end.
const int TextsOffset = Record::PlaceOf(Record::Field::Info).offset;

// What a new file holds at a place: the place's three catalogue values and
// the placeholder for both texts.
void BuildDefault(int number, char* out) {
    std::memcpy(out, DefaultTemplate().data(), Record::Size);
    const auto entries = ButtonCatalogue::EntriesOf(number);
    for (int s = 0; s < 3; ++s)
        std::memcpy(out + SocketOffsets[s], EntryFields()[size_t(entries[size_t(s)])].data(),
                    Record::SocketWidth);
}

bool IsDefault(int number, const char* record) {
    const char* made = DefaultTemplate().data();
    if (record[0] != made[0] ||
        std::memcmp(record + TextsOffset, made + TextsOffset, Record::Size - TextsOffset) != 0)
        return false;
    const auto entries = ButtonCatalogue::EntriesOf(number);
    for (int s = 0; s < 3; ++s) {
        if (std::memcmp(record + SocketOffsets[s], EntryFields()[size_t(entries[size_t(s)])].data(),
                        Record::SocketWidth) != 0)
            return false;
    }
    return true;
}

// The catalogue entry of one socket field of a normalised key, tried first
// at the entry the record's place suggests.
quint8 EntryOf(const char* field, int likely) {
    const auto& fields = EntryFields();
    if (likely >= 0 && std::memcmp(field, fields[likely].data(), Record::SocketWidth) == 0)
        return quint8(likely);
    for (int i = 0; i < Entries; ++i) {
        if (std::memcmp(field, fields[i].data(), Record::SocketWidth) == 0)
            return quint8(i);
    }
    return OtherValue;
}

// The observer of an assignment whose save may start over: the caller's
// hears each stage and position once, however often the save starts, and
// every wait for the lock.
class TellingOnce final : public AssignProgress {
public:
    explicit TellingOnce(AssignProgress& caller) : m_caller(caller) {}
    void Stage(const QString& text) override {
        if (m_stages.contains(text))
            return;
        m_stages.append(text);
        m_caller.Stage(text);
    }
    void Position(int position) override {
        if (position <= m_position)
            return;
        m_position = position;
        m_caller.Position(position);
    }
    void Waiting() override { m_caller.Waiting(); }

private:
    AssignProgress& m_caller;
    QStringList m_stages;
    int m_position = -1;
};

} // namespace

CombinationTable::CombinationTable() : m_file(CombinationFile::DefaultLocalPath()) {}

CombinationTable::CombinationTable(const QString& filePath) : m_file(filePath) {}

CombinationTable::CombinationTable(const CombinationFile& file) : m_file(file) {}

void CombinationTable::EnsureTable() const {
    if (!m_places.empty())
        return;
    m_places.assign(RecordCount, ZeroRecord);
    m_keysStale = true;
}

const char* CombinationTable::Peek(int number, char* scratch) const {
    EnsureTable();
    const qint32 place = m_places[size_t(number)];
    if (place >= 0)
        return m_records[size_t(place)].data();
    if (place == DefaultRecord)
        BuildDefault(number, scratch);
    else
        std::memset(scratch, 0, Record::Size);
    return scratch;
}

void CombinationTable::Put(int number, const char* bytes) {
    EnsureTable();
    qint32& place = m_places[size_t(number)];
    if (place >= 0) {
        std::memcpy(m_records[size_t(place)].data(), bytes, Record::Size);
        return;
    }
    if (IsDefault(number, bytes)) {
        place = DefaultRecord;
        return;
    }
    static const std::array<char, Record::Size> zeros{};
    if (std::memcmp(bytes, zeros.data(), Record::Size) == 0) {
        place = ZeroRecord;
        return;
    }
    place = qint32(m_records.size());
    auto& kept = m_records.emplace_back();
    std::memcpy(kept.data(), bytes, Record::Size);
}

void CombinationTable::CopyTo(char* out) const {
    for (int i = 0; i < RecordCount; ++i, out += Record::Size) {
        const char* record = Peek(i, out);
        if (record != out)
            std::memcpy(out, record, Record::Size);
    }
}

QByteArray CombinationTable::Bytes() const {
    QByteArray bytes(FileSize, Qt::Uninitialized);
    CopyTo(bytes.data());
    return bytes;
}

void CombinationTable::EnsureKeys() const {
    EnsureTable();
    if (!m_keysStale)
        return;
    m_keysStale = false;
    m_keys.resize(RecordCount);
    m_otherKeys.clear();
    char scratch[Record::Size];
    char key[Record::KeySize];
    for (int i = 0; i < RecordCount; ++i) {
        const auto likely = ButtonCatalogue::EntriesOf(i);
        if (m_places[size_t(i)] == DefaultRecord) {
            m_keys[size_t(i)] = {quint8(likely[0]), quint8(likely[1]), quint8(likely[2])};
            continue;
        }
        Record::NormalisedKey(Peek(i, scratch), key);
        CompactKey& compact = m_keys[size_t(i)];
        for (int s = 0; s < 3; ++s)
            compact[size_t(s)] = EntryOf(key + s * Record::SocketWidth, likely[size_t(s)]);
        if (std::find(compact.begin(), compact.end(), OtherValue) != compact.end())
            m_otherKeys.emplace_back(i, QByteArray(key, Record::KeySize));
    }
}

void CombinationTable::CreateDefaultFile() {
    NoProgress none;
    CreateDefaultFile(none);
}

void CombinationTable::CreateDefaultFile(AssignProgress& waiting) {
    CombinationFile::Replacement replacement(m_file, waiting);
    m_places.assign(RecordCount, DefaultRecord);
    m_records.clear();
    m_keysStale = true;
    m_diskSize = 0;
    FileImage image;
    CopyTo(image.Data());
    replacement.Write(image.View());
    // Nothing was read, so whatever lies at the name is replaced.
    (void)replacement.Finish();
    m_diskSize = FileSize;
    m_stamp = m_file.CurrentStamp();
    ++m_version;
    replacement.RaiseUnsynced();
}

void CombinationTable::Take(QByteArrayView bytes) {
    ++m_version;
    if (bytes.size() == FileSize) {
        // A whole file replaces everything: records kept for an earlier
        // content go.
        m_places.assign(RecordCount, DefaultRecord);
        m_records.clear();
    }
    EnsureTable();
    char merged[Record::Size];
    for (qsizetype offset = 0; offset < bytes.size(); offset += Record::Size) {
        const int number = int(offset / Record::Size);
        const qsizetype count = std::min<qsizetype>(Record::Size, bytes.size() - offset);
        if (count == Record::Size) {
            Put(number, bytes.data() + offset);
            continue;
        }
        // The file ends inside this record: the rest of it stays.
        const char* old = Peek(number, merged);
        if (old != merged)
            std::memcpy(merged, old, Record::Size);
        std::memcpy(merged, bytes.data() + offset, size_t(count));
        Put(number, merged);
    }
    m_diskSize = bytes.size();
    m_keysStale = true;
    if (bytes.size() < FileSize)
        throw FileError(FileError::ReadBeyondEnd);
}

void CombinationTable::LoadFile() {
    NoProgress none;
    LoadFile(none);
}

void CombinationTable::LoadFile(AssignProgress& waiting) {
    // The file is read aside, so that a failed read leaves the table as it
    // was; the buffer goes once its records are taken.
    FileImage buffer;
    const std::optional<CombinationFile::Stamp> stamp = m_file.CurrentStamp();
    const qsizetype size = m_file.ReadInto(buffer.Data(), FileSize, waiting);
    // What was read is taken, a short file's start too.
    m_stamp = stamp;
    Take(buffer.View(size));
}

bool CombinationTable::FileChanged() const {
    return m_file.CurrentStamp() != m_stamp;
}

bool CombinationTable::TakeExternalEdits(CombinationFile::Replacement& replacement, char* bytes,
                                         bool lastAttempt) {
    if (replacement.CurrentEquals(QByteArrayView(bytes, m_diskSize), FileSize))
        return true;
    FileImage file;
    const qsizetype size = replacement.ReadCurrent(file.Data(), FileSize);
    // A file that an editor writes whole again is short for an instant: one
    // found short is read again, and taken (and refused) only when it stays
    // short.
    if (size < FileSize && !lastAttempt)
        return false;
    Take(file.View(size));
    CopyTo(bytes);
    return true;
}

int CombinationTable::FindRecord(const char* key, int from) const {
    EnsureKeys();
    CompactKey compact;
    for (int s = 0; s < 3; ++s)
        compact[size_t(s)] = EntryOf(key + s * Record::SocketWidth, -1);
    if (std::find(compact.begin(), compact.end(), OtherValue) != compact.end()) {
        // Only a record with a value outside the catalogue can hold one.
        for (const auto& [number, other] : m_otherKeys) {
            if (number >= from && std::memcmp(other.constData(), key, Record::KeySize) == 0)
                return number;
        }
        return -1;
    }
    for (int i = from; i < RecordCount; ++i) {
        if (m_keys[size_t(i)] == compact)
            return i;
    }
    return -1;
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
    const char* record = Peek(number, scratch);
    return {ShownText(Record::ReadField(record, Record::Field::Info)),
            ShownText(Record::ReadField(record, Record::Field::Path))};
}

StoredBinding CombinationTable::Stored(const Combination& combination) const {
    const int number = FindRecord(combination);
    if (number < 0)
        return {};
    char scratch[Record::Size];
    const char* record = Peek(number, scratch);
    return {StoredBytes(Record::ReadField(record, Record::Field::Info)),
            StoredBytes(Record::ReadField(record, Record::Field::Path))};
}

void CombinationTable::AssignCombination(const Combination& combination, const QString& info,
                                         const QString& path, AssignProgress& progress) {
    AssignCombination(combination, {Record::Encode(info), Record::Encode(path)}, progress);
}

// The records an assignment rebuilt, with their old bytes: unless the save
// went through, they are put back, so that the table still equals the file.
class CombinationTable::Rebuilt final {
public:
    explicit Rebuilt(CombinationTable& table) : m_table(table) {}
    ~Rebuilt() {
        if (m_kept)
            return;
        for (const auto& [number, old] : m_records)
            m_table.Put(number, old.data());
    }
    Rebuilt(const Rebuilt&) = delete;
    Rebuilt& operator=(const Rebuilt&) = delete;

    void Remember(int number, const char* record) {
        auto& old = m_records.emplace_back(number, std::array<char, Record::Size>{}).second;
        std::memcpy(old.data(), record, Record::Size);
    }
    void Keep() { m_kept = true; }

private:
    CombinationTable& m_table;
    std::vector<std::pair<int, std::array<char, Record::Size>>> m_records;
    bool m_kept = false;
};

void CombinationTable::AssignCombination(const Combination& combination,
                                         const StoredBinding& binding, AssignProgress& progress) {
    AssignCombinations({{combination, binding}}, progress);
}

void CombinationTable::AssignCombinations(const std::vector<BoundCombination>& bindings,
                                          AssignProgress& progress) {
    std::vector<Change> changes;
    for (const auto& [combination, binding] : bindings) {
        CheckFits(Record::Field::Info, binding.info);
        CheckFits(Record::Field::Path, binding.path);
        // The system reads a file name up to a NUL byte: such a path would
        // open another file.
        if (binding.path.contains('\0'))
            throw TrinodeError(
                QStringLiteral("The path holds a NUL byte, which no file name can hold"));
        Change& change = changes.emplace_back();
        change.stored = {binding.info.isEmpty() ? Record::Placeholder.toByteArray() : binding.info,
                         binding.path.isEmpty() ? Record::Placeholder.toByteArray() : binding.path};
        if (std::array<char, Record::KeySize> key; Record::KeyOf(combination, key.data()))
            change.key = key;
    }

    TellingOnce told(progress);
    told.Stage(QStringLiteral("Processing..."));
    if (m_file.IsReadOnly())
        throw FileError(FileError::AccessDenied);
    // An edit that lands while the file is saved makes the save start over
    // on the edited file.
    for (int attempt = 1; attempt <= SaveAttempts; ++attempt) {
        if (SaveOnce(changes, told, attempt == SaveAttempts))
            return;
    }
    throw TrinodeError(
        QStringLiteral("%1 kept changing while it was saved; nothing was written").arg(FilePath()));
}

bool CombinationTable::SaveOnce(const std::vector<Change>& changes, AssignProgress& progress,
                                bool lastAttempt) {
    // From here to the rename the save holds the file's lock: a second
    // Trinode on the same file waits, and then builds on this one's result.
    CombinationFile::Replacement replacement(m_file, progress);
    // The new file is made once, from the table as it stands, and the
    // rebuilt records are written into it as into the table.
    FileImage image;
    char* const bytes = image.Data();
    CopyTo(bytes);
    if (!TakeExternalEdits(replacement, bytes, lastAttempt))
        return false;
    progress.Position(0);
    Rebuilt rebuilt(*this);
    Rebuild(changes, bytes, rebuilt, progress);

    progress.Stage(QStringLiteral("Saving File..."));
    replacement.Write(image.View());
    progress.Stage(QStringLiteral("Finalizing..."));
    if (!replacement.Finish())
        return false;
    // Only a file that is whole on disk changes the table: a failed save
    // leaves the table and the file as they were, still equal.
    rebuilt.Keep();
    m_diskSize = FileSize;
    m_stamp = m_file.CurrentStamp();
    ++m_version;
    replacement.RaiseUnsynced();
    return true;
}

void CombinationTable::Rebuild(const std::vector<Change>& changes, char* bytes, Rebuilt& rebuilt,
                               AssignProgress& progress) {
    // Every record a change's key finds, from the first on, takes that
    // change; the socket fields stay, so the keys hold while records change.
    std::vector<int> changeOf(size_t(RecordCount), -1);
    for (int c = 0; c < int(changes.size()); ++c) {
        if (!changes[size_t(c)].key)
            continue;
        const char* key = changes[size_t(c)].key->data();
        for (int n = FindRecord(key); n >= 0; n = FindRecord(key, n + 1))
            changeOf[size_t(n)] = c;
    }
    int position = 0;
    for (int i = 0; i < RecordCount; ++i) {
        if (const int c = changeOf[size_t(i)]; c >= 0) {
            const StoredBinding& stored = changes[size_t(c)].stored;
            char* record = bytes + qsizetype(i) * Record::Size;
            rebuilt.Remember(i, record);
            const QByteArray s1 = Record::ReadField(record, Record::Field::Socket1).toByteArray();
            const QByteArray s2 = Record::ReadField(record, Record::Field::Socket2).toByteArray();
            const QByteArray s3 = Record::ReadField(record, Record::Field::Socket3).toByteArray();
            Record::Build(record, s1, s2, s3, stored.info, stored.path);
            Put(i, record);
        }
        if ((i + 1) % PositionStep == 0)
            progress.Position(++position);
    }
}

std::vector<BoundCombination> CombinationTable::BoundCombinations() const {
    EnsureKeys();
    std::vector<BoundCombination> bound;
    // Only the first record of a combination is what its lookup finds.
    std::vector<bool> seen(size_t(RecordCount), false);
    char scratch[Record::Size];
    for (int i = 0; i < RecordCount; ++i) {
        const CompactKey& key = m_keys[size_t(i)];
        if (std::find(key.begin(), key.end(), OtherValue) != key.end())
            continue; // a value the main window cannot place
        const int number = ButtonCatalogue::RecordNumber(key[0], key[1], key[2]);
        if (seen[size_t(number)])
            continue;
        seen[size_t(number)] = true;
        if (m_places[size_t(i)] == DefaultRecord)
            continue;
        const char* record = Peek(i, scratch);
        StoredBinding binding{StoredBytes(Record::ReadField(record, Record::Field::Info)),
                              StoredBytes(Record::ReadField(record, Record::Field::Path))};
        if (binding.info.isEmpty() && binding.path.isEmpty())
            continue;
        bound.push_back({{ButtonCatalogue::ButtonName(key[0]), ButtonCatalogue::ButtonName(key[1]),
                          ButtonCatalogue::ButtonName(key[2])},
                         std::move(binding)});
    }
    return bound;
}
