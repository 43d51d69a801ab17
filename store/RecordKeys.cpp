#include "store/RecordKeys.h"

#include <algorithm>
#include <cstring>

namespace Record = CombinationRecord;

namespace {

constexpr int Entries = ButtonCatalogue::EntryCount;
constexpr int RecordCount = ButtonCatalogue::RecordCount;

// Each catalogue entry as a socket field holds it.
const std::array<std::array<char, Record::SocketWidth>, Entries>& EntryFields() {
    static const auto fields = [] {
        std::array<std::array<char, Record::SocketWidth>, Entries> made{};
        for (int i = 0; i < Entries; ++i) {
            char record[Record::Size];
            Record::Build(record, ButtonCatalogue::Names[size_t(i)], {}, {}, {}, {});
            std::memcpy(made[size_t(i)].data(), record + 1, Record::SocketWidth);
        }
        return made;
    }();
    return fields;
}

// The catalogue entry of one socket field of a normalised key, tried first
// at the entry the record's place suggests.
quint8 EntryOf(const char* field, int likely) {
    const auto& fields = EntryFields();
    if (likely >= 0 && std::memcmp(field, fields[size_t(likely)].data(), Record::SocketWidth) == 0)
        return quint8(likely);
    for (int i = 0; i < Entries; ++i) {
        if (std::memcmp(field, fields[size_t(i)].data(), Record::SocketWidth) == 0)
            return quint8(i);
    }
    return RecordKeys::OtherValue;
}

RecordKeys::CompactKey CompactOf(const char* key, const std::array<int, 3>& likely) {
    RecordKeys::CompactKey compact;
    for (int s = 0; s < 3; ++s)
        compact[size_t(s)] = EntryOf(key + s * Record::SocketWidth, likely[size_t(s)]);
    return compact;
}

} // namespace

bool RecordKeys::IsCatalogue(const CompactKey& key) {
    return std::find(key.begin(), key.end(), OtherValue) == key.end();
}

void RecordKeys::Build(const RecordSource& record, const IsDefault& isDefault) {
    m_keys.resize(RecordCount);
    m_first.assign(RecordCount, -1);
    m_next.assign(RecordCount, -1);
    m_otherKeys.clear();
    std::vector<qint32> last(RecordCount, -1);
    const auto& fields = EntryFields();
    char scratch[Record::Size];
    char key[Record::KeySize];
    for (int i = 0; i < RecordCount; ++i) {
        const auto likely = ButtonCatalogue::EntriesOf(i);
        CompactKey& compact = m_keys[size_t(i)];
        const auto atItsPlace = [&](const char* bytes) {
            // Socket fields as the program writes them are their own key.
            if (Record::LengthOf(bytes) < Record::KeySize)
                return false;
            for (int s = 0; s < 3; ++s) {
                if (std::memcmp(bytes + 1 + s * Record::SocketWidth,
                                fields[size_t(likely[size_t(s)])].data(), Record::SocketWidth) != 0)
                    return false;
            }
            return true;
        };
        const char* bytes = isDefault(i) ? nullptr : record(i, scratch);
        if (!bytes || atItsPlace(bytes)) {
            compact = {quint8(likely[0]), quint8(likely[1]), quint8(likely[2])};
        } else {
            Record::NormalisedKey(bytes, key);
            compact = CompactOf(key, likely);
        }
        if (!IsCatalogue(compact)) {
            m_otherKeys.emplace_back(i, QByteArray(key, Record::KeySize));
            continue;
        }
        const int combination = ButtonCatalogue::RecordNumber(compact[0], compact[1], compact[2]);
        if (last[size_t(combination)] < 0)
            m_first[size_t(combination)] = i;
        else
            m_next[size_t(last[size_t(combination)])] = i;
        last[size_t(combination)] = i;
    }
}

int RecordKeys::Find(const char* key, int from) const {
    const CompactKey compact = CompactOf(key, {-1, -1, -1});
    if (!IsCatalogue(compact)) {
        // Only a record with a value outside the catalogue can hold one.
        for (const auto& [number, other] : m_otherKeys) {
            if (number >= from && std::memcmp(other.constData(), key, Record::KeySize) == 0)
                return number;
        }
        return -1;
    }
    int number = m_first[size_t(ButtonCatalogue::RecordNumber(compact[0], compact[1], compact[2]))];
    while (number >= 0 && number < from)
        number = m_next[size_t(number)];
    return number;
}
