// The real trinode executable, started on the offscreen platform in a home of
// its own: what start-up does to the combination file, and the one running
// instance per user and file.

#include "platform/SingleInstance.h"
#include "store/CombinationTable.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTemporaryFile>

namespace {

QByteArray Sha(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

} // namespace

// A first start without a file, from another folder: it makes the default
// file, and runs in the home folder, where what it starts begins, as a
// desktop starts programs. A second start brings it forward and leaves; one
// in another home never meets it.
TEST(Startup, FirstStartWithoutFileCreatesItInTheHomeAndASecondOneHandsOver) {
    TemporaryHome home;
    QTemporaryDir elsewhere;
    ASSERT_TRUE(elsewhere.isValid());
    TrinodeProcess first(home.Path(), {}, elsewhere.path());
    ASSERT_TRUE(WaitUntilSummoned(home.CombinationFile()));
    ASSERT_EQ(QFileInfo(home.CombinationFile()).size(), CombinationTable::FileSize);
    CombinationTable fresh(home.FilePath("fresh.cmb"));
    fresh.CreateDefaultFile();
    EXPECT_EQ(Sha(home.CombinationFile()), Sha(home.FilePath("fresh.cmb")));
    const QString cwd =
        QFileInfo(QStringLiteral("/proc/%1/cwd").arg(first.Process().processId())).symLinkTarget();
    EXPECT_EQ(cwd, QFileInfo(home.Path()).canonicalFilePath());

    TrinodeProcess second(home.Path());
    ASSERT_TRUE(second.Process().waitForFinished(20000));
    EXPECT_EQ(second.Process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.Process().exitCode(), 0);
    EXPECT_EQ(first.Process().state(), QProcess::Running);

    TemporaryHome two;
    TrinodeProcess other(two.Path());
    ASSERT_TRUE(WaitUntilSummoned(two.CombinationFile()));
    EXPECT_EQ(first.Process().state(), QProcess::Running);
    EXPECT_EQ(other.Process().state(), QProcess::Running);
    EXPECT_NE(SingleInstance(home.CombinationFile()).SocketPath(),
              SingleInstance(two.CombinationFile()).SocketPath());
}

// A file at start-up is read, never written: a whole one with a binding,
// and a short one, whose error box leaves the event loop running.
TEST(Startup, AFileIsLoadedWithoutRewriting) {
    for (const bool whole : {true, false}) {
        TemporaryHome home;
        {
            CombinationTable table(home.CombinationFile());
            table.CreateDefaultFile();
            NoProgress none;
            if (whole)
                table.AssignCombination({"Files", "", "Personal"}, "Documents", "/tmp", none);
        }
        if (!whole)
            QFile::resize(home.CombinationFile(), CombinationTable::FileSize - 1);
        const QByteArray before = Sha(home.CombinationFile());
        const auto modified =
            QFileInfo(home.CombinationFile()).fileTime(QFileDevice::FileModificationTime);

        TrinodeProcess trinode(home.Path());
        ASSERT_TRUE(WaitUntilSummoned(home.CombinationFile())) << "whole: " << whole;
        EXPECT_EQ(Sha(home.CombinationFile()), before) << "whole: " << whole;
        EXPECT_EQ(QFileInfo(home.CombinationFile()).fileTime(QFileDevice::FileModificationTime),
                  modified)
            << "whole: " << whole;
    }
}

// --- Bindings in and out -----------------------------------------------------

namespace {

// Starts trinode with the arguments and hands it the standard input. It
// inherits the test's environment, whose HOME is the temporary home, unless
// the process was given another.
void Start(QProcess& trinode, const QStringList& arguments, const QByteArray& input = {}) {
    trinode.start(QString::fromLocal8Bit(qgetenv("TRINODE_BIN")), arguments);
    trinode.write(input);
    trinode.closeWriteChannel();
}

// trinode with the arguments and standard input: its standard output, and
// its exit code in *code.
QByteArray Trinode(const QStringList& arguments, int* code, const QByteArray& input = {}) {
    QProcess trinode;
    Start(trinode, arguments, input);
    EXPECT_TRUE(trinode.waitForFinished(20000));
    *code = trinode.exitCode();
    EXPECT_EQ(trinode.readAllStandardError(), QByteArray());
    const QByteArray printed = trinode.readAllStandardOutput();
    // Printed into a file, a listing reads the bindings file's own pages
    // rather than a copy: it prints the same.
    if (arguments.value(0) == "--list") {
        QTemporaryFile file;
        EXPECT_TRUE(file.open());
        QProcess intoFile;
        intoFile.setStandardOutputFile(file.fileName());
        Start(intoFile, arguments, input);
        EXPECT_TRUE(intoFile.waitForFinished(20000));
        EXPECT_EQ(intoFile.exitCode(), *code);
        EXPECT_EQ(file.readAll(), printed) << arguments.join(' ').toStdString();
    }
    return printed;
}

} // namespace

TEST(Bindings, ListedAndImportedGiveBackTheSameFileByteForByte) {
    TemporaryHome home;
    {
        CombinationTable table(home.CombinationFile());
        table.CreateDefaultFile();
        NoProgress none;
        table.AssignCombination({"Files", "Personal", "Music"}, "Media Player", "/usr/bin/play",
                                none);
        // A byte that is not UTF-8, and a backslash, each among plain text.
        table.AssignCombination({"Internet", "", ""}, {"Caf\xe9 on the web", "/opt\\web/bin"},
                                none);
        table.AssignCombination({"", "", "Two"}, "Tab\there", "", none);
        // DEL only in the last eight bytes, not in the first.
        table.AssignCombination({"Office", "", ""}, "Ten bytes\x7f", "", none);
    }
    const QByteArray before = ReadAll(home.CombinationFile());
    int code = -1;
    const QByteArray all = Trinode({"--list"}, &code);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(all, "Files\tPersonal\tMusic\tMedia Player\t/usr/bin/play\n"
                   "Internet\t\t\tCaf\\xe9 on the web\t/opt\\\\web/bin\n"
                   "Office\t\t\tTen bytes\\x7f\t\n"
                   "\t\tTwo\tTab\\x09here\t\n");
    EXPECT_EQ(Trinode({"--list", "MUSIC", "play"}, &code),
              "Files\tPersonal\tMusic\tMedia Player\t/usr/bin/play\n");
    EXPECT_EQ(Trinode({"--list", "nothing"}, &code), "");
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ReadAll(home.CombinationFile()), before);

    ASSERT_TRUE(QFile::remove(home.CombinationFile()));
    const QByteArray file = QFile::encodeName(home.CombinationFile());
    EXPECT_EQ(Trinode({"--import", "-"}, &code, all), "Bound 4 combinations in " + file + "\n");
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ReadAll(home.CombinationFile()), before);

    // Into a file that holds other bindings: they stay; a line that unbinds
    // counts as such, and one that changes nothing not at all. DEL and an
    // overlong sequence come back escaped, an escape may end a field, and a
    // CRLF line's CR is no part of its path.
    EXPECT_EQ(Trinode({"--import", "-"}, &code,
                      "Mail\t\t\tPost\\x7f\xc0\xaf\t/usr/bin/mai\\x6c\nInternet\t\t\t|\t|\n"
                      "\t\tTwo\tTab\\x09here\t\r\n"),
              "Bound 1 combination and unbound 1 in " + file + "\n");
    EXPECT_EQ(Trinode({"--list"}, &code), "Files\tPersonal\tMusic\tMedia Player\t/usr/bin/play\n"
                                          "Mail\t\t\tPost\\x7f\\xc0\\xaf\t/usr/bin/mail\n"
                                          "Office\t\t\tTen bytes\\x7f\t\n"
                                          "\t\tTwo\tTab\\x09here\t\n");
}

// The commands on the bindings are answered by the front on the store
// alone: the loader's own record shows none of the windows' libraries. Nor
// does the loader look for libraries in the folder trinode is started from:
// there, one that is not a library would end it.
TEST(Bindings, ListAndImportLoadNothingOfTheWindows) {
    TemporaryHome home;
    QTemporaryDir folder;
    ASSERT_TRUE(QFile(folder.filePath("libQt6Core.so.6")).open(QIODevice::WriteOnly));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LD_DEBUG", "files");
    for (const QStringList& arguments :
         {QStringList{"--import", "-"}, QStringList{"--list"}, QStringList{"--suggest"}}) {
        QProcess trinode;
        trinode.setProcessEnvironment(env);
        trinode.setWorkingDirectory(folder.path());
        Start(trinode, arguments, "Files\t\t\tF\t/f\n");
        ASSERT_TRUE(trinode.waitForFinished(20000));
        EXPECT_EQ(trinode.exitCode(), 0);
        const QByteArray loaded = trinode.readAllStandardError();
        EXPECT_TRUE(loaded.contains("libQt6Core")) << "LD_DEBUG said nothing";
        for (const char* windows : {"trinode-gui.so", "libQt6Gui", "libQt6Widgets"})
            EXPECT_FALSE(loaded.contains(windows))
                << arguments.join(' ').toStdString() << ": " << windows;
    }
}

// A save makes its bytes durable before they take the file's name, as the
// system's own record of the calls shows.
TEST(Bindings, AnImportSyncsTheNewFileBeforeItTakesTheName) {
    TemporaryHome home;
    const QString log = home.FilePath("calls");
    QProcess strace;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // The leak checker of a sanitizer build cannot run under a tracer.
    env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":detect_leaks=0");
    strace.setProcessEnvironment(env);
    strace.start("strace",
                 {"-f", "-qq", "-o", log, "-e", "trace=fdatasync,fsync,rename,renameat,renameat2",
                  QString::fromLocal8Bit(qgetenv("TRINODE_BIN")), "--import", "-"});
    ASSERT_TRUE(strace.waitForStarted()) << "strace is missing: run tools/setup-debian --test";
    strace.write("Files\t\t\tF\t/f\n");
    strace.closeWriteChannel();
    ASSERT_TRUE(strace.waitForFinished(20000));
    ASSERT_EQ(strace.exitCode(), 0) << strace.readAllStandardError().toStdString();
    QStringList calls;
    for (const QByteArray& line : ReadAll(log).split('\n'))
        if (line.contains("TrinodeRun.cmb") || line.contains("sync("))
            calls << QString::fromUtf8(line).simplified().section(u' ', 1).section(u'(', 0, 0);
    const qsizetype rename = calls.lastIndexOf(QRegularExpression("rename.*"));
    ASSERT_GT(rename, 0) << calls.join(' ').toStdString();
    EXPECT_EQ(calls[rename - 1], "fdatasync") << calls.join(' ').toStdString();
}

// Two first imports at once, with no file yet: both bindings are kept.
TEST(Bindings, TwoFirstImportsAtOnceKeepBoth) {
    TemporaryHome home;
    for (int round = 0; round < 5; ++round) {
        QFile::remove(home.CombinationFile());
        QProcess imports[2];
        const QByteArray lines[2] = {"Files\t\t\tF\t/f\n", "Music\t\t\tM\t/m\n"};
        for (int i = 0; i < 2; ++i)
            Start(imports[i], {"--import", "-"}, lines[i]);
        for (QProcess& import : imports) {
            ASSERT_TRUE(import.waitForFinished(20000));
            EXPECT_EQ(import.exitCode(), 0) << import.readAllStandardError().toStdString();
        }
        int code = -1;
        EXPECT_EQ(Trinode({"--list"}, &code), "Files\t\t\tF\t/f\nMusic\t\t\tM\t/m\n")
            << "round " << round;
    }
}

// A damaged file: --check says what is wrong and changes nothing, --repair
// mends it and keeps it beside it, and --check then finds it whole.
TEST(Bindings, CheckNamesTheDamageAndRepairMendsIt) {
    TemporaryHome home;
    {
        CombinationTable table(home.CombinationFile());
        table.CreateDefaultFile();
        NoProgress none;
        table.AssignCombination({"Mail", "", ""}, "Post", "/usr/bin/mail", none);
    }
    QByteArray damaged = ReadAll(home.CombinationFile());
    damaged.insert(5000 * 176 + 60, "typed");
    WriteAll(home.CombinationFile(), damaged);
    const QByteArray file = QFile::encodeName(home.CombinationFile());
    int code = -1;
    EXPECT_EQ(Trinode({"--check"}, &code),
              file + " is damaged:\n  it holds 2,141,397 bytes, 5 more than the 2,141,392 of a "
                     "whole file\n  record 5,001, at byte 880,176, does not start with a length "
                     "byte and three button names, nor do 7,165 more records\n  no record holds "
                     "Settings System System, nor 7,165 more combinations\ntrinode --repair "
                     "mends it, keeping every binding that reads, and keeps the damaged file "
                     "beside it\n");
    EXPECT_EQ(code, 6);
    EXPECT_EQ(ReadAll(home.CombinationFile()), damaged);
    EXPECT_TRUE(Trinode({"--repair"}, &code).startsWith(file + " was damaged: "));
    EXPECT_EQ(code, 0);
    const QStringList copies = QDir(home.Path()).entryList({"TrinodeRun.cmb.damaged-*"});
    ASSERT_EQ(copies.size(), 1);
    EXPECT_EQ(ReadAll(home.FilePath(copies[0])), damaged);
    // What was typed into the record's padding is its information now.
    EXPECT_EQ(Trinode({"--check"}, &code), file + " is whole: 2 bound combinations\n");
    EXPECT_EQ(code, 0);
    EXPECT_EQ(Trinode({"--list"}, &code),
              "Settings\tSystem\tSettings\ttyped\t\nMail\t\t\tPost\t/usr/bin/mail\n");
}

// --- The command line and the display -----------------------------------

struct CommandLineCase {
    const char* name;
    QStringList arguments;
    QStringList environment; // NAME=value; DISPLAY, WAYLAND_DISPLAY and the platform unset first
    int exitCode;
    QString standardOutput; // what it holds
    QString standardError;  // what its only line contains
    QByteArray input = {};  // its standard input
};

void PrintTo(const CommandLineCase& c, std::ostream* os) {
    *os << c.name;
}

class CommandLine : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLine, AnswersWithoutQtAbortingAndSaysWhatIsMissing) {
    const CommandLineCase& c = GetParam();
    TemporaryHome home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_SESSION_TYPE"})
        env.remove(QString::fromLatin1(name));
    for (const QString& pair : c.environment)
        env.insert(pair.section(u'=', 0, 0), pair.section(u'=', 1));
    QProcess trinode;
    trinode.setProcessEnvironment(env);
    Start(trinode, c.arguments, c.input);
    ASSERT_TRUE(trinode.waitForFinished(20000));
    const QString out = QString::fromLocal8Bit(trinode.readAllStandardOutput());
    const QString err = QString::fromLocal8Bit(trinode.readAllStandardError());
    EXPECT_EQ(trinode.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(trinode.exitCode(), c.exitCode) << err.toStdString();
    if (c.standardOutput.isEmpty())
        EXPECT_TRUE(out.isEmpty()) << out.toStdString();
    else
        EXPECT_TRUE(out.contains(c.standardOutput)) << out.toStdString();
    if (c.standardError.isEmpty()) {
        EXPECT_TRUE(err.isEmpty()) << err.toStdString();
    } else {
        EXPECT_TRUE(err.contains(c.standardError)) << err.toStdString();
        EXPECT_EQ(err.count(u'\n'), 1) << err.toStdString();
        EXPECT_TRUE(err.startsWith(QLatin1String("trinode: "))) << err.toStdString();
    }
    // Refused lines write nothing; nothing here makes a file.
    EXPECT_FALSE(QFile::exists(home.CombinationFile()));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLine,
    ::testing::Values(
        CommandLineCase{"HelpWithoutADisplay", {"--help"}, {}, 0, "Usage: trinode", ""},
        CommandLineCase{"ShortHelp", {"-h"}, {}, 0, "Usage: trinode", ""},
        CommandLineCase{"HelpNamesTheWindowsKeys", {"--help"}, {}, 0, "\n  Ctrl+F, F3 ", ""},
        CommandLineCase{"VersionWithoutADisplay", {"--version"}, {}, 0, "Trinode 1.", ""},
        CommandLineCase{
            "UnknownOption", {"--frobnicate"}, {}, 1, "", "unknown option --frobnicate"},
        CommandLineCase{"NoDisplayNamed", {}, {}, 1, "", "neither DISPLAY nor WAYLAND_DISPLAY"},
        CommandLineCase{"ListWithoutAFile", {"--list", "music"}, {}, 0, "", ""},
        CommandLineCase{"ImportALineOfTooFewFields",
                        {"--import", "-"},
                        {},
                        1,
                        "",
                        "-: line 2: it holds 2 fields",
                        "\tMusic\t\tPlayer\t/p\nFiles\tx\n"},
        CommandLineCase{"ImportAnUnknownButton",
                        {"--import", "-"},
                        {},
                        1,
                        "",
                        "socket 1 names no button: “music”",
                        "music\t\t\tPlayer\t/p\n"},
        CommandLineCase{"ImportATooLongInformation",
                        {"--import", "-"},
                        {},
                        1,
                        "",
                        "the information takes 31 bytes",
                        "Music\t\t\t" + QByteArray(31, 'i') + "\t/p\n"},
        CommandLineCase{"ImportAPathHoldingANul",
                        {"--import", "-"},
                        {},
                        1,
                        "",
                        "-: line 3: the path holds a NUL byte",
                        "# bindings\n\nMusic\t\t\tPlayer\t/p\\x00q\n"},
        CommandLineCase{"ImportAByteOrderMarkReadsAsNothing",
                        {"--import", "-"},
                        {},
                        1,
                        "",
                        "-: line 1: it holds 4 fields",
                        "\xef\xbb\xbf"
                        "Files\t\t\tF\n"},
        CommandLineCase{"ImportAnEndlessInput",
                        {"--import", "/dev/zero"},
                        {},
                        1,
                        "",
                        "/dev/zero: more than 16,777,216 bytes"},
        CommandLineCase{"CheckWithoutAFile", {"--check"}, {}, 0, "/", ""},
        CommandLineCase{"SuggestWithoutApplications",
                        {"--suggest"},
                        {"XDG_DATA_HOME=/nonexistent", "XDG_DATA_DIRS=/nonexistent",
                         "GSETTINGS_BACKEND=memory"},
                        0,
                        "",
                        ""},
        CommandLineCase{"ImportABadEscape",
                        {"--import", "-"},
                        {},
                        1,
                        "",
                        "neither \\\\ nor \\x",
                        "Music\t\t\tPlayer\t/p\\q\n"},
        CommandLineCase{"XServerThatIsNotThere",
                        {},
                        {"DISPLAY=:4999"},
                        1,
                        "",
                        "no usable display: could not connect to display :4999"},
        CommandLineCase{"WaylandCompositorThatIsNotThere",
                        {},
                        {"QT_QPA_PLATFORM=wayland", "WAYLAND_DISPLAY=trinode-none"},
                        1,
                        "",
                        "no usable display"}),
    [](const auto& info) { return std::string(info.param.name); });
