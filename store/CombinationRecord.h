#pragma once

// One record of the combination file: a length byte and 175 characters,
// five right-justified fields. Records are read and built as raw bytes in the
// system's 8-bit encoding; only the edges of the store convert to QString.

#include "store/Combination.h"

#include <QByteArray>
#include <QByteArrayView>

namespace CombinationRecord {

inline constexpr int Size = 176;
inline constexpr int MaxLength = 175;
inline constexpr int SocketWidth = 15;
inline constexpr int InfoWidth = 30;
inline constexpr int PathWidth = 100;
// What an information or path field holds when nothing is assigned; read
// back as the empty text.
inline constexpr QByteArrayView Placeholder("|");

enum class Field { Socket1, Socket2, Socket3, Info, Path };

struct FieldPlace {
    int offset;
    int width;
};
FieldPlace PlaceOf(Field field);

// The one rule for what a field holds: a text is stored as its bytes in the
// system's 8-bit encoding (Encode), and those fit when they take no more than
// the field's width. Bytes read from a record are kept as they are, valid
// text or not. The editor asks this at every keystroke, the table before it
// writes a record.
bool Fits(Field field, QByteArrayView bytes);
// What is said of bytes that do not fit their field (the information or the
// path), wherever they are refused.
QString TooLong(Field field, qsizetype bytes);
// The texts as a record stores them, the placeholder for none; refuses, with
// an error, texts that do not fit their fields and a path that holds a NUL
// byte.
StoredBinding Storable(const StoredBinding& binding);

// The longest start of a text that fits the field, cut between two
// characters (never inside one, nor between a letter and its accent).
QString CutToFit(Field field, const QString& text);

// Removes leading and trailing bytes with codes up to 32.
QByteArrayView Trim(QByteArrayView text);

// The record's length byte as it counts: above 175 reads as 175.
int LengthOf(const char* record);

// A field read from a record: only the first L characters after the length
// byte belong to it; the result is trimmed.
QByteArrayView ReadField(const char* record, Field field);

// Writes the record of the three socket values, information and path into
// 176 bytes at out. Every text must fit its field: callers check first.
void Build(char* out, QByteArrayView socket1, QByteArrayView socket2, QByteArrayView socket3,
           QByteArrayView info, QByteArrayView path);

// Writes a record with a key's socket fields (as NormalisedKey gives them)
// and the texts: the same as Build from the trimmed socket values.
void BuildWithKey(char* out, const char* key, QByteArrayView info, QByteArrayView path);

// The 45 socket bytes of a record as they compare: each field trimmed and
// right-justified to 15, so that two records compare equal exactly when their
// trimmed socket fields do.
inline constexpr int KeySize = 3 * SocketWidth;
void NormalisedKey(const char* record, char* key);

// The same key for a combination, or false when a value cannot be stored in a
// socket field and so matches no record.
bool KeyOf(const Combination& combination, char* key);

QString Decode(QByteArrayView bytes);
QByteArray Encode(const QString& text);

} // namespace CombinationRecord
