#pragma once

// What a save checks before it puts its new file in place: each record it
// changed reads back, from the new content, from the table and from the file
// it went to, with the texts it was given. A save of many records reads the
// file back whole; one of a few, record by record.

#include "store/Combination.h"

#include <QString>

#include <span>

class FileReplacement;
class SparseRecords;

namespace SaveReadBack {

// One combination the save changed: the record a lookup finds (-1 for none)
// and what it must hold.
struct Expected {
    int number;
    const Combination* combination;
    const StoredBinding* stored;
};

// Throws, naming the file and the first combination whose record does not
// read back as it must.
void Verify(std::span<const Expected> expected, const char* bytes, const SparseRecords& table,
            const FileReplacement& replacement, const QString& filePath);

} // namespace SaveReadBack
