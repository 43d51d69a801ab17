#include "store/CombinationRecord.h"

#include "store/TrinodeError.h"

#include <QTextBoundaryFinder>

#include <algorithm>
#include <cstring>

namespace CombinationRecord {

FieldPlace PlaceOf(Field field) {
    switch (field) {
    case Field::Socket1:
        return {1, SocketWidth};
    case Field::Socket2:
        return {16, SocketWidth};
    case Field::Socket3:
        return {31, SocketWidth};
    case Field::Info:
        return {46, InfoWidth};
    case Field::Path:
        return {76, PathWidth};
    }
    return {0, 0};
}

bool Fits(Field field, QByteArrayView bytes) {
    return bytes.size() <= PlaceOf(field).width;
}

QString TooLong(Field field, qsizetype bytes) {
    return QStringLiteral("The %1 takes %2 bytes, more than the %3 that a shortcut can hold")
        .arg(field == Field::Info ? QLatin1String("information") : QLatin1String("path"))
        .arg(bytes)
        .arg(PlaceOf(field).width);
}

StoredBinding Storable(const StoredBinding& binding) {
    for (const auto& [field, bytes] :
         {std::pair{Field::Info, binding.info}, std::pair{Field::Path, binding.path}}) {
        if (!Fits(field, bytes))
            throw TrinodeError(TooLong(field, bytes.size()));
    }
    // The system reads a file name up to a NUL byte: such a path would open
    // another file.
    if (binding.path.contains('\0'))
        throw TrinodeError(
            QStringLiteral("The path holds a NUL byte, which no file name can hold"));
    return {binding.info.isEmpty() ? Placeholder.toByteArray() : binding.info,
            binding.path.isEmpty() ? Placeholder.toByteArray() : binding.path};
}

QByteArrayView Trim(QByteArrayView text) {
    const auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    qsizetype begin = 0;
    qsizetype end = text.size();
    // Texts are right-justified with spaces: most of a field is skipped a
    // word at a time.
    constexpr quint64 Spaces = 0x2020202020202020;
    for (quint64 word; end - begin >= 8; begin += 8) {
        std::memcpy(&word, text.data() + begin, 8);
        if (word != Spaces)
            break;
    }
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

int LengthOf(const char* record) {
    return std::min<int>(static_cast<unsigned char>(record[0]), MaxLength);
}

QByteArrayView ReadField(const char* record, Field field) {
    const FieldPlace place = PlaceOf(field);
    const int end = std::min(place.offset + place.width, LengthOf(record) + 1);
    if (end <= place.offset)
        return {};
    return Trim(QByteArrayView(record + place.offset, end - place.offset));
}

namespace {

// Writes text right-justified into a field of exactly width bytes.
void PutField(char* out, int width, QByteArrayView text) {
    Q_ASSERT(text.size() <= width);
    const auto length = std::min<qsizetype>(text.size(), width);
    std::memset(out, ' ', width - length);
    // An empty field read from a record has no data pointer at all, and
    // memcpy may not be handed a null one even for no bytes.
    if (length > 0)
        std::memcpy(out + width - length, text.data(), length);
}

} // namespace

void Build(char* out, QByteArrayView socket1, QByteArrayView socket2, QByteArrayView socket3,
           QByteArrayView info, QByteArrayView path) {
    out[0] = static_cast<char>(MaxLength);
    const auto put = [out](Field field, QByteArrayView text) {
        const FieldPlace place = PlaceOf(field);
        PutField(out + place.offset, place.width, text);
    };
    put(Field::Socket1, socket1);
    put(Field::Socket2, socket2);
    put(Field::Socket3, socket3);
    put(Field::Info, info);
    put(Field::Path, path);
}

void BuildWithKey(char* out, const char* key, QByteArrayView info, QByteArrayView path) {
    out[0] = static_cast<char>(MaxLength);
    std::memcpy(out + PlaceOf(Field::Socket1).offset, key, KeySize);
    PutField(out + PlaceOf(Field::Info).offset, InfoWidth, info);
    PutField(out + PlaceOf(Field::Path).offset, PathWidth, path);
}

namespace {

constexpr Field SocketFields[] = {Field::Socket1, Field::Socket2, Field::Socket3};

// A socket field that already reads as its normalised form: blank throughout,
// or spaces (and only spaces) before text that ends at the field's end.
bool IsNormalised(const char* field) {
    const auto at = [field](int i) { return static_cast<unsigned char>(field[i]); };
    int i = 0;
    while (i < SocketWidth && field[i] == ' ')
        ++i;
    return i == SocketWidth || (at(i) > 32 && at(SocketWidth - 1) > 32);
}

} // namespace

void NormalisedKey(const char* record, char* key) {
    // Every record the program writes is normalised already; only hand edits
    // take the slow way.
    if (LengthOf(record) >= KeySize && IsNormalised(record + 1) && IsNormalised(record + 16) &&
        IsNormalised(record + 31)) {
        std::memcpy(key, record + 1, KeySize);
        return;
    }
    for (int i = 0; i < 3; ++i)
        PutField(key + i * SocketWidth, SocketWidth, ReadField(record, SocketFields[i]));
}

bool KeyOf(const Combination& combination, char* key) {
    for (int i = 0; i < 3; ++i) {
        const QByteArray bytes = Encode(combination[i]);
        const QByteArrayView value = Trim(bytes);
        if (!Fits(SocketFields[i], value))
            return false;
        PutField(key + i * SocketWidth, SocketWidth, value);
    }
    return true;
}

QString CutToFit(Field field, const QString& text) {
    if (Fits(field, Encode(text)))
        return text;
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, text);
    qsizetype fitting = 0;
    for (qsizetype end = characters.toNextBoundary();
         end > 0 && Fits(field, Encode(text.left(end))); end = characters.toNextBoundary())
        fitting = end;
    return text.left(fitting);
}

QString Decode(QByteArrayView bytes) {
    return QString::fromLocal8Bit(bytes);
}

QByteArray Encode(const QString& text) {
    return text.toLocal8Bit();
}

} // namespace CombinationRecord
