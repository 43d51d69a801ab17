#include "store/CombinationTable.h"

#include "store/ButtonCatalogue.h"
#include "store/CombinationRecord.h"
#include "store/TrinodeError.h"

#include <cstring>
#include <utility>
#include <vector>

namespace Record = CombinationRecord;

const QString CombinationTable::NotFoundText = QStringLiteral("Not found!");

namespace {

constexpr QByteArrayView PlaceholderText("|");

QString ShownText(QByteArrayView field) {
    return field == PlaceholderText ? QString() : Record::Decode(field);
}

QByteArray StoredBytes(QByteArrayView field) {
    return field == PlaceholderText ? QByteArray() : field.toByteArray();
}

// Refuses bytes that do not fit their field before anything changes.
void CheckFits(Record::Field field, QByteArrayView bytes, const char* what) {
    if (!Record::Fits(field, bytes))
        throw TrinodeError(QStringLiteral("The %1 is too long to be stored: it takes %2 bytes and "
                                          "the file holds at most %3")
                               .arg(QLatin1String(what))
                               .arg(bytes.size())
                               .arg(Record::PlaceOf(field).width));
}

} // namespace

CombinationTable::CombinationTable() : m_file(CombinationFile::DefaultLocalPath()) {}

CombinationTable::CombinationTable(const QString& filePath) : m_file(filePath) {}

CombinationTable::CombinationTable(const CombinationFile& file) : m_file(file) {}

void CombinationTable::EnsureTable() const {
    if (!m_table.isEmpty())
        return;
    m_table = QByteArray(FileSize, '\0');
    // Records of zero bytes have no fields: every key is blank.
    m_keys.assign(size_t(RecordCount) * Record::KeySize, ' ');
}

QByteArrayView CombinationTable::Bytes() const {
    EnsureTable();
    return m_table;
}

const char* CombinationTable::Record(int number) const {
    EnsureTable();
    return m_table.constData() + qsizetype(number) * Record::Size;
}

void CombinationTable::EnsureKeys() const {
    EnsureTable();
    if (!m_keysStale)
        return;
    m_keysStale = false;
    m_keys.resize(size_t(RecordCount) * Record::KeySize);
    for (int i = 0; i < RecordCount; ++i)
        Record::NormalisedKey(Record(i), m_keys.data() + size_t(i) * Record::KeySize);
}

void CombinationTable::CreateDefaultFile() {
    // Whatever a prefetch found (no file, or one that creation replaces) is
    // of no use now; dropping it waits for its thread.
    m_prefetch = {};
    CombinationFile::Replacement replacement(m_file);
    QByteArray table(FileSize, Qt::Uninitialized);
    char* out = table.data();
    for (int a = 0; a < ButtonCatalogue::EntryCount; ++a) {
        for (int b = 0; b < ButtonCatalogue::EntryCount; ++b) {
            for (int c = 0; c < ButtonCatalogue::EntryCount; ++c) {
                Record::Build(out, ButtonCatalogue::Names[a], ButtonCatalogue::Names[b],
                              ButtonCatalogue::Names[c], PlaceholderText, PlaceholderText);
                out += Record::Size;
            }
        }
    }
    m_table = table;
    m_keysStale = true;
    m_diskSize = 0;
    replacement.Write(m_table);
    replacement.Finish();
    m_diskSize = FileSize;
}

template <class Read> void CombinationTable::Load(Read read) {
    // The first load reads straight into a fresh buffer; a table of zeros
    // would only be written over.
    const bool fresh = m_table.isEmpty();
    if (fresh)
        m_table = QByteArray(FileSize, Qt::Uninitialized);
    qsizetype size = 0;
    try {
        size = read(m_table.data());
    } catch (...) {
        if (fresh)
            m_table.clear();
        throw;
    }
    if (fresh && size < FileSize)
        std::memset(m_table.data() + size, 0, size_t(FileSize - size));
    m_diskSize = size;
    m_keysStale = true;
    if (size < FileSize)
        throw FileError(FileError::ReadBeyondEnd);
}

void CombinationTable::PrefetchFile() {
    m_prefetch = std::async(std::launch::async, [file = m_file]() {
        QByteArray bytes(FileSize, Qt::Uninitialized);
        bytes.truncate(file.ReadInto(bytes.data(), FileSize));
        return bytes;
    });
}

void CombinationTable::LoadFile() {
    if (!m_prefetch.valid()) {
        Load([this](char* buffer) { return m_file.ReadInto(buffer, FileSize); });
        return;
    }
    // A prefetched read is taken once; later loads read the file again. A
    // whole one becomes the table itself, already touched by its thread.
    QByteArray bytes = m_prefetch.get();
    if (m_table.isEmpty() && bytes.size() == FileSize) {
        m_table = std::move(bytes);
        m_diskSize = FileSize;
        m_keysStale = true;
        return;
    }
    Load([&bytes](char* buffer) {
        std::memcpy(buffer, bytes.constData(), size_t(bytes.size()));
        return bytes.size();
    });
}

void CombinationTable::TakeExternalEdits(const CombinationFile::Replacement& replacement) {
    if (!replacement.HasCurrent())
        return; // nothing on disk that a write could lose
    EnsureTable();
    if (replacement.CurrentEquals(QByteArrayView(m_table).first(m_diskSize), FileSize))
        return;
    Load([&replacement](char* buffer) { return replacement.ReadCurrent(buffer, FileSize); });
}

const char* CombinationTable::FindRecord(const Combination& combination) const {
    EnsureKeys();
    char key[Record::KeySize];
    if (!Record::KeyOf(combination, key))
        return nullptr;
    const char* keys = m_keys.data();
    for (int i = 0; i < RecordCount; ++i, keys += Record::KeySize) {
        if (std::memcmp(keys, key, Record::KeySize) == 0)
            return Record(i);
    }
    return nullptr;
}

Binding CombinationTable::FindCombination(const Combination& combination) const {
    const char* record = FindRecord(combination);
    if (!record)
        return {NotFoundText, QString()};
    return {ShownText(Record::ReadField(record, Record::Field::Info)),
            ShownText(Record::ReadField(record, Record::Field::Path))};
}

StoredBinding CombinationTable::Stored(const Combination& combination) const {
    const char* record = FindRecord(combination);
    if (!record)
        return {};
    return {StoredBytes(Record::ReadField(record, Record::Field::Info)),
            StoredBytes(Record::ReadField(record, Record::Field::Path))};
}

void CombinationTable::AssignCombination(const Combination& combination, const QString& info,
                                         const QString& path, AssignProgress& progress) {
    AssignCombination(combination, {Record::Encode(info), Record::Encode(path)}, progress);
}

void CombinationTable::AssignCombination(const Combination& combination,
                                         const StoredBinding& binding, AssignProgress& progress) {
    CheckFits(Record::Field::Info, binding.info, "information");
    CheckFits(Record::Field::Path, binding.path, "path");
    QByteArray infoBytes = binding.info;
    QByteArray pathBytes = binding.path;
    if (infoBytes.isEmpty())
        infoBytes = PlaceholderText.toByteArray();
    if (pathBytes.isEmpty())
        pathBytes = PlaceholderText.toByteArray();

    progress.Stage(QStringLiteral("Processing..."));
    if (m_file.IsReadOnly())
        throw FileError(FileError::AccessDenied);
    // From here to the rename the save holds the file's lock: a second
    // Trinode on the same file waits, and then builds on this one's result.
    CombinationFile::Replacement replacement(m_file);
    TakeExternalEdits(replacement);
    progress.Position(0);

    EnsureKeys();
    char key[Record::KeySize];
    const bool storable = Record::KeyOf(combination, key);
    // The records are rebuilt in the table itself, their old bytes kept
    // aside: a failed save puts them back, so that the table still equals
    // the file, and a successful one leaves no second table behind.
    struct Undo {
        QByteArray& table;
        std::vector<std::pair<int, QByteArray>> records;
        bool keep = false;
        ~Undo() {
            if (keep)
                return;
            for (const auto& [number, bytes] : records)
                std::memcpy(table.data() + qsizetype(number) * Record::Size, bytes.constData(),
                            Record::Size);
        }
    } undo{m_table, {}};
    int position = 0;
    for (int i = 0; i < RecordCount; ++i) {
        if (storable &&
            std::memcmp(m_keys.data() + size_t(i) * Record::KeySize, key, Record::KeySize) == 0) {
            char* record = m_table.data() + qsizetype(i) * Record::Size;
            undo.records.emplace_back(i, QByteArray(record, Record::Size));
            const QByteArray s1 = Record::ReadField(record, Record::Field::Socket1).toByteArray();
            const QByteArray s2 = Record::ReadField(record, Record::Field::Socket2).toByteArray();
            const QByteArray s3 = Record::ReadField(record, Record::Field::Socket3).toByteArray();
            Record::Build(record, s1, s2, s3, infoBytes, pathBytes);
        }
        if ((i + 1) % PositionStep == 0)
            progress.Position(++position);
    }

    progress.Stage(QStringLiteral("Saving File..."));
    replacement.Write(m_table);
    progress.Stage(QStringLiteral("Finalizing..."));
    replacement.Finish();
    // Only a file that is whole on disk changes the table: a failed save
    // leaves the table and the file as they were, still equal.
    undo.keep = true;
    m_diskSize = FileSize;
}
