#include "store/SaveReadBack.h"

#include "store/ButtonCatalogue.h"
#include "store/CombinationRecord.h"
#include "store/CombinationTable.h"
#include "store/FileImage.h"
#include "store/FileReplacement.h"
#include "store/SparseRecords.h"
#include "store/TrinodeError.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace SaveReadBack {

namespace Record = CombinationRecord;

void Verify(std::span<const Expected> expected, const char* bytes, const SparseRecords& table,
            const FileReplacement& replacement, const QString& filePath) {
    constexpr qsizetype FileSize = CombinationTable::FileSize;
    constexpr size_t ReadWholeFrom = 64;
    std::optional<FileImage> written;
    if (expected.size() >= ReadWholeFrom) {
        written.emplace(FileSize);
        if (replacement.ReadBack(written->Data(), FileSize, 0) != FileSize)
            written.reset();
    }
    for (const Expected& one : expected) {
        const qsizetype offset = qsizetype(std::max(one.number, 0)) * Record::Size;
        char record[Record::Size];
        const char* back = written ? written->Data() + offset : record;
        const bool stored =
            one.number >= 0 &&
            std::memcmp(bytes + offset, table.Peek(one.number, record), Record::Size) == 0 &&
            Record::ReadField(bytes + offset, Record::Field::Info) ==
                Record::Trim(one.stored->info) &&
            Record::ReadField(bytes + offset, Record::Field::Path) ==
                Record::Trim(one.stored->path) &&
            (written ||
             replacement.ReadBack(record, Record::Size, off_t(offset)) == Record::Size) &&
            std::memcmp(back, bytes + offset, Record::Size) == 0;
        if (!stored)
            throw TrinodeError(QStringLiteral("%1 holds no record for %2 that could take its "
                                              "binding; nothing was written")
                                   .arg(filePath, ButtonCatalogue::Spoken(*one.combination)));
    }
}

} // namespace SaveReadBack
