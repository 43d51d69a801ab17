#include "store/FileDamage.h"

#include "store/ButtonCatalogue.h"
#include "store/CombinationRecord.h"
#include "store/Counted.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace Record = CombinationRecord;

namespace {

constexpr int RecordCount = ButtonCatalogue::RecordCount;
constexpr qsizetype WholeSize = qsizetype(RecordCount) * Record::Size;
// Texts an inserted or deleted byte can have moved: the information and
// the path, 130 bytes.
constexpr int TextsWidth = Record::InfoWidth + Record::PathWidth;

using Entries = std::array<int, 3>;

constexpr Record::Field SocketFields[] = {Record::Field::Socket1, Record::Field::Socket2,
                                          Record::Field::Socket3};

// Each catalogue entry as a socket field of the program's holds it.
const std::array<std::array<char, Record::SocketWidth>, ButtonCatalogue::EntryCount>& Fields() {
    static const auto fields = [] {
        std::array<std::array<char, Record::SocketWidth>, ButtonCatalogue::EntryCount> made{};
        for (int i = 0; i < ButtonCatalogue::EntryCount; ++i) {
            char record[Record::Size];
            Record::Build(record, ButtonCatalogue::Names[size_t(i)], {}, {}, {}, {});
            std::memcpy(made[size_t(i)].data(), record + 1, Record::SocketWidth);
        }
        return made;
    }();
    return fields;
}

std::optional<int> EntryOf(QByteArrayView field) {
    const QByteArrayView value = Record::Trim(field);
    for (int i = 0; i < ButtonCatalogue::EntryCount; ++i) {
        if (value == QByteArrayView(ButtonCatalogue::Names[size_t(i)]))
            return i;
    }
    return std::nullopt;
}

// The entries of the record that starts at bytes[at], when one does: a
// length byte that covers the three socket fields, and a button name or
// nothing in each.
std::optional<Entries> EntriesAt(QByteArrayView bytes, qsizetype at) {
    if (at + 1 + Record::KeySize > bytes.size() ||
        static_cast<unsigned char>(bytes[at]) < Record::KeySize)
        return std::nullopt;
    // Most records hold their place's combination as the program writes it.
    if (at % Record::Size == 0 && at / Record::Size < RecordCount) {
        const Entries likely = ButtonCatalogue::EntriesOf(int(at / Record::Size));
        bool same = true;
        for (int s = 0; s < 3 && same; ++s)
            same =
                std::memcmp(bytes.data() + at + 1 + s * Record::SocketWidth,
                            Fields()[size_t(likely[size_t(s)])].data(), Record::SocketWidth) == 0;
        if (same)
            return likely;
    }
    Entries entries{};
    for (int s = 0; s < 3; ++s) {
        const std::optional<int> entry = EntryOf(
            bytes.sliced(at + Record::PlaceOf(SocketFields[s]).offset, Record::SocketWidth));
        if (!entry)
            return std::nullopt;
        entries[size_t(s)] = *entry;
    }
    return entries;
}

int NumberOf(const Entries& e) {
    return ButtonCatalogue::RecordNumber(e[0], e[1], e[2]);
}

// Where a record is found again after bytes that do not read: a record as
// the program writes it, followed by another or by the end. A length byte
// and three blank socket fields alone could be any text followed by spaces.
qsizetype NextStart(QByteArrayView bytes, qsizetype from) {
    for (qsizetype at = from; at + 1 + Record::KeySize <= bytes.size(); ++at) {
        if (static_cast<unsigned char>(bytes[at]) == Record::MaxLength && EntriesAt(bytes, at) &&
            (at + Record::Size >= bytes.size() || EntriesAt(bytes, at + Record::Size)))
            return at;
    }
    return bytes.size();
}

// A text field read whole: trimmed, never wider than the field.
bool HasGap(QByteArrayView text) {
    for (qsizetype i = 1; i < text.size(); ++i) {
        if (static_cast<unsigned char>(text[i - 1]) <= 32 &&
            static_cast<unsigned char>(text[i]) <= 32)
            return true;
    }
    return false;
}

struct Texts {
    QByteArrayView info;
    QByteArrayView path;
    int gaps = 0;
    bool wholeStretch = false; // read around a byte inserted or deleted
};

// The texts of a record that took `extra` more bytes (fewer when negative)
// in one of its text fields: each field is read where it lies, counting
// from the record's start for the fields before that one and from its end
// for the fields after it. Nothing when that field cannot be read so.
std::optional<Texts> TextsWithExtraIn(QByteArrayView record, Record::Field grown, qsizetype extra) {
    const qsizetype infoWidth = Record::InfoWidth + (grown == Record::Field::Info ? extra : 0);
    const qsizetype pathWidth = Record::PathWidth + (grown == Record::Field::Path ? extra : 0);
    const qsizetype infoAt = Record::PlaceOf(Record::Field::Info).offset;
    if (infoWidth < 0 || pathWidth < 0 || infoAt + infoWidth + pathWidth != record.size())
        return std::nullopt;
    Texts texts{Record::Trim(record.sliced(infoAt, infoWidth)),
                Record::Trim(record.sliced(infoAt + infoWidth, pathWidth))};
    if (!Record::Fits(Record::Field::Info, texts.info) ||
        !Record::Fits(Record::Field::Path, texts.path))
        return std::nullopt;
    texts.gaps = int(HasGap(texts.info)) + int(HasGap(texts.path));
    texts.wholeStretch = true;
    return texts;
}

// The texts of the record at the start of a stretch of bytes that runs to
// the next record: its usual 176 bytes, or its fields read around a byte
// inserted or deleted, whichever reads with the fewest gaps inside a text
// (right-justified fields hold none but what the user typed).
std::optional<Texts> BestTexts(QByteArrayView stretch) {
    std::optional<Texts> best;
    const auto consider = [&best](const std::optional<Texts>& texts) {
        if (texts && (!best || texts->gaps < best->gaps))
            best = texts;
    };
    if (stretch.size() >= Record::Size) {
        const char* record = stretch.data();
        consider(Texts{Record::ReadField(record, Record::Field::Info),
                       Record::ReadField(record, Record::Field::Path),
                       int(HasGap(Record::ReadField(record, Record::Field::Info))) +
                           int(HasGap(Record::ReadField(record, Record::Field::Path)))});
    }
    const qsizetype extra = stretch.size() - Record::Size;
    if (extra != 0 && extra <= TextsWidth) {
        consider(TextsWithExtraIn(stretch, Record::Field::Info, extra));
        consider(TextsWithExtraIn(stretch, Record::Field::Path, extra));
    }
    return best;
}

QString RecordAt(int number) {
    return QStringLiteral("record %1, at byte %2")
        .arg(Counted::Grouped(number))
        .arg(Counted::Grouped(qint64(number) * Record::Size));
}

} // namespace

FileDamage FileDamage::Of(QByteArrayView bytes, qsizetype fileSize) {
    FileDamage damage;
    damage.m_size = fileSize;
    const int whole = int(std::min<qsizetype>(bytes.size() / Record::Size, RecordCount));
    std::vector<bool> held(size_t(RecordCount), false);
    for (int n = 0; n < whole; ++n) {
        const qsizetype at = qsizetype(n) * Record::Size;
        const std::optional<Entries> entries = EntriesAt(bytes, at);
        if (!entries) {
            if (damage.m_outOfPlace++ == 0)
                damage.m_firstOutOfPlace = n;
            continue;
        }
        held[size_t(NumberOf(*entries))] = true;
        const int length = static_cast<unsigned char>(bytes[at]);
        if (length < Record::MaxLength && damage.m_shortLength++ == 0) {
            damage.m_firstShortLength = n;
            damage.m_firstShortLengthByte = length;
        }
    }
    // Combinations whose place lies past a short file's end are told by its
    // size.
    for (int c = 0; c < whole; ++c) {
        if (!held[size_t(c)] && damage.m_missing++ == 0)
            damage.m_firstMissing = ButtonCatalogue::CombinationOf(c);
    }
    return damage;
}

bool FileDamage::IsDamaged() const {
    return m_size != WholeSize || m_outOfPlace > 0 || m_shortLength > 0;
}

QStringList FileDamage::Details() const {
    QStringList lines;
    if (m_size < WholeSize)
        lines << QStringLiteral("it holds %1 bytes where a whole file holds %2, so %3")
                     .arg(Counted::Grouped(m_size), Counted::Grouped(WholeSize),
                          RecordCount - m_size / Record::Size == 1
                              ? QStringLiteral("its last record is cut short")
                              : QStringLiteral("its last %1 records are missing")
                                    .arg(Counted::Grouped(RecordCount - m_size / Record::Size)));
    else if (m_size > WholeSize)
        lines << QStringLiteral("it holds %1 bytes, %2 more than the %3 of a whole file")
                     .arg(Counted::Grouped(m_size), Counted::Grouped(m_size - WholeSize),
                          Counted::Grouped(WholeSize));
    if (m_firstOutOfPlace)
        lines << QStringLiteral("%1, does not start with a length byte and three button names%2")
                     .arg(RecordAt(*m_firstOutOfPlace),
                          m_outOfPlace > 1 ? QStringLiteral(", nor do %1 more records")
                                                 .arg(Counted::Grouped(m_outOfPlace - 1))
                                           : QString());
    if (m_firstShortLength)
        lines << QStringLiteral("the length byte of %1, is %2, which hides the last %3 bytes of "
                                "the record%4")
                     .arg(RecordAt(*m_firstShortLength))
                     .arg(m_firstShortLengthByte)
                     .arg(Record::MaxLength - m_firstShortLengthByte)
                     .arg(m_shortLength > 1 ? QStringLiteral(" (%1 more records have a length "
                                                             "byte below 175)")
                                                  .arg(Counted::Grouped(m_shortLength - 1))
                                            : QString());
    if (m_firstMissing)
        lines << QStringLiteral("no record holds %1%2")
                     .arg(ButtonCatalogue::Spoken(*m_firstMissing),
                          m_missing > 1 ? QStringLiteral(", nor %1 more combinations")
                                              .arg(Counted::Grouped(m_missing - 1))
                                        : QString());
    return lines;
}

QString FileDamage::MendedNotice(const QString& file, const Mend& mend, const QString& kept) const {
    QStringList done{QStringLiteral("every binding that reads is kept")};
    if (mend.recovered > 0)
        done << Counted::Of(mend.recovered, QStringLiteral("record was found out of its place"),
                            QStringLiteral("records were found out of their place"));
    if (mend.madeNew > 0)
        done << Counted::Of(mend.madeNew,
                            QStringLiteral("combination without a record now "
                                           "reads as unbound"),
                            QStringLiteral("combinations without a record now read as unbound"));
    return QStringLiteral("%1 was damaged: %2. It is mended: %3; the damaged file is kept as %4")
        .arg(file, Summary(), done.join(QStringLiteral(", ")), kept);
}

QString FileDamage::Summary() const {
    const QStringList lines = Details();
    return lines.isEmpty() ? QString() : lines.first();
}

namespace {

// The records a mend keeps, by combination, and how it came by them.
class Kept final {
public:
    Kept()
        : m_records(static_cast<size_t>(RecordCount)),
          m_found(static_cast<size_t>(RecordCount), false) {}

    bool Has(int number) const { return m_found[size_t(number)]; }
    // The record rebuilt from what reads of it.
    void Build(int number, const Entries& e, QByteArrayView info, QByteArrayView path) {
        const auto text = [](QByteArrayView t) { return t.isEmpty() ? Record::Placeholder : t; };
        m_found[size_t(number)] = true;
        Record::Build(m_records[size_t(number)].data(), ButtonCatalogue::Names[size_t(e[0])],
                      ButtonCatalogue::Names[size_t(e[1])], ButtonCatalogue::Names[size_t(e[2])],
                      text(info), text(path));
    }
    // The whole file; madeNew counts the combinations without a record.
    QByteArray File(int* madeNew) const {
        QByteArray bytes(WholeSize, Qt::Uninitialized);
        for (int n = 0; n < RecordCount; ++n) {
            char* out = bytes.data() + qsizetype(n) * Record::Size;
            if (m_found[size_t(n)]) {
                std::memcpy(out, m_records[size_t(n)].data(), Record::Size);
                continue;
            }
            ++*madeNew;
            const Entries e = ButtonCatalogue::EntriesOf(n);
            Record::Build(
                out, ButtonCatalogue::Names[size_t(e[0])], ButtonCatalogue::Names[size_t(e[1])],
                ButtonCatalogue::Names[size_t(e[2])], Record::Placeholder, Record::Placeholder);
        }
        return bytes;
    }

private:
    std::vector<std::array<char, Record::Size>> m_records;
    std::vector<bool> m_found;
};

// A record at its place that reads, followed by another that does (or by
// the file's whole end): no byte inserted or deleted can hide in it.
bool SoundAtItsPlace(QByteArrayView bytes, int number) {
    const qsizetype at = qsizetype(number) * Record::Size;
    const qsizetype next = at + Record::Size;
    return next <= bytes.size() && EntriesAt(bytes, at) &&
           (next + Record::Size <= bytes.size() ? bool(EntriesAt(bytes, next))
                                                : next == WholeSize && bytes.size() == WholeSize);
}

} // namespace

FileDamage::Mend FileDamage::Mended(QByteArrayView bytes) {
    Mend mend;
    Kept kept;
    // First the records at their places, as every lookup reads them; of two
    // records of one combination the first wins, as in a lookup.
    const int whole = int(std::min<qsizetype>(bytes.size() / Record::Size, RecordCount));
    for (int n = 0; n < whole; ++n) {
        if (!SoundAtItsPlace(bytes, n))
            continue;
        const qsizetype at = qsizetype(n) * Record::Size;
        const Entries entries = *EntriesAt(bytes, at);
        const int number = NumberOf(entries);
        if (kept.Has(number))
            continue;
        ++mend.records;
        // Made again from what reads, as the program writes records: socket
        // fields padded with tabs or NUL bytes read as names, and stay out.
        kept.Build(number, entries, Record::ReadField(bytes.data() + at, Record::Field::Info),
                   Record::ReadField(bytes.data() + at, Record::Field::Path));
    }
    // Then every other place where a record starts, for what those hide.
    qsizetype at = 0;
    while (at < bytes.size()) {
        const std::optional<Entries> entries = EntriesAt(bytes, at);
        if (!entries) {
            const qsizetype next = NextStart(bytes, at + 1);
            mend.skipped += next - at;
            at = next;
            continue;
        }
        const qsizetype nominal = at + Record::Size;
        const qsizetype next = nominal == bytes.size() || EntriesAt(bytes, nominal)
                                   ? nominal
                                   : NextStart(bytes, at + 1);
        const QByteArrayView stretch = bytes.sliced(at, next - at);
        const std::optional<Texts> texts = BestTexts(stretch);
        if (const int number = NumberOf(*entries); !kept.Has(number)) {
            ++mend.records;
            ++mend.recovered;
            kept.Build(number, *entries, texts ? texts->info : QByteArrayView(),
                       texts ? texts->path : QByteArrayView());
        }
        if (!texts || !texts->wholeStretch)
            mend.skipped += std::max<qsizetype>(0, stretch.size() - Record::Size);
        at = next;
    }
    mend.bytes = kept.File(&mend.madeNew);
    return mend;
}
