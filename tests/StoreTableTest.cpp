// The combination table against a real file in a temporary home: what the
// observer is told, and combinations that have no record.
// The file's bytes under assignments, hand edits and odd records are checked
// against a model of the format by the store's fuzz target, whose seed corpus
// the test command replays.

#include "store/ButtonCatalogue.h"
#include "store/CombinationRecord.h"
#include "store/CombinationTable.h"
#include "store/TrinodeError.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStringList>

#include <sys/stat.h>

namespace {

constexpr int RecordSize = CombinationRecord::Size;

void PutRecord(QByteArray& table, int number, const QByteArray& record) {
    table.replace(qsizetype(number) * RecordSize, RecordSize, record);
}

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

// A combination of buttons whose record was edited away is found nowhere,
// and binding it mends the file first (keeping it beside it); a combination
// of other values has no record to take its binding, and nothing is written.
TEST_F(StoreTable, ACombinationWithoutARecordIsMendedInOrRefused) {
    QByteArray bytes = m_default;
    PutRecord(bytes, ButtonCatalogue::RecordNumber(9, 10, 9),
              SpelledRecord("Files", "", "Personal", "|", "|"));
    const struct {
        const char* scenario;
        Combination combination;
        bool bound;
    } rows[] = {
        {"not a button", {"Nobody", "", ""}, false},
        {"other case", {"files", "", "Personal"}, false},
        {"wider than a socket field", {"ApplicationsApplications", "", ""}, false},
        {"record edited away", {"Settings", "System", "Settings"}, true},
    };
    for (const auto& row : rows) {
        LoadFrom(bytes);
        EXPECT_EQ(m_table.FindCombination(row.combination), (Binding{"Not found!", ""}))
            << row.scenario;
        const ino_t before = StatOf(File()).st_ino;
        try {
            Assign(row.combination, "Info", "/path");
            EXPECT_TRUE(row.bound) << row.scenario << ": bound";
        } catch (const TrinodeError& e) {
            EXPECT_FALSE(row.bound) << row.scenario << ": " << e.what();
            EXPECT_TRUE(e.Message().endsWith("names no button; nothing was written")) << e.what();
        }
        EXPECT_EQ(StatOf(File()).st_ino != before, row.bound) << row.scenario;
        const Binding expected = row.bound ? Binding{"Info", "/path"} : Binding{"Not found!", ""};
        EXPECT_EQ(m_table.FindCombination(row.combination), expected) << row.scenario;
        EXPECT_EQ(ReadAll(File()).size(), CombinationTable::FileSize) << row.scenario;
    }
    EXPECT_EQ(QDir(m_home.Path()).entryList({"TrinodeRun.cmb.damaged-*"}).size(), 1);
}

// A record is matched by its content from record 0 on: a hand-edited record 0
// is the first match, and every one of two adjacent records of one
// combination is rebuilt.
TEST_F(StoreTable, RecordsAreMatchedByContentFromTheFirstOn) {
    const Combination files{"Files", "", "Personal"};
    const int own = *ButtonCatalogue::RecordNumber(files);
    const struct {
        const char* scenario;
        int copy;      // a record edited to hold files, bound to "Copy"
        QString found; // what a lookup finds
    } rows[] = {
        {"a copy at record 0", 0, "Copy"},
        {"a copy right after the combination's own", own + 1, ""},
    };
    for (const auto& row : rows) {
        QByteArray bytes = m_default;
        PutRecord(bytes, row.copy, SpelledRecord("Files", "", "Personal", "Copy", "/copy"));
        LoadFrom(bytes);
        EXPECT_EQ(m_table.FindCombination(files).info, row.found) << row.scenario;
        Assign(files, "New", "/new");
        for (const int n : {row.copy, own})
            PutRecord(bytes, n, SpelledRecord("Files", "", "Personal", "New", "/new"));
        EXPECT_TRUE(ReadAll(File()) == bytes) << row.scenario << ": not every copy rebuilt";
    }
}

// A hand-edited length byte that ends inside the socket fields cuts the
// combination the record holds: it no longer holds its place's.
TEST_F(StoreTable, ALengthByteCutsTheCombinationItEndsIn) {
    const Combination files{"Files", "", "Personal"};
    for (const auto& [length, found] : {std::pair{20, CombinationTable::NotFoundText},
                                        {44, CombinationTable::NotFoundText},
                                        {175, "Cut"}}) {
        QByteArray record = SpelledRecord("Files", "", "Personal", "Cut", "/cut");
        record[0] = char(length);
        QByteArray bytes = m_default;
        PutRecord(bytes, *ButtonCatalogue::RecordNumber(files), record);
        try {
            LoadFrom(bytes);
        } catch (const TrinodeError&) {
            // a short length byte is damage, and the table holds what reads
        }
        EXPECT_EQ(m_table.FindCombination(files).info, found) << length;
    }
}

TEST_F(StoreTable, ObserverHearsEveryStageAndPositionInOrder) {
    QStringList saved{"Processing...", "0"};
    for (int position = 1; position <= 811; ++position)
        saved << QString::number(position);
    saved << "Saving File..."
          << "Finalizing...";

    m_table.LoadFile();
    const struct {
        const char* scenario;
        Combination combination;
        QString info;
        QStringList events;
        QString path = "/path";
    } rows[] = {
        {"assigned", {"Files", "", "Personal"}, "Info", saved},
        // Refused before anything is read or written: the file stays as it is.
        {"no record", {"Nobody", "", ""}, "Info", {}},
        {"too long", {"Files", "", "Personal"}, QString(29, 'x') + QChar(0xe9), {}},
        {"a path holding a NUL byte",
         {"Files", "", "Personal"},
         "Info",
         {},
         QString("/usr/bin/player") + QChar(0) + ".txt"},
    };
    for (const auto& row : rows) {
        RecordingProgress progress;
        const ino_t inode = StatOf(File()).st_ino;
        try {
            m_table.AssignCombination(row.combination, row.info, row.path, progress);
        } catch (const TrinodeError& e) {
            EXPECT_TRUE(row.events.isEmpty()) << row.scenario << ": " << e.what();
        }
        EXPECT_EQ(progress.events, row.events) << row.scenario;
        EXPECT_EQ(StatOf(File()).st_ino == inode, row.events.isEmpty()) << row.scenario;
    }
}
