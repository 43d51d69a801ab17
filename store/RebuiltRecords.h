#pragma once

// The records an assignment rebuilt, with their old bytes: unless the save
// went through, they are put back, so that the table still equals the file.

#include "store/CombinationRecord.h"

#include <array>
#include <utility>
#include <vector>

class SparseRecords;

class RebuiltRecords final {
public:
    explicit RebuiltRecords(SparseRecords& records) : m_records(records) {}
    ~RebuiltRecords();
    RebuiltRecords(const RebuiltRecords&) = delete;
    RebuiltRecords& operator=(const RebuiltRecords&) = delete;

    void Reserve(size_t records) { m_old.reserve(records); }
    void Remember(int number, const char* record);
    // The save went through: the new records stay.
    void Keep() { m_kept = true; }
    // The records rebuilt, in the order they were.
    std::vector<int> Numbers() const;

private:
    SparseRecords& m_records;
    std::vector<std::pair<int, std::array<char, CombinationRecord::Size>>> m_old;
    bool m_kept = false;
};
