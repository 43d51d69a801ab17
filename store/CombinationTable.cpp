#include "store/CombinationTable.h"

#include "store/ButtonCatalogue.h"
#include "store/CombinationRecord.h"
#include "store/TrinodeError.h"

#include <cstring>

namespace Record = CombinationRecord;

const QString CombinationTable::NotFoundText = QStringLiteral("Not found!");

namespace {

constexpr QByteArrayView PlaceholderText("|");

QString ShownText(QByteArrayView field) {
    return field == PlaceholderText ? QString() : Record::Decode(field);
}

} // namespace

CombinationTable::CombinationTable(QString filePath) : m_file(std::move(filePath)) {}

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
    CombinationFile::Replacement replacement(m_file.Path());
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
    replacement.Write(m_table);
    replacement.Finish();
    m_disk = m_table;
}

void CombinationTable::Adopt(const QByteArray& bytesRead) {
    if (bytesRead.size() == FileSize) {
        m_table = bytesRead;
    } else {
        EnsureTable();
        std::memcpy(m_table.data(), bytesRead.constData(), bytesRead.size());
    }
    m_disk = bytesRead;
    m_keysStale = true;
}

void CombinationTable::PrefetchFile() {
    m_prefetch = std::async(std::launch::async, [file = m_file]() { return file.Read(FileSize); });
}

void CombinationTable::LoadFile() {
    // A prefetched read is taken once; later loads read the file again.
    Adopt(m_prefetch.valid() ? m_prefetch.get() : m_file.Read(FileSize));
    if (m_disk.size() < FileSize)
        throw FileError(FileError::ReadBeyondEnd);
}

void CombinationTable::TakeExternalEdits() {
    if (!m_file.Exists())
        return; // nothing on disk that a write could lose
    const QByteArray onDisk = m_file.Read(FileSize);
    if (onDisk == m_disk)
        return;
    LoadFile();
}

Binding CombinationTable::FindCombination(const Combination& combination) const {
    EnsureKeys();
    char key[Record::KeySize];
    if (Record::KeyOf(combination, key)) {
        const char* keys = m_keys.data();
        for (int i = 0; i < RecordCount; ++i, keys += Record::KeySize) {
            if (std::memcmp(keys, key, Record::KeySize) == 0) {
                const char* record = Record(i);
                return {ShownText(Record::ReadField(record, Record::Field::Info)),
                        ShownText(Record::ReadField(record, Record::Field::Path))};
            }
        }
    }
    return {NotFoundText, QString()};
}

void CombinationTable::AssignCombination(const Combination& combination, const QString& info,
                                         const QString& path, AssignProgress& progress) {
    QByteArray infoBytes = Record::Encode(info);
    QByteArray pathBytes = Record::Encode(path);
    if (infoBytes.size() > Record::InfoWidth)
        throw TrinodeError(QStringLiteral("The information is too long to be stored: it takes "
                                          "%1 bytes and the file holds at most %2")
                               .arg(infoBytes.size())
                               .arg(Record::InfoWidth));
    if (pathBytes.size() > Record::PathWidth)
        throw TrinodeError(QStringLiteral("The path is too long to be stored: it takes "
                                          "%1 bytes and the file holds at most %2")
                               .arg(pathBytes.size())
                               .arg(Record::PathWidth));
    if (infoBytes.isEmpty())
        infoBytes = PlaceholderText.toByteArray();
    if (pathBytes.isEmpty())
        pathBytes = PlaceholderText.toByteArray();

    progress.Stage(QStringLiteral("Processing..."));
    if (m_file.IsReadOnly())
        throw FileError(FileError::AccessDenied);
    TakeExternalEdits();
    CombinationFile::Replacement replacement(m_file.Path());
    progress.Position(0);

    EnsureKeys();
    char key[Record::KeySize];
    const bool storable = Record::KeyOf(combination, key);
    QByteArray table = m_table;
    int position = 0;
    for (int i = 0; i < RecordCount; ++i) {
        if (storable &&
            std::memcmp(m_keys.data() + size_t(i) * Record::KeySize, key, Record::KeySize) == 0) {
            char* record = table.data() + qsizetype(i) * Record::Size;
            const QByteArray s1 = Record::ReadField(record, Record::Field::Socket1).toByteArray();
            const QByteArray s2 = Record::ReadField(record, Record::Field::Socket2).toByteArray();
            const QByteArray s3 = Record::ReadField(record, Record::Field::Socket3).toByteArray();
            Record::Build(record, s1, s2, s3, infoBytes, pathBytes);
        }
        if ((i + 1) % PositionStep == 0)
            progress.Position(++position);
    }

    progress.Stage(QStringLiteral("Saving File..."));
    replacement.Write(table);
    progress.Stage(QStringLiteral("Finalizing..."));
    replacement.Finish();
    // Only a file that is whole on disk changes the table: a failed save
    // leaves the table and the file as they were, still equal.
    m_table = table;
    m_disk = table;
}
