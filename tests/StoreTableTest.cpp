// The combination table against a real file in a temporary home: the default
// file, lookup and assignment by content, and what the observer is told.

#include "store/ButtonCatalogue.h"
#include "store/CombinationRecord.h"
#include "store/CombinationTable.h"
#include "store/TrinodeError.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QStringList>

#include <sys/stat.h>

namespace {

constexpr int RecordSize = CombinationRecord::Size;

ino_t InodeOf(const QString& path) {
    struct stat st {};
    EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    return st.st_ino;
}

QByteArray RecordOf(const QByteArray& s1, const QByteArray& s2, const QByteArray& s3,
                    const QByteArray& info, const QByteArray& path) {
    return char(175) + s1.rightJustified(15) + s2.rightJustified(15) + s3.rightJustified(15) +
           info.rightJustified(30) + path.rightJustified(100);
}

QByteArray RecordAt(const QByteArray& table, int number) {
    return table.mid(qsizetype(number) * RecordSize, RecordSize);
}

void PutRecord(QByteArray& table, int number, const QByteArray& record) {
    table.replace(qsizetype(number) * RecordSize, RecordSize, record);
}

// Everything the observer is told, in order, as text.
class RecordingProgress final : public AssignProgress {
public:
    void Stage(const QString& text) override { events << text; }
    void Position(int position) override { events << QString::number(position); }
    QStringList events;
};

// A home with the default file, a table loaded from it and its bytes.
class StoreTable : public ::testing::Test {
protected:
    void SetUp() override {
        CombinationTable maker(m_home.CombinationFile());
        maker.CreateDefaultFile();
        m_default = ReadAll(m_home.CombinationFile());
    }

    // Replaces the file with bytes and loads a table from it.
    void LoadFrom(const QByteArray& bytes) {
        WriteAll(File(), bytes);
        m_table.LoadFile();
    }

    void Assign(const Combination& combination, const QString& info, const QString& path) {
        NoProgress none;
        m_table.AssignCombination(combination, info, path, none);
    }

    QString File() const { return m_home.CombinationFile(); }

    TemporaryHome m_home;
    QByteArray m_default;
    CombinationTable m_table{m_home.CombinationFile()};
};

} // namespace

TEST_F(StoreTable, DefaultFileIsByteExact) {
    ASSERT_EQ(m_default.size(), 2141392);
    EXPECT_EQ(RecordAt(m_default, 0), '\xaf' + QByteArray(8, ' ') + "Control" + QByteArray(8, ' ') +
                                          "Control" + QByteArray(8, ' ') + "Control" +
                                          QByteArray(29, ' ') + "|" + QByteArray(99, ' ') + "|");
    EXPECT_EQ(RecordAt(m_default, 12166),
              '\xaf' + QByteArray(45, ' ') + QByteArray(29, ' ') + "|" + QByteArray(99, ' ') + "|");
    for (int a = 0; a < 23; ++a)
        for (int b = 0; b < 23; ++b)
            for (int c = 0; c < 23; ++c) {
                const int n = ButtonCatalogue::RecordNumber(a, b, c);
                ASSERT_EQ(RecordAt(m_default, n),
                          RecordOf(ButtonCatalogue::Names[a], ButtonCatalogue::Names[b],
                                   ButtonCatalogue::Names[c], "|", "|"))
                    << "record " << n;
            }
    // The table that made the file holds the same bytes as a table that loads it.
    m_table.LoadFile();
    EXPECT_EQ(m_table.Bytes(), m_default);
}

TEST_F(StoreTable, FreshFileFindsEveryCombinationUnassigned) {
    m_table.LoadFile();
    for (int a = 0; a < 23; ++a)
        for (int b = 0; b < 23; ++b)
            for (int c = 0; c < 23; ++c)
                ASSERT_EQ(m_table.FindCombination({ButtonCatalogue::ButtonName(a),
                                                   ButtonCatalogue::ButtonName(b),
                                                   ButtonCatalogue::ButtonName(c)}),
                          (Binding{"", ""}))
                    << a << ' ' << b << ' ' << c;
}

struct RoundTrip {
    const char* scenario;
    QString info, path;
    QByteArray storedInfo; // the 30 bytes at offset 46
    Binding found;
};

void PrintTo(const RoundTrip& row, std::ostream* os) {
    *os << row.scenario;
}

class AssignRoundTrip : public StoreTable, public ::testing::WithParamInterface<RoundTrip> {};

TEST_P(AssignRoundTrip, StoresTextsUnchangedAndReadsThemTrimmed) {
    const RoundTrip& row = GetParam();
    const Combination target{"Files", "Personal", "Music"};
    m_table.LoadFile();
    Assign(target, row.info, row.path);

    const QByteArray file = ReadAll(File());
    ASSERT_EQ(file, m_table.Bytes());
    const int n = ButtonCatalogue::RecordNumber(2, 7, 5);
    EXPECT_EQ(file.mid(qsizetype(n) * RecordSize + 46, 30), row.storedInfo);
    EXPECT_EQ(m_table.FindCombination(target), row.found);
    // Only that record changed: the same names in another order are a
    // different combination.
    EXPECT_EQ(m_table.FindCombination({"Files", "Music", "Personal"}), (Binding{"", ""}));
    QByteArray expected = m_default;
    PutRecord(expected, n, RecordAt(file, n));
    EXPECT_EQ(file, expected);

    // A table that loads the file afresh reads the same.
    CombinationTable reader(File());
    reader.LoadFile();
    EXPECT_EQ(reader.FindCombination(target), row.found);
}

INSTANTIATE_TEST_SUITE_P(
    StoreTable, AssignRoundTrip,
    ::testing::Values(
        RoundTrip{"Plain",
                  "Media Player",
                  "/usr/bin/player",
                  QByteArray(18, ' ') + "Media Player",
                  {"Media Player", "/usr/bin/player"}},
        RoundTrip{
            "InfoOf30Bytes", QString(30, 'x'), "/p", QByteArray(30, 'x'), {QString(30, 'x'), "/p"}},
        RoundTrip{"InfoOf30BytesEndingInTwoByteCharacter",
                  QString(28, 'x') + QChar(0xe9),
                  "/p",
                  QByteArray(28, 'x') + "\xc3\xa9",
                  {QString(28, 'x') + QChar(0xe9), "/p"}},
        RoundTrip{"PathOf100Bytes",
                  "i",
                  QString(100, 'p'),
                  QByteArray(29, ' ') + "i",
                  {"i", QString(100, 'p')}},
        RoundTrip{"SpacesAroundAreStoredButNotRead",
                  "  Media  ",
                  " /usr/bin/player\t",
                  QByteArray(21, ' ') + "  Media  ",
                  {"Media", "/usr/bin/player"}},
        RoundTrip{"NonAsciiEdgesSurvive",
                  QStringLiteral("\u00e9t\u00e9"),
                  QStringLiteral("/\u00fc"),
                  QByteArray(25, ' ') + "\xc3\xa9t\xc3\xa9",
                  {QStringLiteral("\u00e9t\u00e9"), QStringLiteral("/\u00fc")}},
        RoundTrip{"EmptyTextsStorePlaceholders", "", "", QByteArray(29, ' ') + "|", {"", ""}},
        RoundTrip{"BlankInfoIsNotThePlaceholder", "   ", "", QByteArray(30, ' '), {"", ""}}),
    [](const auto& info) { return std::string(info.param.scenario); });

TEST_F(StoreTable, AssigningBothPlaceholdersMakesACombinationUnassignedAgain) {
    const Combination target{"Files", "", "Personal"};
    m_table.LoadFile();
    Assign(target, "Documents", "/home/user/Documents");
    ASSERT_EQ(m_table.FindCombination(target), (Binding{"Documents", "/home/user/Documents"}));
    Assign(target, "", "");
    EXPECT_EQ(m_table.FindCombination(target), (Binding{"", ""}));
    EXPECT_EQ(ReadAll(File()), m_default);
}

TEST_F(StoreTable, TooLongTextsAreRefusedAndNothingChanges) {
    const struct {
        const char* scenario;
        QString info, path;
        const char* message;
    } rows[] = {
        {"info of 31 bytes", QString(31, 'x'), "/p",
         "The information is too long to be stored: it takes 31 bytes and the file holds at "
         "most 30"},
        {"29 bytes and a two-byte character", QString(29, 'x') + QChar(0xe9), "/p",
         "The information is too long to be stored: it takes 31 bytes and the file holds at "
         "most 30"},
        {"path of 101 bytes", "i", QString(101, 'p'),
         "The path is too long to be stored: it takes 101 bytes and the file holds at most 100"},
        {"path of 99 bytes and a two-byte character", "i", QString(99, 'p') + QChar(0xfc),
         "The path is too long to be stored: it takes 101 bytes and the file holds at most 100"},
    };
    m_table.LoadFile();
    Assign({"Files", "", "Personal"}, "Documents", "/docs");
    const QByteArray before = ReadAll(File());
    const ino_t inode = InodeOf(File());
    for (const auto& row : rows) {
        RecordingProgress progress;
        try {
            m_table.AssignCombination({"Files", "", "Personal"}, row.info, row.path, progress);
            ADD_FAILURE() << row.scenario << ": accepted";
        } catch (const FileError& e) {
            ADD_FAILURE() << row.scenario << ": " << e.what();
        } catch (const TrinodeError& e) {
            EXPECT_EQ(e.Message(), QString::fromLatin1(row.message)) << row.scenario;
        }
        EXPECT_EQ(progress.events, QStringList()) << row.scenario;
        EXPECT_EQ(m_table.Bytes(), before) << row.scenario;
        EXPECT_EQ(ReadAll(File()), before) << row.scenario;
        EXPECT_EQ(InodeOf(File()), inode) << row.scenario;
    }
    EXPECT_EQ(m_table.FindCombination({"Files", "", "Personal"}), (Binding{"Documents", "/docs"}));
}

TEST_F(StoreTable, MovedAndDuplicatedRecordsAreFoundByContent) {
    const Combination files{"Files", "", "Personal"};
    const int filesNumber = ButtonCatalogue::RecordNumber(2, 22, 7);
    const int copyNumber = ButtonCatalogue::RecordNumber(9, 10, 9); // Settings, System, Settings
    QByteArray bytes = m_default;
    // Swapped with record 0 and edited by hand, left-justified.
    PutRecord(bytes, 0,
              char(175) + QByteArray("Files").leftJustified(15) + QByteArray(15, ' ') +
                  QByteArray("Personal").leftJustified(15) + QByteArray("Moved").leftJustified(30) +
                  QByteArray("/moved").leftJustified(100));
    PutRecord(bytes, filesNumber, RecordAt(m_default, 0));
    // A second record of the same combination, further on.
    PutRecord(bytes, copyNumber, RecordOf("Files", "", "Personal", "Copy", "/copy"));
    LoadFrom(bytes);

    EXPECT_EQ(m_table.FindCombination(files), (Binding{"Moved", "/moved"}));
    EXPECT_EQ(m_table.FindCombination({"Control", "Control", "Control"}), (Binding{"", ""}));
    EXPECT_EQ(m_table.FindCombination({"Settings", "System", "Settings"}),
              (Binding{"Not found!", ""}));

    Assign(files, "Both", "/both");
    QByteArray expected = bytes;
    PutRecord(expected, 0, RecordOf("Files", "", "Personal", "Both", "/both"));
    PutRecord(expected, copyNumber, RecordOf("Files", "", "Personal", "Both", "/both"));
    EXPECT_EQ(m_table.Bytes(), expected);
    EXPECT_EQ(ReadAll(File()), expected);
    EXPECT_EQ(m_table.FindCombination(files), (Binding{"Both", "/both"}));
}

TEST_F(StoreTable, ARecordOfLengthZeroIsTheAllEmptyCombination) {
    QByteArray bytes = m_default;
    bytes[0] = '\0';
    PutRecord(bytes, 12166, RecordOf("", "", "", "Last", "/last"));
    LoadFrom(bytes);
    // Record 0 now names (empty, empty, empty) with nothing bound, and comes first.
    EXPECT_EQ(m_table.FindCombination({"", "", ""}), (Binding{"", ""}));
    EXPECT_EQ(m_table.FindCombination({"Control", "Control", "Control"}),
              (Binding{"Not found!", ""}));

    Assign({"", "", ""}, "Empty", "/e");
    QByteArray expected = bytes;
    PutRecord(expected, 0, RecordOf("", "", "", "Empty", "/e"));
    PutRecord(expected, 12166, RecordOf("", "", "", "Empty", "/e"));
    EXPECT_EQ(ReadAll(File()), expected);
}

TEST_F(StoreTable, CombinationWithoutARecordIsNotFoundButAssigningItRewritesTheFile) {
    QByteArray bytes = m_default;
    PutRecord(bytes, ButtonCatalogue::RecordNumber(9, 10, 9),
              RecordOf("Files", "", "Personal", "|", "|"));
    LoadFrom(bytes);
    const struct {
        const char* scenario;
        Combination combination;
    } rows[] = {
        {"record edited away", {"Settings", "System", "Settings"}},
        {"not a button", {"Nobody", "", ""}},
        {"other case", {"files", "", "Personal"}},
        {"wider than a socket field", {"ApplicationsApplications", "", ""}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(m_table.FindCombination(row.combination), (Binding{"Not found!", ""}))
            << row.scenario;
        const ino_t before = InodeOf(File());
        Assign(row.combination, "Info", "/path");
        EXPECT_NE(InodeOf(File()), before) << row.scenario << ": file not rewritten";
        EXPECT_EQ(ReadAll(File()), bytes) << row.scenario;
        EXPECT_EQ(m_table.Bytes(), bytes) << row.scenario;
    }
}

TEST_F(StoreTable, ObserverHearsEveryStageAndPositionInOrder) {
    QStringList expected{"Processing...", "0"};
    for (int position = 1; position <= 811; ++position)
        expected << QString::number(position);
    expected << "Saving File..."
             << "Finalizing...";

    m_table.LoadFile();
    for (const Combination& combination :
         {Combination{"Files", "", "Personal"}, Combination{"Nobody", "", ""}}) {
        RecordingProgress progress;
        m_table.AssignCombination(combination, "Info", "/path", progress);
        EXPECT_EQ(progress.events, expected) << combination[0].toStdString();
    }
}

namespace {

struct PrefetchCase {
    const char* scenario;
    enum class File { Assigned, Short, Missing } file;
    bool createInstead; // the start finds no file and creates it
    int errorCode;      // of LoadFile; 0 for none
};

void PrintTo(const PrefetchCase& row, std::ostream* out) {
    *out << row.scenario;
}

class PrefetchedLoad : public StoreTable, public ::testing::WithParamInterface<PrefetchCase> {};

} // namespace

TEST_P(PrefetchedLoad, GivesWhatAPlainLoadGives) {
    const PrefetchCase& row = GetParam();
    QByteArray onDisk = m_default;
    PutRecord(onDisk, 7, RecordOf("Files", "", "", "Prefetched", "/tmp"));
    switch (row.file) {
    case PrefetchCase::File::Assigned:
        WriteAll(File(), onDisk);
        break;
    case PrefetchCase::File::Short:
        onDisk.truncate(1000);
        WriteAll(File(), onDisk);
        break;
    case PrefetchCase::File::Missing:
        ASSERT_TRUE(QFile::remove(File()));
        break;
    }
    m_table.PrefetchFile();
    if (row.createInstead) {
        m_table.CreateDefaultFile();
        EXPECT_EQ(ReadAll(File()), m_default);
        // The prefetch that found nothing is not taken for the file later.
        EXPECT_NO_THROW(m_table.LoadFile());
        EXPECT_EQ(m_table.Bytes(), m_default);
        return;
    }
    try {
        m_table.LoadFile();
        EXPECT_EQ(row.errorCode, 0);
    } catch (const FileError& error) {
        EXPECT_EQ(error.Code(), row.errorCode) << error.what();
    }
    if (row.file != PrefetchCase::File::Missing) {
        EXPECT_EQ(m_table.Bytes().first(onDisk.size()), onDisk);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PrefetchedLoad,
    ::testing::Values(
        PrefetchCase{"WholeFile", PrefetchCase::File::Assigned, false, 0},
        PrefetchCase{"ShortFile", PrefetchCase::File::Short, false, FileError::ReadBeyondEnd},
        PrefetchCase{"NoFile", PrefetchCase::File::Missing, false, FileError::FileNotFound},
        PrefetchCase{"NoFileThenCreated", PrefetchCase::File::Missing, true, 0}),
    [](const auto& info) { return std::string(info.param.scenario); });

TEST_F(StoreTable, APrefetchIsTakenOnceAndLaterLoadsReadTheFileAgain) {
    m_table.PrefetchFile();
    m_table.LoadFile();
    EXPECT_EQ(m_table.Bytes(), m_default);
    QByteArray edited = m_default;
    PutRecord(edited, 3, RecordOf("Control", "", "", "Edited", "/bin"));
    WriteAll(File(), edited);
    m_table.LoadFile();
    EXPECT_EQ(m_table.Bytes(), edited);
    EXPECT_EQ(m_table.FindCombination({"Control", "", ""}).info, "Edited");
}
