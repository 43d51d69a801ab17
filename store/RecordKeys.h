#pragma once

// The socket values of every record of the combination table, kept so that
// a lookup is no scan: each record's three values as catalogue entries, one
// byte each, an index from each combination of catalogue values to the
// first record that holds it and from each record to the next one of the
// same combination, and the full socket bytes of the few records with a
// value that names no catalogue entry (a hand edit).

#include "store/ButtonCatalogue.h"
#include "store/CombinationRecord.h"

#include <QByteArray>

#include <array>
#include <functional>
#include <utility>
#include <vector>

class RecordKeys final {
public:
    // One byte for each socket value; OtherValue for one that names no entry.
    using CompactKey = std::array<quint8, 3>;
    static constexpr quint8 OtherValue = 0xff;

    // The record's bytes (written into scratch where it has none of its
    // own), and whether it is the new file's record at its place.
    using RecordSource = std::function<const char*(int number, char* scratch)>;
    using IsDefault = std::function<bool(int number)>;

    // Takes every record's key anew.
    void Build(const RecordSource& record, const IsDefault& isDefault);

    // The first record whose trimmed socket fields equal the normalised key
    // (KeySize bytes) at or after from, or -1.
    int Find(const char* key, int from = 0) const;
    const CompactKey& KeyOf(int number) const { return m_keys[size_t(number)]; }
    // The first record whose key is the combination's (by its record
    // number), or -1.
    int FirstOf(int combination) const { return m_first[size_t(combination)]; }
    static bool IsCatalogue(const CompactKey& key);

private:
    std::vector<CompactKey> m_keys;
    std::vector<qint32> m_first; // by combination number
    std::vector<qint32> m_next;  // by record number
    std::vector<std::pair<int, QByteArray>> m_otherKeys;
};
