#include "store/RebuiltRecords.h"

#include "store/SparseRecords.h"

#include <cstring>

RebuiltRecords::~RebuiltRecords() {
    if (m_kept)
        return;
    for (const auto& [number, old] : m_old)
        m_records.Put(number, old.data());
}

void RebuiltRecords::Remember(int number, const char* record) {
    auto& old = m_old.emplace_back(number, std::array<char, CombinationRecord::Size>{}).second;
    std::memcpy(old.data(), record, CombinationRecord::Size);
}

std::vector<int> RebuiltRecords::Numbers() const {
    std::vector<int> numbers;
    numbers.reserve(m_old.size());
    for (const auto& [number, old] : m_old)
        numbers.push_back(number);
    return numbers;
}
