// One combination file in the hands of several processes and users: two
// Trinodes saving through two paths to it at once, the in-place save where
// the folder refuses new files (a user's file in a folder only root may
// write), a save killed inside it, and a save made as root in a user's file.
// Tests that need another user run as root and reach an unused uid through
// setpriv; without root they skip, saying so.

#include "store/ButtonCatalogue.h"
#include "store/CombinationRecord.h"
#include "store/CombinationTable.h"
#include "store/TrinodeError.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>
#include <tuple>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qsizetype FileSize = CombinationTable::FileSize;
constexpr int RecordSize = CombinationRecord::Size;

const Combination Files{"Files", "", "Personal"};
const Combination Music{"Files", "Personal", "Music"};

QStringList EntriesOf(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

// One trinode_store_child assigning info and /usr/bin/<info in lower case>.
class Child final : public LineChild {
public:
    Child(const QString& file, const Combination& c, const QString& info,
          const QStringList& options, uid_t asUser = 0)
        : LineChild(QStringLiteral(TRINODE_STORE_CHILD),
                    QStringList{file, c[0], c[1], c[2], info, "/usr/bin/" + info.toLower()} +
                        options,
                    asUser) {}
};

QByteArray InfoOf(const QByteArray& file, int record) {
    return CombinationRecord::Trim(
               QByteArrayView(file).sliced(qsizetype(record) * RecordSize + 46, 30))
        .toByteArray();
}

class SharedFile : public ::testing::Test {
protected:
    void SetUp() override {
        CombinationTable(File()).CreateDefaultFile();
        ASSERT_TRUE(QDir(m_home.Path()).mkdir("other"));
        // The same file through a link in another folder, and through a
        // linked folder.
        ASSERT_TRUE(QFile::link("../TrinodeRun.cmb", m_home.FilePath("other/TrinodeRun.cmb")));
        ASSERT_TRUE(QFile::link(m_home.Path(), m_home.FilePath("linked")));
    }
    QString File() const { return m_home.CombinationFile(); }

    TemporaryHome m_home;
};

} // namespace

// The first writer stops while it holds the file, after it has read it, and
// a hand edit renames a new file over the name meanwhile; the second writer,
// started through another path, must wait for the first, which saves on top
// of the edit, and then save on top of its result.
class WaitingWriter : public SharedFile, public ::testing::WithParamInterface<const char*> {};

TEST_P(WaitingWriter, SavesOnTopOfTheFirstWritersResult) {
    const Combination empty{"", "", ""};
    for (const QString& secondPath :
         {m_home.FilePath("other/TrinodeRun.cmb"), m_home.FilePath("linked/TrinodeRun.cmb")}) {
        CombinationTable(File()).CreateDefaultFile();
        Child first(File(), Music, "First", {"--stop-at", GetParam()});
        ASSERT_TRUE(first.WaitFor(GetParam()));
        QByteArray edited = ReadAll(File());
        edited.replace(edited.size() - RecordSize, RecordSize,
                       SpelledRecord("", "", "", "Edited", "/edited"));
        WriteAll(m_home.FilePath("edited"), edited);
        ASSERT_EQ(::rename(QFile::encodeName(m_home.FilePath("edited")).constData(),
                           QFile::encodeName(File()).constData()),
                  0);
        Child second(secondPath, Files, "Second", {"--no-load"});
        ASSERT_TRUE(second.WaitFor("Processing..."));
        first.Continue();
        const QStringList firstLines = first.Finish();
        const QStringList secondLines = second.Finish();
        EXPECT_TRUE(firstLines.contains("Done")) << firstLines.join(' ').toStdString();
        EXPECT_TRUE(secondLines.contains("Done")) << secondLines.join(' ').toStdString();

        CombinationTable table(File());
        table.LoadFile();
        EXPECT_EQ(table.FindCombination(Music), (Binding{"First", "/usr/bin/first"}));
        EXPECT_EQ(table.FindCombination(Files), (Binding{"Second", "/usr/bin/second"}));
        EXPECT_EQ(table.FindCombination(empty), (Binding{"Edited", "/edited"}));
        EXPECT_EQ(EntriesOf(m_home.Path()),
                  (QStringList{".TrinodeRun.cmb.lock", "linked", "other", "TrinodeRun.cmb"}));
        EXPECT_EQ(StatOf(m_home.FilePath("other/TrinodeRun.cmb")).st_mode & S_IFMT, S_IFLNK);
    }
}

INSTANTIATE_TEST_SUITE_P(SharedFile, WaitingWriter,
                         ::testing::Values("0", "Saving File...", "Finalizing..."),
                         [](const auto& info) {
                             return std::string(info.param == std::string("0") ? "Loaded"
                                                : info.param[0] == 'S'         ? "Saving"
                                                                               : "Finalizing");
                         });

TEST_F(SharedFile, TwoWritersInLoopsLoseNothingAndNoReaderSeesAPartFile) {
    const int count = 25;
    Child one(File(), Music, "One", {"--records", "1000", QString::number(count)});
    Child two(m_home.FilePath("linked/TrinodeRun.cmb"), Music, "Two",
              {"--records", "5000", QString::number(count)});
    int reads = 0;
    int partReads = 0;
    while (one.Running() || two.Running()) {
        QFile file(File());
        if (!file.open(QIODevice::ReadOnly) || file.readAll().size() != FileSize)
            ++partReads;
        ++reads;
    }
    EXPECT_EQ(partReads, 0) << "of " << reads << " reads";
    const QByteArray file = ReadAll(File());
    ASSERT_EQ(file.size(), FileSize);
    int saved = 0;
    for (const auto& [lines, first, info] :
         {std::tuple{one.Finish(), 1000, QByteArray("One")}, {two.Finish(), 5000, "Two"}}) {
        EXPECT_EQ(lines.last(), "Done") << lines.join(' ').toStdString();
        for (int n = first; n < first + count; ++n) {
            if (!lines.contains(QStringLiteral("Saved %1").arg(n)))
                continue;
            ++saved;
            EXPECT_EQ(InfoOf(file, n), info + QByteArray::number(n)) << "record " << n;
        }
    }
    EXPECT_EQ(saved, 2 * count);
    EXPECT_EQ(EntriesOf(m_home.Path()),
              (QStringList{".TrinodeRun.cmb.lock", "linked", "other", "TrinodeRun.cmb"}));
}

// Whoever holds the file, nothing waits for long: another user's lock (taken
// by the real flock, on the file or on a lock file that others can open)
// holds up nothing, and a stopped save of this user
// holds up a save and a load for a bounded time only, the save failing with
// a message and writing nothing.
TEST_F(SharedFile, NoHolderKeepsASaveOrALoadWaiting) {
    const uid_t other = ::geteuid() == 0 ? UnusedId() : 0;
    if (other == 0)
        std::fprintf(stderr, "not root: the rows of another user's locks are skipped\n");
    const QString held = "FileError 5 File access denied: another program holds " +
                         QFileInfo(File()).canonicalFilePath() +
                         " and did not let go within 3 seconds; nothing was written";
    const QStringList holdsOn{"sh", "-c", "echo held; exec cat"};
    const struct {
        const char* scenario;
        QString program;
        QStringList arguments;
        uid_t user;
        const char* holding; // the holder's line once it holds the lock
        QString outcome;     // the saver's line before its last
        mode_t lockMode = 0; // a lock file made beforehand, with this mode
    } rows[] = {
        {"another user's exclusive lock", "flock", QStringList{"-x", File()} + holdsOn, other,
         "held", "Done"},
        {"another user's shared lock", "flock", QStringList{"-s", File()} + holdsOn, other, "held",
         "Done"},
        {"another user's lock on a lock file readable to all", "flock",
         QStringList{"-x", m_home.FilePath(".TrinodeRun.cmb.lock")} + holdsOn, other, "held",
         "Done", 0644},
        {"a stopped save of this user",
         TRINODE_STORE_CHILD,
         {File(), "Files", "Personal", "Music", "First", "/first", "--stop-at", "Saving File..."},
         0,
         "Saving File...",
         held},
    };
    // Readable to others, as files were made before they were made private.
    ASSERT_EQ(::chmod(QFile::encodeName(m_home.Path()).constData(), 0755), 0);
    for (const auto& row : rows) {
        if (row.program == "flock" && other == 0)
            continue;
        CombinationTable(File()).CreateDefaultFile();
        ASSERT_EQ(::chmod(QFile::encodeName(File()).constData(), 0644), 0);
        const QByteArray lock = QFile::encodeName(m_home.FilePath(".TrinodeRun.cmb.lock"));
        ::unlink(lock.constData());
        if (row.lockMode != 0) {
            WriteAll(QString::fromLocal8Bit(lock), {});
            ASSERT_EQ(::chmod(lock.constData(), row.lockMode), 0);
        }
        const QByteArray before = ReadAll(File());
        LineChild holder(row.program, row.arguments, row.user);
        ASSERT_TRUE(holder.WaitFor(row.holding)) << row.scenario;
        const QStringList lines = Child(File(), Files, "Second", {}).Finish();
        ASSERT_GE(lines.size(), 2) << row.scenario;
        EXPECT_EQ(lines.at(lines.size() - 2), row.outcome) << row.scenario;
        EXPECT_EQ(lines.last(), "Table equals file") << row.scenario << ": not loaded";
        // Only this user's save is one that a load waits for.
        EXPECT_EQ(lines.first() == "Waiting to read", row.user == 0) << row.scenario;
        EXPECT_TRUE(row.outcome == "Done" || ReadAll(File()) == before) << row.scenario;
        // Once the holder has ended, the next save saves.
        holder.Kill();
        EXPECT_TRUE(Child(File(), Files, "Third", {}).Finish().contains("Done")) << row.scenario;
    }
}

// --- Another user --------------------------------------------------------

namespace {

// A user's file in a folder that only root may write: as that user, a save
// has to write the file in place.
class UsersFile : public ::testing::Test {
protected:
    void SetUp() override {
        if (::geteuid() != 0)
            GTEST_SKIP() << "needs root, to run the save as an unused uid that cannot create files "
                            "in the file's folder";
        m_user = UnusedId();
        ASSERT_NE(m_user, 0u) << "no unused uid";
        // The user may pass through the folder but not create anything in it.
        ASSERT_EQ(::chmod(QFile::encodeName(m_home.Path()).constData(), 0755), 0);
        CombinationTable maker(File());
        maker.CreateDefaultFile();
        NoProgress none;
        maker.AssignCombination(Files, "Documents", "/docs", none);
        m_old = ReadAll(File());
        Own(0644);
    }
    void Own(mode_t mode) {
        const QByteArray name = QFile::encodeName(File());
        ASSERT_EQ(::chown(name.constData(), m_user, m_user), 0);
        ASSERT_EQ(::chmod(name.constData(), mode), 0);
    }
    QString File() const { return m_home.CombinationFile(); }

    TemporaryHome m_home;
    uid_t m_user = 0;
    QByteArray m_old;
};

// The table with every record of Music bound to Player.
QByteArray WithMusic(QByteArray table) {
    const QByteArray key = SpelledRecord("Files", "Personal", "Music", "|", "|").mid(1, 45);
    for (qsizetype at = 0; at + RecordSize <= table.size(); at += RecordSize) {
        if (table.mid(at + 1, 45) == key)
            table.replace(at, RecordSize,
                          SpelledRecord("Files", "Personal", "Music", "Player", "/usr/bin/player"));
    }
    return table;
}

} // namespace

TEST_F(UsersFile, SavedInPlaceOnlyWhereItChangesAndNeverShortened) {
    enum class Expect { Old, New, OldOrNew };
    const QByteArray shortFile = m_old.left(FileSize - 1000);
    // Copies of Music whose new bytes run from the last byte of the first
    // 64 KiB to the first of the next (record 372's information), and up to
    // the file's last byte.
    QByteArray copies = m_old;
    copies.replace(372 * RecordSize, RecordSize,
                   SpelledRecord("Files", "Personal", "Music", QByteArray(30, 'x'), "|"));
    copies.replace(FileSize - RecordSize, RecordSize,
                   SpelledRecord("Files", "Personal", "Music", "|", "|"));
    // The binding SetUp made, edited by hand.
    const QByteArray documents = SpelledRecord("Files", "", "Personal", "Documents", "/docs");
    QByteArray edited = m_old;
    edited.replace(m_old.indexOf(documents), RecordSize,
                   SpelledRecord("Files", "", "Personal", "Edited", "/edited"));
    const char* const notMended = "FileError 5 File access denied: ";
    const struct {
        const char* scenario;
        QByteArray before; // the file as the user has it
        QStringList options;
        const char* killAt; // killed when the child prints it
        Expect expect;
        const char* outcome; // the child's line before its last, when it ends
        bool edit = false;   // the file is edited in place while the child is stopped
    } rows[] = {
        {"an edit before the write",
         m_old,
         {"--stop-at", "Finalizing..."},
         nullptr,
         Expect::New,
         "Done",
         true},
        {"a whole file", m_old, {}, nullptr, Expect::New, "Done"},
        // A damaged file is mended only beside a copy of it, which a folder
        // that takes no new file cannot hold.
        {"bytes after the last record", m_old + "tail", {}, nullptr, Expect::Old, notMended},
        {"a short file", shortFile, {}, nullptr, Expect::Old, notMended},
        {"copies at a 64 KiB boundary and at the end", copies, {}, nullptr, Expect::New, "Done"},
        {"stopped after the load", m_old, {"--pause-at", "0"}, "0", Expect::Old, nullptr},
        {"stopped before the write",
         m_old,
         {"--pause-at", "Saving File..."},
         "Saving File...",
         Expect::Old,
         nullptr},
        {"killed in the write", m_old, {}, "Saving File...", Expect::OldOrNew, nullptr},
        {"killed before the sync", m_old, {}, "Finalizing...", Expect::OldOrNew, nullptr},
        {"a size limit below the file",
         m_old,
         {"--fsize", "1000000"},
         nullptr,
         Expect::Old,
         "FileError 101 Disk full"},
        {"a size limit of one byte less",
         m_old,
         {"--fsize", QString::number(FileSize - 1)},
         nullptr,
         Expect::Old,
         "FileError 101 Disk full"},
        {"a short file and a size limit",
         m_old.left(1000000),
         {"--fsize", "1500000"},
         nullptr,
         Expect::Old,
         notMended},
    };
    for (const auto& row : rows) {
        ASSERT_EQ(::chown(QFile::encodeName(File()).constData(), 0, 0), 0);
        WriteAll(File(), row.before);
        Own(0640);
        const ino_t inode = StatOf(File()).st_ino;
        Child child(File(), Music, "Player", row.options, m_user);
        if (row.edit) {
            ASSERT_TRUE(child.WaitFor("Finalizing...")) << row.scenario;
            QFile file(File());
            ASSERT_TRUE(file.open(QIODevice::ReadWrite) && file.write(edited) == FileSize);
            file.close();
            child.Continue();
        }
        if (row.killAt) {
            ASSERT_TRUE(child.WaitFor(row.killAt)) << row.scenario;
            child.Kill();
        }
        const QStringList lines = child.Finish();
        if (row.outcome) {
            ASSERT_GE(lines.size(), 2) << row.scenario;
            EXPECT_TRUE(lines.at(lines.size() - 2).startsWith(row.outcome))
                << row.scenario << ": " << lines.at(lines.size() - 2).toStdString();
            if (row.before.size() == FileSize) { // a short file never equals a table
                EXPECT_EQ(lines.last(), "Table equals file") << row.scenario;
            }
        }
        const QByteArray after = WithMusic(row.edit ? edited : row.before);
        const QByteArray file = ReadAll(File());
        switch (row.expect) {
        case Expect::Old:
            EXPECT_TRUE(file == row.before) << row.scenario << ": not the file as it was";
            break;
        case Expect::New:
            EXPECT_TRUE(file == after) << row.scenario << ": not the new file";
            break;
        case Expect::OldOrNew:
            EXPECT_TRUE(file == row.before || file == after) << row.scenario << ": neither file";
            break;
        }
        const struct stat st = StatOf(File());
        EXPECT_EQ(st.st_ino, inode) << row.scenario;
        EXPECT_EQ(st.st_uid, m_user) << row.scenario;
        EXPECT_EQ(st.st_mode & 07777, 0640u) << row.scenario;
        EXPECT_EQ(EntriesOf(m_home.Path()), (QStringList{".TrinodeRun.cmb.lock", "TrinodeRun.cmb"}))
            << row.scenario;
    }
}
