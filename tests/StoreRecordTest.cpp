// The catalogue and one record at a time: padding, trimming, the length byte
// and record building, with no file involved.

#include "store/ButtonCatalogue.h"
#include "store/CombinationRecord.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>

namespace Record = CombinationRecord;
using Record::Field;

TEST(ButtonCatalogue, IndexOfNameIsExactAndCaseSensitive) {
    const struct {
        const char* name;
        std::optional<int> index;
    } rows[] = {
        {"Control", 0},
        {"Help", 3},
        {"Applications", 12},
        {"Projects", 21},
        {"", 22},
        {"help", std::nullopt},
        {"HELP", std::nullopt},
        {" Help", std::nullopt},
        {"Help ", std::nullopt},
        {"Unknown", std::nullopt},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ButtonCatalogue::ButtonIndex(QString::fromLatin1(row.name)), row.index)
            << '"' << row.name << '"';
    // No name appears twice, or the second could never be found.
    for (int i = 0; i < ButtonCatalogue::EntryCount; ++i)
        EXPECT_EQ(ButtonCatalogue::ButtonIndex(ButtonCatalogue::ButtonName(i)), i);
}

TEST(ButtonCatalogue, RecordNumbers) {
    const struct {
        int a, b, c, number;
    } rows[] = {
        {0, 0, 0, 0},        {0, 0, 1, 1},        {0, 1, 0, 23},
        {1, 0, 0, 529},      {2, 22, 7, 1571}, // Files, empty, Personal
        {21, 21, 21, 11613}, {22, 22, 22, 12166},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ButtonCatalogue::RecordNumber(row.a, row.b, row.c), row.number);
}

TEST(CombinationRecord, TrimRemovesOnlyBytesUpTo32) {
    const struct {
        const char* scenario;
        QByteArray text;
        QByteArray trimmed;
    } rows[] = {
        {"spaces", "  a b  ", "a b"},
        {"control characters", "\t\x01\r\nx\x1f\x0b", "x"},
        {"nul bytes", QByteArray("\0x\0", 3), "x"},
        {"only blanks", " \t\x01 ", ""},
        {"empty", "", ""},
        {"DEL is not blank", "\x7f x \x7f", "\x7f x \x7f"},
        {"bytes from 0x80 are not blank", "\x80\xa0x\xa0\xff", "\x80\xa0x\xa0\xff"},
        {"UTF-8 at the edges", " \xc3\xa9t\xc3\xa9 ", "\xc3\xa9t\xc3\xa9"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Record::Trim(row.text).toByteArray(), row.trimmed) << row.scenario;
}

TEST(CombinationRecord, BuildLaysOutFieldsRightJustified) {
    char out[Record::Size];
    const QByteArray info30(30, 'i');
    const QByteArray path100 = QByteArray(99, 'p') + 'P';
    Record::Build(out, "Files", "", "Personal", info30, path100);
    EXPECT_EQ(QByteArray(out, Record::Size),
              SpelledRecord("Files", "", "Personal", info30, path100));
    // A full information field starts at its first byte: no leading space.
    EXPECT_EQ(out[46], 'i');
    EXPECT_EQ(out[175], 'P');

    Record::Build(out, "", "", "", "|", "|");
    EXPECT_EQ(QByteArray(out, Record::Size), SpelledRecord("", "", "", "|", "|"));
}

constexpr const char* kInfo = "Media Player for every weekend";

struct LengthRow {
    const char* scenario;
    int length;
    const char* fields[5];
};

void PrintTo(const LengthRow& row, std::ostream* os) {
    *os << row.scenario;
}

class FieldsByLengthByte : public ::testing::TestWithParam<LengthRow> {};

// The record of (Files, Display, Personal) bound to a 30-byte information
// text and "/usr/bin/player", read with a hand-edited length byte.
TEST_P(FieldsByLengthByte, ReadsOnlyTheBytesTheLengthCovers) {
    const LengthRow& row = GetParam();
    QByteArray record = SpelledRecord("Files", "Display", "Personal", kInfo, "/usr/bin/player");
    record[0] = char(row.length);
    const Field fields[] = {Field::Socket1, Field::Socket2, Field::Socket3, Field::Info,
                            Field::Path};
    EXPECT_EQ(Record::LengthOf(record.constData()), std::min(row.length, 175));
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(Record::ReadField(record.constData(), fields[i]).toByteArray(),
                  QByteArray(row.fields[i]))
            << "field " << i;
}

INSTANTIATE_TEST_SUITE_P(
    CombinationRecord, FieldsByLengthByte,
    ::testing::Values(
        LengthRow{"Full", 175, {"Files", "Display", "Personal", kInfo, "/usr/bin/player"}},
        LengthRow{"Above175", 176, {"Files", "Display", "Personal", kInfo, "/usr/bin/player"}},
        LengthRow{"Max", 255, {"Files", "Display", "Personal", kInfo, "/usr/bin/player"}},
        // Information from offset 46 to 60 only, and no path.
        LengthRow{"Sixty", 60, {"Files", "Display", "Personal", "Media Player fo", ""}},
        LengthRow{"EndsInsideSocket2", 27, {"Files", "Disp", "", "", ""}},
        LengthRow{"EndsAtSocket1", 15, {"Files", "", "", "", ""}},
        LengthRow{"EndsBeforeSocket1Text", 10, {"", "", "", "", ""}},
        LengthRow{"Zero", 0, {"", "", "", "", ""}},
        LengthRow{"PathCutShort", 174, {"Files", "Display", "Personal", kInfo, "/usr/bin/playe"}}),
    [](const auto& info) { return std::string(info.param.scenario); });

TEST(CombinationRecord, KeyComparesTrimmedSocketValues) {
    char wanted[Record::KeySize];
    ASSERT_TRUE(Record::KeyOf({" Files\t", "", "Personal"}, wanted));

    const struct {
        const char* scenario;
        QByteArray sockets; // the 45 bytes at offset 1
        bool matches;
    } rows[] = {
        {"right-justified", SpelledRecord("Files", "", "Personal", "|", "|").mid(1, 45), true},
        {"left-justified",
         QByteArray("Files").leftJustified(15) + QByteArray(15, ' ') +
             QByteArray("Personal").leftJustified(15),
         true},
        {"tabs and nul",
         QByteArray("\tFiles\0\0\0\0\0\0\0\0\0", 15) + QByteArray(15, '\0') +
             QByteArray("   Personal    "),
         true},
        {"other case", SpelledRecord("files", "", "Personal", "|", "|").mid(1, 45), false},
        {"value moved to socket 2", SpelledRecord("", "Files", "Personal", "|", "|").mid(1, 45),
         false},
    };
    for (const auto& row : rows) {
        const QByteArray record = char(175) + row.sockets + QByteArray(130, ' ');
        char key[Record::KeySize];
        Record::NormalisedKey(record.constData(), key);
        EXPECT_EQ(std::memcmp(key, wanted, Record::KeySize) == 0, row.matches) << row.scenario;
    }

    // A value wider than a socket field can be in no record.
    EXPECT_FALSE(Record::KeyOf({"ApplicationsApplications", "", ""}, wanted));
}
