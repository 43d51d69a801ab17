#include "store/SparseRecords.h"

#include <cstring>
#include <utility>

namespace Record = CombinationRecord;

namespace {

constexpr int Entries = ButtonCatalogue::EntryCount;

// A new file's record with its socket fields still to be filled in, and
// each catalogue entry as a socket field holds it: a new file's record is
// then four copies, not a record built field by field (a save makes 12167).
struct Parts {
    std::array<char, Record::Size> record{};
    std::array<std::array<char, Record::SocketWidth>, Entries> fields{};
};

const Parts& DefaultParts() {
    static const Parts parts = [] {
        Parts made;
        Record::Build(made.record.data(), {}, {}, {}, Record::Placeholder, Record::Placeholder);
        for (int i = 0; i < Entries; ++i) {
            char record[Record::Size];
            Record::Build(record, ButtonCatalogue::Names[size_t(i)], {}, {}, {}, {});
            std::memcpy(made.fields[size_t(i)].data(), record + 1, Record::SocketWidth);
        }
        return made;
    }();
    return parts;
}

} // namespace

void SparseRecords::BuildDefault(int number, char* out) {
    const Parts& parts = DefaultParts();
    std::memcpy(out, parts.record.data(), Record::Size);
    const auto e = ButtonCatalogue::EntriesOf(number);
    for (int s = 0; s < 3; ++s)
        std::memcpy(out + 1 + s * Record::SocketWidth, parts.fields[size_t(e[size_t(s)])].data(),
                    Record::SocketWidth);
}

namespace {

// Whether the record is a new file's at its place, compared part by part
// rather than against a record made for it (a load compares 12167).
bool HoldsDefault(int number, const char* record) {
    const Parts& parts = DefaultParts();
    constexpr int Texts = 1 + Record::KeySize;
    if (record[0] != parts.record[0] ||
        std::memcmp(record + Texts, parts.record.data() + Texts, Record::Size - Texts) != 0)
        return false;
    const auto e = ButtonCatalogue::EntriesOf(number);
    for (int s = 0; s < 3; ++s) {
        if (std::memcmp(record + 1 + s * Record::SocketWidth,
                        parts.fields[size_t(e[size_t(s)])].data(), Record::SocketWidth) != 0)
            return false;
    }
    return true;
}

} // namespace

void SparseRecords::EnsurePlaces() {
    if (m_places.empty())
        m_places.assign(Count, ZeroRecord);
}

void SparseRecords::BuildCut(int number, const char* start, qsizetype cut, char* out) {
    // The texts follow the sockets to the record's end.
    const qsizetype texts = CombinationRecord::PlaceOf(CombinationRecord::Field::Info).offset;
    const qsizetype path = CombinationRecord::PlaceOf(CombinationRecord::Field::Path).offset;
    const qsizetype kept = cut <= texts ? 0 : cut <= path ? texts : path;
    BuildDefault(number, out);
    std::memcpy(out, start, size_t(kept));
}

const char* SparseRecords::Peek(int number, char* scratch) const {
    const qint32 place = m_places.empty() ? ZeroRecord : m_places[size_t(number)];
    if (place >= 0)
        return m_records[size_t(place)].data();
    if (place == InImage)
        return m_image->Data() + qsizetype(number) * Record::Size;
    if (place == DefaultRecord)
        BuildDefault(number, scratch);
    else
        std::memset(scratch, 0, Record::Size);
    return scratch;
}

void SparseRecords::Put(int number, const char* bytes) {
    EnsurePlaces();
    qint32& place = m_places[size_t(number)];
    if (place >= 0) {
        std::memcpy(m_records[size_t(place)].data(), bytes, Record::Size);
        return;
    }
    if (place == InImage) {
        std::memcpy(m_image->Data() + qsizetype(number) * Record::Size, bytes, Record::Size);
        return;
    }
    if (HoldsDefault(number, bytes)) {
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

void SparseRecords::Take(FileImage&& image, int count) {
    MakeDefault();
    static const std::array<char, Record::Size> zeros{};
    int kept = 0;
    for (int n = 0; n < count; ++n) {
        const char* record = image.Data() + qsizetype(n) * Record::Size;
        qint32& place = m_places[size_t(n)];
        if (HoldsDefault(n, record))
            place = DefaultRecord;
        else if (std::memcmp(record, zeros.data(), Record::Size) == 0)
            place = ZeroRecord;
        else
            place = qint32(kept++);
    }
    // Past a quarter of the file, its pages cost less than copies.
    if (kept > Count / 4) {
        for (int n = 0; n < count; ++n) {
            if (m_places[size_t(n)] >= 0)
                m_places[size_t(n)] = InImage;
        }
        m_image.emplace(std::move(image));
        return;
    }
    m_records.resize(size_t(kept));
    for (int n = 0; n < count; ++n) {
        if (const qint32 place = m_places[size_t(n)]; place >= 0)
            std::memcpy(m_records[size_t(place)].data(), image.Data() + qsizetype(n) * Record::Size,
                        Record::Size);
    }
}

void SparseRecords::CopyTo(char* out) const {
    // In record order, socket 1 slowest: each new file's record is the
    // template and three fields, without working out its entries.
    const Parts& parts = DefaultParts();
    int number = 0;
    for (int a = 0; a < Entries; ++a)
        for (int b = 0; b < Entries; ++b)
            for (int c = 0; c < Entries; ++c, ++number, out += Record::Size) {
                const qint32 place = m_places.empty() ? ZeroRecord : m_places[size_t(number)];
                if (place >= 0) {
                    std::memcpy(out, m_records[size_t(place)].data(), Record::Size);
                } else if (place == InImage) {
                    std::memcpy(out, m_image->Data() + qsizetype(number) * Record::Size,
                                Record::Size);
                } else if (place == ZeroRecord) {
                    std::memset(out, 0, Record::Size);
                } else {
                    std::memcpy(out, parts.record.data(), Record::Size);
                    for (const auto& [s, e] : {std::pair{0, a}, {1, b}, {2, c}})
                        std::memcpy(out + 1 + s * Record::SocketWidth,
                                    parts.fields[size_t(e)].data(), Record::SocketWidth);
                }
            }
}

void SparseRecords::MakeDefault() {
    m_places.assign(Count, DefaultRecord);
    m_records.clear();
    m_image.reset();
}

bool SparseRecords::IsDefault(int number) const {
    return !m_places.empty() && m_places[size_t(number)] == DefaultRecord;
}
