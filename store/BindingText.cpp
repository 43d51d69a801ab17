#include "store/BindingText.h"

#include "store/ButtonCatalogue.h"
#include "store/CombinationRecord.h"
#include "store/WordMatch.h"

#include <array>
#include <cstring>

namespace Record = CombinationRecord;

namespace {

constexpr char Separator = '\t';
constexpr int FieldCount = 5;

bool IsControl(unsigned char byte) {
    return byte < 0x20 || byte == 0x7f;
}

bool IsContinuation(unsigned char byte) {
    return (byte & 0xc0) == 0x80;
}

// The length of the valid UTF-8 sequence that starts at bytes[at], or 0:
// no overlong forms, no surrogates, nothing beyond U+10FFFF.
qsizetype SequenceAt(QByteArrayView bytes, qsizetype at) {
    const auto lead = static_cast<unsigned char>(bytes[at]);
    qsizetype length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xbf;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        low = lead == 0xe0 ? 0xa0 : 0x80;
        high = lead == 0xed ? 0x9f : 0xbf;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        low = lead == 0xf0 ? 0x90 : 0x80;
        high = lead == 0xf4 ? 0x8f : 0xbf;
    } else {
        return 0;
    }
    if (at + length > bytes.size())
        return 0;
    const auto second = static_cast<unsigned char>(bytes[at + 1]);
    if (second < low || second > high)
        return 0;
    for (qsizetype i = 2; i < length; ++i)
        if (!IsContinuation(static_cast<unsigned char>(bytes[at + i])))
            return 0;
    return length;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

QString Shown(QByteArrayView text) {
    return QString::fromUtf8(text);
}

// Whether the eight bytes are all printable ASCII other than a backslash: a
// word of text that goes out as it is. A yes is always right; a no may be
// wrong, and the bytes are then looked at one by one.
bool AllPlain(const char* bytes) {
    constexpr quint64 Ones = 0x0101010101010101;
    constexpr quint64 Highs = 0x8080808080808080;
    quint64 word;
    std::memcpy(&word, bytes, 8);
    const quint64 control = (word - 0x20 * Ones) & ~word & Highs;
    const quint64 high = ((word + Ones) | word) & Highs;
    const quint64 backslashes = word ^ ('\\' * Ones);
    const quint64 backslash = (backslashes - Ones) & ~backslashes & Highs;
    return (control | high | backslash) == 0;
}

// Whether every byte of the text goes out as it is.
bool IsPlain(QByteArrayView text) {
    const char* bytes = text.data();
    const qsizetype size = text.size();
    if (size < 8) {
        for (qsizetype at = 0; at < size; ++at) {
            const auto byte = static_cast<unsigned char>(bytes[at]);
            if (byte == '\\' || byte >= 0x80 || IsControl(byte))
                return false;
        }
        return true;
    }
    for (qsizetype at = 0; at + 8 <= size; at += 8) {
        if (!AllPlain(bytes + at))
            return false;
    }
    // The last word overlaps the one before it.
    return AllPlain(bytes + size - 8);
}

// The most an escaped text can take: four bytes for each of its own.
constexpr qsizetype EscapedAtMost(qsizetype size) {
    return 4 * size;
}

// Writes the escaped bytes at out, which has room for EscapedAtMost of
// them, and returns where they end.
char* WriteEscaped(char* out, QByteArrayView bytes) {
    static constexpr char Hex[] = "0123456789abcdef";
    // Most texts go out whole.
    if (IsPlain(bytes)) {
        if (!bytes.isEmpty())
            std::memcpy(out, bytes.data(), size_t(bytes.size()));
        return out + bytes.size();
    }
    // Bytes that stand for themselves go out in runs, not one at a time.
    qsizetype run = 0;
    const auto flush = [&](qsizetype end) {
        std::memcpy(out, bytes.data() + run, size_t(end - run));
        out += end - run;
    };
    for (qsizetype at = 0; at < bytes.size();) {
        if (bytes.size() - at >= 8 && AllPlain(bytes.data() + at)) {
            at += 8;
            continue;
        }
        const auto byte = static_cast<unsigned char>(bytes[at]);
        const qsizetype sequence = byte == '\\'  ? 0
                                   : byte < 0x80 ? (IsControl(byte) ? 0 : 1)
                                                 : SequenceAt(bytes, at);
        if (sequence > 0) {
            at += sequence;
            continue;
        }
        flush(at);
        *out++ = '\\';
        if (byte == '\\') {
            *out++ = '\\';
        } else {
            *out++ = 'x';
            *out++ = Hex[byte >> 4];
            *out++ = Hex[byte & 0xf];
        }
        run = ++at;
    }
    if (!bytes.isEmpty())
        flush(bytes.size());
    return out;
}

} // namespace

namespace BindingText {

std::optional<QByteArray> Unescaped(QByteArrayView text, QString* why) {
    if (!text.contains('\\'))
        return text.toByteArray();
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype at = 0; at < text.size(); ++at) {
        if (text[at] != '\\') {
            out.append(text[at]);
            continue;
        }
        if (at + 1 < text.size() && text[at + 1] == '\\') {
            out.append('\\');
            ++at;
            continue;
        }
        const int high = at + 3 < text.size() && text[at + 1] == 'x' ? HexValue(text[at + 2]) : -1;
        const int low = high >= 0 ? HexValue(text[at + 3]) : -1;
        if (low < 0) {
            *why = QStringLiteral("a backslash in \u201c%1\u201d starts neither \\\\ nor \\x and "
                                  "two hexadecimal digits")
                       .arg(Shown(text));
            return std::nullopt;
        }
        out.append(char(high * 16 + low));
        at += 3;
    }
    return out;
}

} // namespace BindingText

namespace {

// The line is written in place, in room made for the longest it can be.
void AppendFields(QByteArray& out, const std::array<QByteArrayView, 3>& names,
                  QByteArrayView info, QByteArrayView path) {
    const std::array<QByteArrayView, FieldCount> fields = {names[0], names[1], names[2], info,
                                                           path};
    qsizetype room = 0;
    for (QByteArrayView field : fields)
        room += EscapedAtMost(field.size()) + 1;
    const qsizetype start = out.size();
    out.resize(start + room);
    char* const begin = out.data() + start;
    char* end = begin;
    for (QByteArrayView field : fields) {
        end = WriteEscaped(end, field);
        *end++ = Separator;
    }
    end[-1] = '\n';
    out.resize(start + (end - begin));
}

} // namespace

namespace BindingText {

void AppendLine(QByteArray& out, const BoundCombination& bound) {
    const std::array<QByteArray, 3> names = {bound.combination[0].toUtf8(),
                                             bound.combination[1].toUtf8(),
                                             bound.combination[2].toUtf8()};
    AppendFields(out, {names[0], names[1], names[2]}, bound.binding.info, bound.binding.path);
}

void AppendLine(QByteArray& out, const BoundRecord& bound) {
    static const auto names = [] {
        std::array<QByteArrayView, ButtonCatalogue::EntryCount> views;
        for (size_t i = 0; i < views.size(); ++i)
            views[i] = QByteArrayView(ButtonCatalogue::Names[i]);
        return views;
    }();
    const auto name = [&bound](int s) { return names[size_t(bound.entries[size_t(s)])]; };
    AppendFields(out, {name(0), name(1), name(2)}, bound.info, bound.path);
}

std::optional<BoundCombination> Parsed(QByteArrayView line, QString* why) {
    if (line.endsWith('\r'))
        line.chop(1);
    // Taken apart in place: an import reads thousands of lines.
    std::array<QByteArrayView, FieldCount> fields;
    qsizetype count = 0;
    for (qsizetype from = 0;; ++count) {
        const qsizetype tab = line.indexOf(Separator, from);
        if (count < FieldCount)
            fields[size_t(count)] = line.sliced(from, (tab < 0 ? line.size() : tab) - from);
        if (tab < 0)
            break;
        from = tab + 1;
    }
    if (++count != FieldCount) {
        *why = QStringLiteral("it holds %1 fields separated by tabs, where a line holds %2: three "
                              "button names, the information and the path")
                   .arg(count)
                   .arg(FieldCount);
        return std::nullopt;
    }
    std::array<QByteArray, FieldCount> bytes;
    for (int i = 0; i < FieldCount; ++i) {
        std::optional<QByteArray> field = Unescaped(fields[i], why);
        if (!field)
            return std::nullopt;
        bytes[size_t(i)] = std::move(*field);
    }
    BoundCombination bound;
    for (int s = 0; s < 3; ++s) {
        const std::optional<int> index = ButtonCatalogue::IndexOfBytes(bytes[size_t(s)]);
        if (!index) {
            *why = QStringLiteral("socket %1 names no button: \u201c%2\u201d")
                       .arg(s + 1)
                       .arg(QString::fromUtf8(bytes[size_t(s)]));
            return std::nullopt;
        }
        bound.combination[size_t(s)] = ButtonCatalogue::ButtonName(*index);
    }
    const std::array<std::pair<Record::Field, const char*>, 2> texts{
        {{Record::Field::Info, "information"}, {Record::Field::Path, "path"}}};
    for (int t = 0; t < 2; ++t) {
        const QByteArray& text = bytes[size_t(3 + t)];
        if (!Record::Fits(texts[size_t(t)].first, text)) {
            *why =
                QStringLiteral("the %1 takes %2 bytes, more than the %3 that a shortcut can hold")
                    .arg(QLatin1String(texts[size_t(t)].second))
                    .arg(text.size())
                    .arg(Record::PlaceOf(texts[size_t(t)].first).width);
            return std::nullopt;
        }
    }
    // The system reads a file name up to a NUL byte: such a path would open
    // another file.
    if (bytes[4].contains('\0')) {
        *why = QStringLiteral("the path holds a NUL byte, which no file name can hold");
        return std::nullopt;
    }
    bound.binding = {bytes[3], bytes[4]};
    return bound;
}

std::optional<std::vector<BoundCombination>> ParsedLines(QByteArrayView text, QString* why,
                                                         std::vector<int>* numbers) {
    // An editor's byte-order mark is no part of the first line.
    if (text.startsWith("\xef\xbb\xbf"))
        text = text.sliced(3);
    std::vector<BoundCombination> lines;
    int number = 0;
    for (qsizetype from = 0; from < text.size();) {
        qsizetype end = text.indexOf('\n', from);
        if (end < 0)
            end = text.size();
        const QByteArrayView line = text.sliced(from, end - from);
        from = end + 1;
        ++number;
        if (line.isEmpty() || line == "\r" || line.startsWith('#'))
            continue;
        QString reason;
        std::optional<BoundCombination> bound = Parsed(line, &reason);
        if (!bound) {
            *why = QStringLiteral("line %1: %2").arg(number).arg(reason);
            return std::nullopt;
        }
        lines.push_back(std::move(*bound));
        if (numbers)
            numbers->push_back(number);
    }
    return lines;
}

QString SearchText(const BoundCombination& bound) {
    return WordMatch::SearchText({bound.combination[0], bound.combination[1], bound.combination[2],
                                  Record::Decode(bound.binding.info),
                                  Record::Decode(bound.binding.path)});
}

} // namespace BindingText
