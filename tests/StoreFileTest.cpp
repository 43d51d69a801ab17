// File failures and what survives them: a missing directory or file, a
// read-only file, a disk that fills up and a process killed during a save
// (both in a child process), what lies at the file's path, and what a save
// must keep: the file's permissions and the other files beside it. Short files
// and edits made behind the table's back are the fuzz target's seeds
// (short_file, cut_inside_record, hand_edit_taken, hand_edit_cut,
// removed_while_running), checked there against a model of the file.

#include "store/ButtonCatalogue.h"
#include "store/CombinationFile.h"
#include "store/CombinationRecord.h"
#include "store/CombinationTable.h"
#include "store/TrinodeError.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <malloc.h>
#include <memory>
#include <optional>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

constexpr int RecordSize = CombinationRecord::Size;
constexpr qsizetype FileSize = CombinationTable::FileSize;

int NumberOf(const Combination& c) {
    return *ButtonCatalogue::RecordNumber(c);
}

QByteArray WithRecord(QByteArray table, const Combination& c, const QByteArray& info,
                      const QByteArray& path) {
    table.replace(qsizetype(NumberOf(c)) * RecordSize, RecordSize,
                  SpelledRecord(c[0].toUtf8(), c[1].toUtf8(), c[2].toUtf8(), info, path));
    return table;
}

// Runs code that must fail with one file error and returns "<code> <message>".
QString FileErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const FileError& e) {
        return QString::number(e.Code()) + ' ' + e.Message();
    } catch (const TrinodeError& e) {
        return QStringLiteral("not a file error: ") + e.Message();
    }
    return QStringLiteral("no error");
}

const Combination Files{"Files", "", "Personal"};
const Combination Music{"Files", "Personal", "Music"};
const Combination Empty{"", "", ""};

// A home after loads and saves: the file and its lock file.
const QStringList FileAndLock{".TrinodeRun.cmb.lock", "TrinodeRun.cmb"};

// A home whose combination file is the default one with Files bound, and
// a table loaded from it.
class StoreFile : public ::testing::Test {
protected:
    void SetUp() override {
        CombinationTable maker(File());
        maker.CreateDefaultFile();
        NoProgress none;
        maker.AssignCombination(Files, "Documents", "/docs", none);
        m_old = ReadAll(File());
        m_table.LoadFile();
    }

    QString File() const { return m_home.CombinationFile(); }
    // The file with its empty combination bound by hand to Edited.
    QByteArray Edited() const { return WithRecord(m_old, Empty, "Edited", "/edited"); }
    // The two ways a hand edit lands: a new file renamed over the file, or
    // the edited record written in place.
    void EditRenamedOver() {
        WriteAll(File() + ".new", Edited());
        ASSERT_EQ(std::rename(qPrintable(File() + ".new"), qPrintable(File())), 0);
    }
    void EditWrittenInPlace() {
        const qsizetype at = qsizetype(NumberOf(Empty)) * RecordSize;
        QFile in(File());
        ASSERT_TRUE(in.open(QIODevice::ReadWrite) && in.seek(at));
        ASSERT_EQ(in.write(Edited().mid(at, RecordSize)), RecordSize);
    }
    QStringList DirectoryEntries() const {
        return QDir(m_home.Path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    TemporaryHome m_home;
    QByteArray m_old;
    CombinationTable m_table{m_home.CombinationFile()};
};

} // namespace

TEST_F(StoreFile, ReadOnlyFileLoadsButRefusesAssignmentBeforeAnythingChanges) {
    for (const mode_t mode : {0444, 0400, 0464, 0555}) {
        ASSERT_EQ(::chmod(QFile::encodeName(File()).constData(), mode), 0);
        const ino_t inode = StatOf(File()).st_ino;
        CombinationTable table(File());
        table.LoadFile();
        EXPECT_EQ(table.FindCombination(Files), (Binding{"Documents", "/docs"})) << mode;

        RecordingProgress progress;
        EXPECT_EQ(FileErrorOf([&] { table.AssignCombination(Files, "New", "/new", progress); }),
                  "5 File access denied")
            << mode;
        EXPECT_EQ(progress.events, QStringList{"Processing..."}) << mode;
        EXPECT_EQ(table.Bytes(), m_old) << mode;
        EXPECT_EQ(ReadAll(File()), m_old) << mode;
        EXPECT_EQ(StatOf(File()).st_ino, inode) << mode;
        EXPECT_EQ(StatOf(File()).st_mode & 07777, mode);
        EXPECT_EQ(DirectoryEntries(), FileAndLock) << mode;
    }
}

// The owner and the group too: root, saving a user's file, keeps that user's.
TEST_F(StoreFile, PermissionsSurviveASave) {
    NoProgress none;
    const uid_t owner = ::geteuid() == 0 ? UnusedId() : ::geteuid();
    const gid_t group = ::geteuid() == 0 ? owner : ::getegid();
    for (const mode_t mode : {0600, 0640, 0604, 0660, 0664, 0666, 0700}) {
        ASSERT_EQ(::chown(QFile::encodeName(File()).constData(), owner, group), 0);
        ASSERT_EQ(::chmod(QFile::encodeName(File()).constData(), mode), 0);
        const ino_t inode = StatOf(File()).st_ino;
        m_table.AssignCombination(Music, QString::number(mode, 8), "/p", none);
        const struct stat st = StatOf(File());
        EXPECT_NE(st.st_ino, inode) << "saved in place";
        EXPECT_EQ(st.st_mode & 07777, mode);
        EXPECT_EQ(st.st_uid, owner) << std::oct << mode;
        EXPECT_EQ(st.st_gid, group) << std::oct << mode;
        EXPECT_EQ(m_table.FindCombination(Music), (Binding{QString::number(mode, 8), "/p"}));
        EXPECT_EQ(m_table.Bytes(), ReadAll(File())) << std::oct << mode;
    }
}

// Runs an edit on a thread of its own and waits until it is done, or waits
// inside open() because a save holds the file's lease: the edit then lands
// as soon as the save lets go.
class EditingThread final {
public:
    explicit EditingThread(std::function<void()> edit)
        : m_thread([this, edit = std::move(edit)] {
              m_tid = ::gettid();
              edit();
              m_done = true;
          }) {
        const QDeadlineTimer deadline(30000);
        while (!m_done && !InsideOpen() && !deadline.hasExpired())
            std::this_thread::yield();
        EXPECT_TRUE(m_done || InsideOpen()) << "the edit neither ended nor waited to open the file";
    }
    ~EditingThread() { m_thread.join(); }

private:
    bool InsideOpen() const {
        const pid_t tid = m_tid;
        QFile syscall(QStringLiteral("/proc/self/task/%1/syscall").arg(tid));
        return tid > 0 && syscall.open(QIODevice::ReadOnly) &&
               syscall.readAll().split(' ').value(0).toLong() == SYS_openat;
    }
    std::atomic<pid_t> m_tid{0};
    std::atomic<bool> m_done{false};
    std::thread m_thread;
};

// Tells what it hears, and makes an edit the first time it hears
// "Finalizing...": the new file is written, and not yet in place.
struct EditingProgress final : AssignProgress {
    void Stage(const QString& text) override {
        events << text;
        if (text == "Finalizing..." && edit)
            editor.emplace(std::exchange(edit, nullptr));
    }
    void Position(int position) override { events << QString::number(position); }
    std::function<void()> edit;
    std::optional<EditingThread> editor;
    QStringList events;
};

TEST_F(StoreFile, AnEditThatLandsDuringASaveIsKept) {
    const QByteArray edited = Edited();
    const struct {
        const char* scenario;
        std::function<void()> edit;
    } rows[] = {
        {"a new file renamed over it", [&] { EditRenamedOver(); }},
        {"truncated and written again", [&] { WriteAll(File(), edited); }},
        {"written in place", [&] { EditWrittenInPlace(); }},
    };
    for (const auto& row : rows) {
        WriteAll(File(), m_old);
        m_table.LoadFile();
        EditingProgress progress;
        progress.edit = row.edit;
        m_table.AssignCombination(Music, "Media Player", "/usr/bin/player", progress);
        progress.editor.reset();
        EXPECT_EQ(progress.events.size(), 815) << row.scenario << ": told more than once";
        EXPECT_TRUE(ReadAll(File()) == WithRecord(edited, Music, "Media Player", "/usr/bin/player"))
            << row.scenario << ": the edit or the assignment is missing";
        EXPECT_EQ(m_table.Bytes(), ReadAll(File())) << row.scenario;
    }
}

// --- Child processes -------------------------------------------------------

namespace {

struct ChildResult {
    QStringList lines;
    bool killed = false;
    int exitCode = -1;
};

// Assigns ("Files", "Personal", "Music") in a child process. When killAt is
// given the child is killed as soon as it has printed that line.
ChildResult RunChild(const QString& file, const QStringList& options,
                     const std::optional<QString>& killAt = std::nullopt) {
    LineChild child(
        QStringLiteral(TRINODE_STORE_CHILD),
        QStringList{file, Music[0], Music[1], Music[2], "Media Player", "/usr/bin/player"} +
            options);
    ChildResult result;
    result.killed = killAt && child.WaitFor(*killAt);
    if (result.killed)
        child.Kill();
    result.lines = child.Finish();
    result.exitCode = child.ExitCode();
    return result;
}

} // namespace

// A full disk (a size limit), a failing disk (EIO from the kernel's system
// call filter) and a folder whose sync fails after the rename: each says what
// went wrong; only the last leaves the new file, which the table follows.
TEST_F(StoreFile, AFailedSaveSaysWhyAndLeavesNoTemporaryFile) {
    const QString file = QFileInfo(File()).canonicalFilePath();
    const QString full = "FileError 101 Disk full";
    const struct {
        QStringList options;
        QString outcome;
        bool saved;
    } rows[] = {
        {{"--fsize", "0"}, full, false},
        {{"--fsize", "4096"}, full, false},
        {{"--fsize", "1000000"}, full, false},
        {{"--fsize", QString::number(FileSize - 1)}, full, false},
        {{"--fsize", QString::number(FileSize)}, "Done", true},
        {{"--eio", "pwrite64"},
         "FileError 1117 I/O error 1117: Input/output error while saving " + file,
         false},
        {{"--eio", "fsync"},
         "FileError 1117 I/O error 1117: " + file +
             " was saved, but its folder could not be written to the disk (Input/output error), "
             "so the change may not survive a power cut",
         true},
    };
    for (const auto& row : rows) {
        const std::string scenario = row.options.join(' ').toStdString();
        WriteAll(File(), m_old);
        const ChildResult result = RunChild(File(), row.options);
        ASSERT_GE(result.lines.size(), 2) << scenario;
        EXPECT_EQ(result.lines.at(result.lines.size() - 2), row.outcome) << scenario;
        EXPECT_EQ(result.lines.last(), "Table equals file") << scenario;
        EXPECT_EQ(result.exitCode, row.outcome == "Done" ? 0 : 1) << scenario;
        // The scan had finished: the failure is in the write itself.
        EXPECT_TRUE(result.lines.contains("Saving File...")) << scenario;
        EXPECT_EQ(ReadAll(File()),
                  row.saved ? WithRecord(m_old, Music, "Media Player", "/usr/bin/player") : m_old)
            << scenario;
        EXPECT_EQ(DirectoryEntries(), FileAndLock) << scenario;
    }
}

// A save stopped at each of its stages and killed there leaves the old file;
// kills at random moments of the write are the soak's (store_soak_short).
TEST_F(StoreFile, AProcessKilledDuringASaveLeavesTheOldFile) {
    for (const char* stage : {"Processing...", "0", "811", "Saving File...", "Finalizing..."}) {
        WriteAll(File(), m_old);
        const ChildResult result =
            RunChild(File(), {"--pause-at", stage}, QString::fromLatin1(stage));
        EXPECT_TRUE(result.killed) << stage;
        EXPECT_TRUE(ReadAll(File()) == m_old) << stage << ": not the old file";

        // Whatever the kill left behind, the next save goes through.
        CombinationTable table(File());
        table.LoadFile();
        NoProgress none;
        table.AssignCombination(Files, "After", "/after", none);
        EXPECT_EQ(ReadAll(File()).size(), FileSize) << stage;
    }
}

// An edit that lands inside the replacement itself, while the new file takes
// the old one's name: the save puts the edited file back and starts over on
// it, with the file system's swap of two names and without one.
TEST_F(StoreFile, AnEditInsideTheReplacementIsKept) {
    const QByteArray edited = Edited();
    const auto renamedOver = [&] { EditRenamedOver(); };
    const auto writtenInPlace = [&] { EditWrittenInPlace(); };
    const struct {
        const char* scenario;
        QStringList options;
        std::function<void()> edit;
    } rows[] = {
        {"written in place as the names swap", {}, writtenInPlace},
        {"a new file renamed over it as the names swap", {}, renamedOver},
        {"written in place where no names swap", {"--no-swap"}, writtenInPlace},
        {"a new file renamed over it where no names swap", {"--no-swap"}, renamedOver},
    };
    for (const auto& row : rows) {
        WriteAll(File(), m_old);
        LineChild child(QStringLiteral(TRINODE_STORE_CHILD),
                        QStringList{File(), Music[0], Music[1], Music[2], "Media Player",
                                    "/usr/bin/player", "--stop-before-replace"} +
                            row.options);
        ASSERT_TRUE(child.WaitFor("Replacing")) << row.scenario;
        {
            const EditingThread editor(row.edit);
            child.Continue();
            const QStringList lines = child.Finish();
            ASSERT_GE(lines.size(), 2) << row.scenario;
            EXPECT_EQ(lines.at(lines.size() - 2), "Done") << row.scenario;
        }
        EXPECT_TRUE(ReadAll(File()) == WithRecord(edited, Music, "Media Player", "/usr/bin/player"))
            << row.scenario << ": the edit or the assignment is missing";
        EXPECT_EQ(DirectoryEntries(), FileAndLock) << row.scenario;
    }
}

// Files damaged as hand edits, full disks and killed editors damage them: what
// the load says, and what a save makes of them. Every binding that reads is
// kept, the file is whole again, and the damaged one is kept beside it.
TEST(StoreFileDamaged, ALoadNamesTheDamageAndASaveMendsItKeepingTheFile) {
    const Combination early{"Files", "", "Personal"}; // record 1571
    const Combination middle = ButtonCatalogue::CombinationOf(2000);
    const Combination late = ButtonCatalogue::CombinationOf(12000);
    QByteArray whole = CombinationTable(QString()).Bytes(); // a new file's records
    {
        TemporaryHome home;
        CombinationTable maker(home.CombinationFile());
        maker.CreateDefaultFile();
        NoProgress none;
        maker.AssignCombination(early, "Documents", "/docs", none);
        maker.AssignCombination(middle, "Two Thousand", "/usr/bin/two", none);
        maker.AssignCombination(late, "Late", "/late", none);
        whole = ReadAll(home.CombinationFile());
    }
    const qsizetype in2000 = 2000 * RecordSize + 50; // the information's padding
    QByteArray inserted = whole;
    inserted.insert(in2000, 'x');
    QByteArray deleted = whole;
    deleted.remove(in2000, 1);
    QByteArray length60 = whole;
    length60[2000 * RecordSize] = char(60);
    QByteArray length200 = whole;
    length200[2000 * RecordSize] = char(200);
    const QStringList all{"Documents", "Two Thousand", "Late"};
    const struct {
        const char* scenario;
        QByteArray file;
        const char* load; // what the load says after the file's name, or nothing
        QStringList kept; // the informations bound after a save, besides the new one
    } rows[] = {
        {"empty", {}, "is damaged: it holds 0 bytes where a whole file holds 2,141,392", {}},
        {"cut by a full disk",
         whole.left(1000000),
         "is damaged: it holds 1,000,000 bytes where a whole file holds 2,141,392",
         {"Documents", "Two Thousand"}},
        {"all NUL bytes",
         QByteArray(FileSize, '\0'),
         "is damaged: record 0, at byte 0, does not start with a length byte and three button "
         "names, nor do 12,166 more records",
         {}},
        {"one byte typed into a record",
         inserted,
         "is damaged: it holds 2,141,393 bytes, 1 more than the 2,141,392 of a whole file",
         {"Documents", "x              Two Thousand", "Late"}},
        {"one byte deleted from a record", deleted,
         "is damaged: it holds 2,141,391 bytes where a whole file holds 2,141,392", all},
        {"junk past the end", whole + QByteArray(858608, 'j'),
         "is damaged: it holds 3,000,000 bytes, 858,608 more than the 2,141,392 of a whole file",
         all},
        {"a length byte of 60",
         length60,
         "is damaged: the length byte of record 2,000, at byte 352,000, is 60, which hides the "
         "last 115 bytes of the record",
         {"Documents", "Late"}},
        {"a length byte of 200", length200, nullptr, all},
    };
    for (const auto& row : rows) {
        TemporaryHome home;
        WriteAll(home.CombinationFile(), row.file);
        CombinationTable table(home.CombinationFile());
        const QString said = ErrorOf([&] { table.LoadFile(); });
        const QString expected =
            row.load ? QStringLiteral("%1 %2").arg(home.CombinationFile(), QLatin1String(row.load))
                     : QStringLiteral("no error");
        EXPECT_TRUE(
            said.section(QStringLiteral("Read beyond end of file: "), -1).startsWith(expected))
            << row.scenario << ": " << said.toStdString();
        EXPECT_EQ(said.startsWith(FileError::MessageFor(FileError::ReadBeyondEnd)),
                  row.file.size() < FileSize)
            << row.scenario;

        NoProgress none;
        const CombinationTable::Saved saved = table.AssignCombination(Music, "Player", "/p", none);
        EXPECT_EQ(saved.bound, 1) << row.scenario;
        const QStringList copies = QDir(home.Path()).entryList({"TrinodeRun.cmb.damaged-*"});
        ASSERT_EQ(copies.size(), row.load ? 1 : 0) << row.scenario;
        if (row.load) {
            EXPECT_TRUE(ReadAll(home.FilePath(copies[0])) == row.file) << row.scenario;
            EXPECT_TRUE(saved.mended.contains(copies[0]))
                << row.scenario << ": " << saved.mended.toStdString();
        }
        CombinationTable reread(home.CombinationFile());
        reread.LoadFile();
        QStringList bound;
        for (const BoundCombination& b : reread.BoundCombinations())
            bound << QString::fromUtf8(b.binding.info);
        QStringList expectedBound = QStringList(row.kept) << "Player";
        expectedBound.sort();
        bound.sort();
        EXPECT_EQ(bound, expectedBound) << row.scenario;
        EXPECT_EQ(ReadAll(home.CombinationFile()).size(), FileSize) << row.scenario;
    }
}

// --- What lies at the file's path ---------------------------------------------

namespace {

// What a load and an assignment (in a child, so that a wait for ever fails
// the test rather than hanging it) say about the file.
QString LoadErrorOf(const QString& file) {
    const ChildResult result = RunChild(file, {});
    return result.lines.size() >= 2 ? result.lines.at(result.lines.size() - 2) : QString();
}
QString AssignErrorOf(const QString& file) {
    const ChildResult result = RunChild(file, {"--no-load"});
    return result.lines.size() >= 2 ? result.lines.at(result.lines.size() - 2) : QString();
}

mode_t KindOf(const QString& path) {
    struct stat st {};
    ::lstat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & S_IFMT;
}

} // namespace

TEST(StoreFileKinds, OnlyARegularFileIsReadOrReplacedAndTheMessageNamesIt) {
    const bool root = ::geteuid() == 0;
    if (!root)
        std::fprintf(stderr, "not root: the device rows are skipped (mknod needs root)\n");
    const struct {
        const char* scenario;
        bool needsRoot;
        std::function<bool(const QString& at, const QString& elsewhere)> make;
        const char* kind;
    } rows[] = {
        {"a named pipe", false,
         [](const QString& at, const QString&) {
             return ::mkfifo(QFile::encodeName(at).constData(), 0644) == 0;
         },
         "a named pipe"},
        {"a folder", false, [](const QString& at, const QString&) { return QDir().mkdir(at); },
         "a folder"},
        {"a character device", true,
         [](const QString& at, const QString&) {
             return ::mknod(QFile::encodeName(at).constData(), S_IFCHR | 0666, makedev(1, 5)) == 0;
         },
         "a device"},
        {"a link to a device", true,
         [](const QString& at, const QString& elsewhere) {
             return ::mknod(QFile::encodeName(elsewhere).constData(), S_IFCHR | 0666,
                            makedev(1, 5)) == 0 &&
                    QFile::link(elsewhere, at);
         },
         "a device"},
        {"a chain of links to a named pipe", false,
         [](const QString& at, const QString& elsewhere) {
             return ::mkfifo(QFile::encodeName(elsewhere).constData(), 0644) == 0 &&
                    QFile::link(elsewhere, elsewhere + ".link") &&
                    QFile::link(elsewhere + ".link", at);
         },
         "a named pipe"},
    };
    for (const auto& row : rows) {
        if (row.needsRoot && !root)
            continue;
        TemporaryHome home;
        const QString file = home.CombinationFile();
        const QString elsewhere = home.FilePath("node");
        ASSERT_TRUE(row.make(file, elsewhere)) << row.scenario;
        const QString target = QFileInfo(file).isSymLink() ? elsewhere : file;
        const mode_t kind = KindOf(target);
        const QString says = QStringLiteral(" is %1, not a file").arg(row.kind);

        for (const QString& error : {LoadErrorOf(file), AssignErrorOf(file)}) {
            EXPECT_TRUE(error.startsWith("FileError 3 Invalid filename: ") &&
                        error.endsWith(says) && (error.contains(file) || error.contains(target)))
                << row.scenario << ": " << error.toStdString();
        }
        EXPECT_EQ(KindOf(target), kind) << row.scenario << ": replaced";
        const QStringList entries =
            QDir(home.Path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        for (const QString& name : entries)
            EXPECT_FALSE(name.startsWith('.')) << row.scenario << ": left " << name.toStdString();
    }
}

TEST(StoreFileLinks, TheFileAtTheEndOfTheChainIsUpdatedAndTheLinksStay) {
    const struct {
        const char* scenario;
        QStringList links; // link=target pairs, made in this order
        const char* real;
        bool exists;
    } rows[] = {
        {"one link", {"TrinodeRun.cmb=real/TrinodeRun.cmb"}, "real/TrinodeRun.cmb", true},
        {"a chain of two links",
         {"mid/link2.cmb=../real/TrinodeRun.cmb", "TrinodeRun.cmb=mid/link2.cmb"},
         "real/TrinodeRun.cmb",
         true},
        {"a chain through a linked folder",
         {"folder=real", "mid/link2.cmb=../folder/TrinodeRun.cmb", "TrinodeRun.cmb=mid/link2.cmb"},
         "real/TrinodeRun.cmb",
         true},
        {"a chain to a file not made yet",
         {"mid/link2.cmb=../real/new.cmb", "TrinodeRun.cmb=mid/link2.cmb"},
         "real/new.cmb",
         false},
    };
    for (const auto& row : rows) {
        TemporaryHome home;
        QDir(home.Path()).mkpath("real");
        QDir(home.Path()).mkpath("mid");
        if (row.exists)
            CombinationTable(home.FilePath("real/TrinodeRun.cmb")).CreateDefaultFile();
        for (const QString& pair : row.links) {
            const QStringList parts = pair.split('=');
            ASSERT_TRUE(QFile::link(parts[1], home.FilePath(parts[0]))) << row.scenario;
        }
        CombinationTable table(home.CombinationFile());
        if (row.exists)
            table.LoadFile();
        else
            table.CreateDefaultFile();
        NoProgress none;
        table.AssignCombination(Music, "Media Player", "/usr/bin/player", none);

        CombinationTable real(home.FilePath(row.real));
        real.LoadFile();
        EXPECT_EQ(real.FindCombination(Music), (Binding{"Media Player", "/usr/bin/player"}))
            << row.scenario;
        for (const QString& pair : row.links) {
            const QStringList parts = pair.split('=');
            EXPECT_EQ(QFileInfo(home.FilePath(parts[0])).symLinkTarget(),
                      QFileInfo(QFileInfo(home.FilePath(parts[0])).absolutePath() + '/' + parts[1])
                          .absoluteFilePath())
                << row.scenario << ": " << parts[0].toStdString() << " is no longer that link";
        }
        const QString name = QFileInfo(row.real).fileName();
        EXPECT_EQ(QDir(home.FilePath("real")).entryList(QDir::Files | QDir::Hidden),
                  (QStringList{'.' + name + ".lock", name}))
            << row.scenario;
    }
}

// A path that cannot be used: each operation fails with its own error, which
// says why, and leaves the table and the home as they were.
TEST(StoreFilePaths, AnUnusablePathFailsEachOperationAndSaysWhy) {
    TemporaryHome home;
    const QString longName = home.FilePath(QString(300, 'n') + ".cmb");
    const QString loop = home.FilePath("loop.cmb");
    QFile::link("loop.cmb", loop);
    const QString folder = home.FilePath("folder.cmb");
    QDir().mkdir(folder);
    const QString nul = home.CombinationFile() + QChar(0) + ".old";
    // The path is shown up to its NUL byte.
    const auto invalid = [](const QString& path, const char* why) {
        return QStringList(3, "3 Invalid filename: " + path.left(path.indexOf(QChar(0))) + why);
    };
    const struct {
        const char* scenario;
        QString path;
        QStringList errors; // of a load, a creation and an assignment, as far as given
    } rows[] = {
        {"a missing directory",
         home.FilePath("missing/TrinodeRun.cmb"),
         {"2 File not found", "3 Invalid filename", "3 Invalid filename"}},
        // A creation or an assignment would make it.
        {"a missing file", home.CombinationFile(), {"2 File not found"}},
        {"a name too long", longName, invalid(longName, ": File name too long")},
        {"a link to itself", loop, invalid(loop, ": Too many levels of symbolic links")},
        {"a folder at the path", folder, invalid(folder, " is a folder, not a file")},
        {"a NUL byte in the name", nul,
         invalid(nul, " is followed by a NUL byte, which no file name can hold")},
    };
    NoProgress none;
    const std::pair<const char*, std::function<void(CombinationTable&)>> actions[] = {
        {"load", [](CombinationTable& t) { t.LoadFile(); }},
        {"create", [](CombinationTable& t) { t.CreateDefaultFile(); }},
        {"assign", [&](CombinationTable& t) { t.AssignCombination(Files, "i", "/p", none); }},
    };
    const QStringList entries =
        QDir(home.Path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    for (const auto& row : rows) {
        for (qsizetype i = 0; i < row.errors.size(); ++i) {
            CombinationTable table(row.path);
            const QByteArray before = table.Bytes();
            EXPECT_EQ(FileErrorOf([&] { actions[i].second(table); }), row.errors[i])
                << row.scenario << ", " << actions[i].first;
            EXPECT_EQ(table.Bytes(), before) << row.scenario << ", " << actions[i].first;
            EXPECT_EQ(QDir(home.Path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), entries)
                << row.scenario << ", " << actions[i].first;
        }
    }
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_TRUE(QFileInfo(loop).isSymLink());
}

TEST_F(StoreFile, LeftoversOfKilledSavesGoAndEverythingElseStays) {
    // A killed save's temporary file, and what only looks like one.
    WriteAll(m_home.FilePath(".TrinodeRun.cmb.saving-Ab3dE9"), m_old.left(1000));
    WriteAll(m_home.FilePath(".TrinodeRun.cmb.saving"), m_old.left(1000));
    ASSERT_TRUE(QDir(m_home.Path()).mkdir(".TrinodeRun.cmb.saving-Folder"));
    ASSERT_TRUE(QFile::link("TrinodeRun.cmb", m_home.FilePath(".TrinodeRun.cmb.saving-Linked")));
    // Copies a person might keep beside the file, some named much like a
    // save's temporary file.
    const QStringList users{".TrinodeRun.cmb.saving-toolong",
                            "TrinodeRun.cmb.saving-abcdef",
                            ".TrinodeRun.cmb.saving-",
                            "TrinodeRun.cmb.backup",
                            "TrinodeRun.cmb.old123",
                            "TrinodeRun.cmb~",
                            "TrinodeRun.cmbXXXXXX"};
    for (const QString& name : users)
        WriteAll(m_home.FilePath(name), m_old);
    // The temporary file of a save that still runs: it holds its lock.
    QFile running(m_home.FilePath(".TrinodeRun.cmb.saving-Runs01"));
    ASSERT_TRUE(running.open(QIODevice::WriteOnly));
    ASSERT_EQ(::flock(running.handle(), LOCK_EX), 0);
    NoProgress none;
    m_table.AssignCombination(Music, "Media Player", "/usr/bin/player", none);
    EXPECT_EQ(ReadAll(File()), WithRecord(m_old, Music, "Media Player", "/usr/bin/player"));
    QStringList expected =
        users + FileAndLock +
        QStringList{".TrinodeRun.cmb.saving-Folder", ".TrinodeRun.cmb.saving-Linked",
                    ".TrinodeRun.cmb.saving-Runs01"};
    QStringList entries = DirectoryEntries();
    expected.sort();
    entries.sort();
    EXPECT_EQ(entries, expected);
    for (const QString& name : users)
        EXPECT_TRUE(ReadAll(m_home.FilePath(name)) == m_old) << name.toStdString();
}

TEST(StoreFileHome, TheHomeIsFoundAndUsedByItsBytes) {
    TemporaryHome home;
    char buffer[16384];
    passwd entry{};
    passwd* found = nullptr;
    ASSERT_EQ(::getpwuid_r(::geteuid(), &entry, buffer, sizeof buffer, &found), 0);
    ASSERT_NE(found, nullptr);
    const QByteArray fromDatabase = QByteArray(found->pw_dir) + "/TrinodeRun.cmb";
    const QByteArray latin1 = QFile::encodeName(home.Path()) + "/caf\xe9 \xff";

    const struct {
        const char* scenario;
        std::optional<QByteArray> value;
        QByteArray file;
    } rows[] = {
        {"unset", std::nullopt, fromDatabase},
        {"empty", QByteArray(), fromDatabase},
        {"not UTF-8", latin1, latin1 + "/TrinodeRun.cmb"},
        {"with a final slash", latin1 + "/", latin1 + "/TrinodeRun.cmb"},
    };
    ASSERT_EQ(::mkdir(latin1.constData(), 0700), 0);
    for (const auto& row : rows) {
        const ScopedVariable set("HOME", row.value);
        EXPECT_EQ(CombinationFile::DefaultLocalPath(), row.file) << row.scenario;
    }

    // The whole cycle in a home whose name is not UTF-8.
    const ScopedVariable inLatin1("HOME", latin1);
    CombinationTable table;
    table.CreateDefaultFile();
    NoProgress none;
    table.AssignCombination(Music, "Media Player", "/usr/bin/player", none);
    CombinationTable again;
    again.LoadFile();
    EXPECT_EQ(again.FindCombination(Music), (Binding{"Media Player", "/usr/bin/player"}));
    struct stat st {};
    EXPECT_EQ(::stat((latin1 + "/TrinodeRun.cmb").constData(), &st), 0);
    EXPECT_EQ(st.st_size, FileSize);
    // QTemporaryDir cannot remove a name that is not UTF-8.
    for (const char* name : {"/TrinodeRun.cmb", "/.TrinodeRun.cmb.lock"})
        ::unlink((latin1 + name).constData());
    EXPECT_EQ(::rmdir(latin1.constData()), 0) << "something more was left in the home";
}

TEST_F(StoreFile, AssignmentsKeepNoSecondTableAlive) {
    NoProgress none;
    // The edits on disk are made first: their two-megabyte buffers are the
    // test's own and would stay in malloc's heap.
    std::vector<QByteArray> edited;
    for (int i = 0; i < 20; i += 2)
        edited.push_back(WithRecord(m_old, Empty, "Edited", QByteArray::number(i)));
    // Once a block this large has been freed, malloc serves the next one
    // from its heap, where it stays when freed: the state of a program that
    // has run for a while, made here with a block of the test's own.
    void* volatile block = std::malloc(size_t(FileSize) + 8192);
    std::free(block);
    const auto heap = [] { return mallinfo2().arena + mallinfo2().hblkhd; };
    const size_t atRest = heap();
    for (int i = 0; i < 20; ++i) {
        // Every other one after an edit on disk, so that the file is read again.
        if (i % 2 == 0)
            WriteAll(File(), edited[size_t(i / 2)]);
        m_table.AssignCombination(Music, QString::number(i), "/p", none);
    }
    const size_t after = heap();
    EXPECT_LT(after, atRest + FileSize / 8)
        << "the process holds " << after - atRest << " bytes more after 20 assignments";
}

TEST_F(StoreFile, ATableHoldsWhatIsBoundNotTheWholeFile) {
    const auto inUse = [] { return mallinfo2().uordblks + mallinfo2().hblkhd; };
    const size_t before = inUse();
    auto table = std::make_unique<CombinationTable>(File());
    table->LoadFile();
    EXPECT_EQ(table->FindCombination(Files), (Binding{"Documents", "/docs"}));
    const size_t loaded = inUse() - before;
    EXPECT_LT(loaded, size_t(FileSize / 8))
        << "a table with one binding holds " << loaded << " bytes";
    EXPECT_EQ(table->Bytes(), m_old);
}

// A table that holds the file reads what a copy of it reads, a short file's
// too, and no writer gets in until the table goes. One that copied the file
// keeps nobody out.
TEST(StoreFileHeld, AHeldTableReadsAsACopyAndKeepsWritersOutUntilItGoes) {
    TemporaryHome home;
    CombinationTable(home.CombinationFile()).CreateDefaultFile();
    const QByteArray name = QFile::encodeName(home.CombinationFile());
    const auto leased = [&name](int flags, int lease) {
        const int fd = ::open(name.constData(), flags);
        const bool done = fd >= 0 && (lease < 0 || ::fcntl(fd, F_SETLEASE, lease) == 0);
        ::close(fd);
        return done;
    };
    if (!leased(O_RDONLY, F_RDLCK))
        GTEST_SKIP() << "this file system grants no leases: every table copies the file";
    const auto writerGetsIn = [&leased] { return leased(O_WRONLY | O_NONBLOCK, -1); };
    // Every record bound, to "x": the table keeps the pages it read.
    QByteArray all = ReadAll(home.CombinationFile());
    for (qsizetype at = 0; at < all.size(); at += RecordSize)
        all[at + 75] = 'x';
    // A short file raises, and is taken as far as it reads.
    const auto loads = [](const std::function<void()>& load) {
        try {
            load();
        } catch (const TrinodeError&) {
            return false;
        }
        return true;
    };
    for (const auto& [size, whole] :
         {std::pair{FileSize, true}, {FileSize - RecordSize / 2, false}}) {
        WriteAll(home.CombinationFile(), all.left(size));
        CombinationTable copied(home.CombinationFile());
        auto held = std::make_unique<CombinationTable>(home.CombinationFile());
        EXPECT_EQ(loads([&copied] { copied.LoadFile(); }), whole) << size;
        EXPECT_TRUE(writerGetsIn()) << size;
        EXPECT_EQ(loads([&held] { held->LoadFileHeld(); }), whole) << size;
        EXPECT_FALSE(writerGetsIn()) << size;
        EXPECT_EQ(held->Bytes(), copied.Bytes()) << size;
        EXPECT_EQ(held->Damage().Summary(), copied.Damage().Summary()) << size;
        held.reset();
        EXPECT_TRUE(writerGetsIn()) << size;
    }
}
