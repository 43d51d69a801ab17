#pragma once

// The fixed, ordered list of the values a socket can hold: the 22 button
// names and, last, the empty value. The order is the record order of the
// combination file, so it never changes.

#include "store/Combination.h"

#include <QByteArrayView>
#include <QString>

#include <array>
#include <optional>

namespace ButtonCatalogue {

inline constexpr int ButtonCount = 22;
inline constexpr int EntryCount = 23;
inline constexpr int EmptyIndex = 22;

// Entry 22 is the empty text.
extern const std::array<const char*, EntryCount> Names;

QString ButtonName(int buttonIndex);

// Position of the first entry equal to the text (exact, case-sensitive);
// the empty text is 22.
std::optional<int> ButtonIndex(const QString& name);
// The same for a name given as its bytes (UTF-8, as every name is ASCII).
std::optional<int> IndexOfBytes(QByteArrayView name);

// The records of the combination file: one for every triple of entries,
// socket 1 varying slowest.
inline constexpr int RecordCount = EntryCount * EntryCount * EntryCount;

// Record number of the triple (a, b, c) of button indexes.
constexpr int RecordNumber(int a, int b, int c) {
    return a * EntryCount * EntryCount + b * EntryCount + c;
}
// The record number of a combination of catalogue values; none for a value
// that is not one.
std::optional<int> RecordNumber(const Combination& combination);

// A combination as a person reads it: the three values, "(empty)" for an
// empty socket.
QString Spoken(const Combination& combination);

// The button indexes of sockets 1, 2 and 3 at a record number.
constexpr std::array<int, 3> EntriesOf(int recordNumber) {
    return {recordNumber / (EntryCount * EntryCount), recordNumber / EntryCount % EntryCount,
            recordNumber % EntryCount};
}
// The combination whose record a new file holds at a record number.
Combination CombinationOf(int recordNumber);

} // namespace ButtonCatalogue
