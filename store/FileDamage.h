#pragma once

// What a combination file holds that the reading of its records at their
// fixed places cannot cover, and the whole file that keeps everything that
// does read.
//
// The file is one people edit by hand, so a damaged file is ordinary input.
// The reading stays as it always was, record by record at its place; what
// it cannot see is told here: a file of the wrong size (cut by a full disk
// or a killed editor, or with bytes past its end), records out of place (a
// byte typed into or deleted from a record shifts every record after it, so
// that they no longer start with a length byte and three button names, and
// a record of NUL bytes starts with neither), records whose length byte
// hides their end, and combinations that no record holds (a record copied
// over another, which lookups allow: the first of two copies wins).
//
// Mending keeps every record that reads wherever it now starts: after a
// stretch that does not read, the next place where a record starts is
// looked for, and the record that took an inserted or lost a deleted byte is
// read by its fields, which are right-justified. Of each combination the
// first record wins, as in a lookup; a combination without a record gets a
// new file's record. The result is a whole file in the usual order, so that
// every combination reads as it did, or better.

#include "store/ButtonCatalogue.h"
#include "store/Combination.h"
#include "store/CombinationRecord.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <optional>

class FileDamage final {
public:
    // The file's first bytes (its first records, as many as there are) and
    // the whole file's size.
    static FileDamage Of(QByteArrayView bytes, qsizetype fileSize);

    // A wrong size, records out of place, or length bytes that hide a
    // record's end: what a load says and any save mends.
    bool IsDamaged() const;
    // Combinations that no record holds, in a file that is otherwise whole
    // (a record copied over another): they read as "Not found!", and a save
    // that binds one mends the file first.
    bool LacksRecords() const { return m_missing > 0; }
    // One sentence, for a load: the first thing wrong, where it is.
    QString Summary() const;
    // Everything wrong, a line each, for trinode --check.
    QStringList Details() const;

    // What mending did, in words and numbers.
    struct Mend {
        QByteArray bytes;      // the whole mended file
        int records = 0;       // combinations whose record was found and kept
        int recovered = 0;     // of them, records found out of their place
        int madeNew = 0;       // combinations without a record, now unbound
        qsizetype skipped = 0; // bytes that belong to no record
    };
    // The mended file of a file's bytes, as many as were read of it.
    static Mend Mended(QByteArrayView bytes);
    // What a save says of the file it mended, and of the copy it kept.
    QString MendedNotice(const QString& file, const Mend& mend, const QString& kept) const;

private:
    qsizetype m_size = qsizetype(ButtonCatalogue::RecordCount) * CombinationRecord::Size;
    int m_outOfPlace = 0;
    std::optional<int> m_firstOutOfPlace;
    int m_shortLength = 0;
    std::optional<int> m_firstShortLength;
    int m_firstShortLengthByte = 0;
    int m_missing = 0;
    std::optional<Combination> m_firstMissing;
};
