#include "platform/OpenPath.h"
#include "store/TrinodeError.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTest>

#include <csignal>
#include <fcntl.h>
#include <optional>
#include <ostream>
#include <unistd.h>

// Everything GIO could find lives in one temporary tree: a handler for files
// and folders and one for https URLs, both the recorder script, and nothing
// from the system. GIO reads the XDG directories once per process, so the tree
// is set up before the first GIO call and shared by every scenario.
namespace {

constexpr auto RecorderScript = R"(#!/bin/sh
{
  printf 'program=%s\n' "$0"
  directory=$(/bin/pwd -P)
  printf 'cwd=%s\n' "$directory"
  for argument in "$@"; do printf 'arg=%s\n' "$argument"; done
  grep -E '^Sig(Blk|Ign)' /proc/$$/status | tr -d '\t' | sed 's/^/signals=/'
  printf 'environment:\n'
  env
} > "{root}/marker.part" && mv "{root}/marker.part" "{root}/marker"
)";

struct Launch {
    QString program;
    QString directory;
    QStringList arguments;
    QStringList environment;
    QStringList signalState;
};

class OpenPathTest : public ::testing::Test {
public:
    static void SetUpTestSuite() {
        TemporaryDesktop& desktop = s_desktop.emplace();
        QDir().mkpath(Rooted("{root}/files/my folder"));
        desktop.Set("HOME", "{root}/home");
        // What a desktop hands to Trinode's own start, and one session choice.
        desktop.Set("DESKTOP_STARTUP_ID", "trinode-startup");
        desktop.Set("XDG_ACTIVATION_TOKEN", "trinode-activation");
        desktop.Set("TRINODE_PROBE", "trinode-only");
        desktop.Set("QT_QPA_PLATFORMTHEME", "trinode-theme");
        // A signal state of Trinode's own, which nothing it starts may keep.
        std::signal(SIGXFSZ, SIG_IGN);
        sigset_t blocked;
        sigemptyset(&blocked);
        sigaddset(&blocked, SIGUSR2);
        pthread_sigmask(SIG_BLOCK, &blocked, nullptr);

        desktop.Write("record.sh", RecorderScript, true);
        desktop.Write("files/run me.sh", RecorderScript, true);
        desktop.Write("home/-dash.sh", RecorderScript, true);
        desktop.Write("files/no interpreter", "echo started\n", true);
        desktop.Write(
            "data/applications/trinode-files.desktop",
            "[Desktop Entry]\nType=Application\nName=Files\nExec=\"{root}/record.sh\" %f\n"
            "MimeType=application/x-trinode-test;text/plain;inode/directory;\n");
        desktop.Write("data/applications/trinode-urls.desktop",
                      "[Desktop Entry]\nType=Application\nName=URLs\nExec=\"{root}/record.sh\" %u\n"
                      "MimeType=x-scheme-handler/https;\n");
        desktop.Write("config/mimeapps.list", "[Default Applications]\n"
                                              "application/x-trinode-test=trinode-files.desktop\n"
                                              "text/plain=trinode-files.desktop\n"
                                              "inode/directory=trinode-files.desktop\n"
                                              "x-scheme-handler/https=trinode-urls.desktop\n");
        desktop.Write("data/mime/globs2", "50:application/x-trinode-test:*.trinodetest\n");
        desktop.Write("files/notes.txt", "plain text\n");
        desktop.Write("files/it's \"my\" notes; #1.txt", "plain text\n");
        desktop.Write("home/-rf.txt", "plain text\n");
        desktop.Write("files/report.trinodetest", QByteArray("\x01\x02\x03\x00", 4));
        desktop.Write("files/blob.bin", QByteArray("\x01\x02\x03\x00", 4));
        desktop.Write("files/app.desktop",
                      "[Desktop Entry]\nType=Application\nName=App\nExec=\"{root}/record.sh\"\n");
        // A launcher that a desktop marked as trusted is executable; as a
        // program it would run the recorder with an argument.
        desktop.Write(
            "files/trusted.desktop",
            "#!/bin/sh\n[Desktop Entry]\nType=Application\nName=Trusted\n"
            "Exec=\"{root}/record.sh\"\nX-Shell=1;exec \"{root}/record.sh\" as-a-program\n",
            true);
        desktop.Write(
            "files/link.desktop",
            "[Desktop Entry]\nType=Link\nName=Link\nURL=https://example.org/linked?x=1\n");
        desktop.Write("files/local link.desktop",
                      "[Desktop Entry]\nType=Link\nName=Notes\nURL={root}/files/notes.txt\n");
        desktop.Write(
            "files/missing.desktop",
            "[Desktop Entry]\nType=Application\nName=Missing\nExec={root}/no-such-program %f\n");
        desktop.Write("files/broken.desktop", "not a launcher\n");
        desktop.Write("files/folder.desktop", "[Desktop Entry]\nType=Directory\nName=Folder\n");
        desktop.Write("files/folder program.desktop",
                      "[Desktop Entry]\nType=Application\nName=Folder\nExec={root}/files\n");

        // Trinode works in the home folder: relative texts are taken from
        // there, and programs begin there.
        s_previousDirectory = QDir::currentPath();
        QDir::setCurrent(Rooted("{root}/home"));
    }

    static void TearDownTestSuite() {
        QDir::setCurrent(s_previousDirectory);
        s_desktop.reset();
    }

    static QString Rooted(const QString& text) { return s_desktop->Rooted(text); }

    static QString MarkerPath() { return Rooted("{root}/marker"); }

    static Launch AwaitLaunch() {
        const QString marker = MarkerPath();
        if (!QTest::qWaitFor([&] { return QFile::exists(marker); }, 10000))
            return {};
        QFile file(marker);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        Launch launch;
        bool inEnvironment = false;
        const QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
        for (const QString& line : lines) {
            if (inEnvironment)
                launch.environment << line.section('=', 0, 0);
            else if (line == "environment:")
                inEnvironment = true;
            else if (line.startsWith("program="))
                launch.program = line.mid(8);
            else if (line.startsWith("cwd="))
                launch.directory = line.mid(4);
            else if (line.startsWith("arg="))
                launch.arguments << line.mid(4);
            else if (line.startsWith("signals="))
                launch.signalState << line.mid(8);
        }
        return launch;
    }

protected:
    void SetUp() override { QFile::remove(MarkerPath()); }

private:
    static inline std::optional<TemporaryDesktop> s_desktop;
    static inline QString s_previousDirectory;
};

struct Opened {
    const char* name;
    QString text;
    QString program;
    QStringList arguments;
};

void PrintTo(const Opened& row, std::ostream* out) {
    *out << row.name;
}

class OpensWith : public OpenPathTest, public ::testing::WithParamInterface<Opened> {};

TEST_P(OpensWith, ExactlyTheOneThingInACleanEnvironment) {
    const Opened& row = GetParam();
    ASSERT_NO_THROW(OpenPath(QFile::encodeName(Rooted(row.text))));
    const Launch launch = AwaitLaunch();
    EXPECT_EQ(launch.program, Rooted(row.program));
    QStringList expected;
    for (const QString& argument : row.arguments)
        expected << Rooted(argument);
    EXPECT_EQ(launch.arguments, expected);
    // A program started itself begins where Trinode works.
    if (!row.program.endsWith("/record.sh")) {
        EXPECT_EQ(launch.directory, QDir(Rooted("{root}/home")).canonicalPath());
    }
    for (const char* gone :
         {"QT_QPA_PLATFORM", "DESKTOP_STARTUP_ID", "XDG_ACTIVATION_TOKEN", "TRINODE_PROBE"})
        EXPECT_FALSE(launch.environment.contains(gone)) << gone;
    for (const char* kept : {"QT_QPA_PLATFORMTHEME", "HOME", "PATH"})
        EXPECT_TRUE(launch.environment.contains(kept)) << kept;
    EXPECT_EQ(launch.signalState,
              QStringList({"SigBlk:0000000000000000", "SigIgn:0000000000000000"}));
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, OpensWith,
    ::testing::Values(
        Opened{"Executable", "{root}/files/run me.sh", "{root}/files/run me.sh", {}},
        Opened{"RelativeExecutableWithDash", "-dash.sh", "{root}/home/-dash.sh", {}},
        Opened{"ApplicationLauncher", "{root}/files/app.desktop", "{root}/record.sh", {}},
        Opened{"ExecutableLauncher", "{root}/files/trusted.desktop", "{root}/record.sh", {}},
        Opened{"LinkLauncher",
               "{root}/files/link.desktop",
               "{root}/record.sh",
               {"https://example.org/linked?x=1"}},
        Opened{
            "Document", "{root}/files/notes.txt", "{root}/record.sh", {"{root}/files/notes.txt"}},
        Opened{"LinkLauncherToALocalFile",
               "{root}/files/local link.desktop",
               "{root}/record.sh",
               {"{root}/files/notes.txt"}},
        Opened{"DocumentWithQuotesAndSemicolon",
               "{root}/files/it's \"my\" notes; #1.txt",
               "{root}/record.sh",
               {"{root}/files/it's \"my\" notes; #1.txt"}},
        Opened{"RelativeDocumentWithDash", "-rf.txt", "{root}/record.sh", {"{root}/home/-rf.txt"}},
        Opened{"DocumentByTypeName",
               "{root}/files/report.trinodetest",
               "{root}/record.sh",
               {"{root}/files/report.trinodetest"}},
        Opened{"FolderWithSpace",
               "{root}/files/my folder",
               "{root}/record.sh",
               {"{root}/files/my folder"}},
        Opened{"HttpsUrl",
               "https://example.org/a b?q=1#top",
               "{root}/record.sh",
               {"https://example.org/a%20b?q=1#top"}},
        Opened{"FileUrl",
               "file://{root}/files/notes.txt",
               "{root}/record.sh",
               {"{root}/files/notes.txt"}}),
    [](const auto& info) { return std::string(info.param.name); });

struct Refused {
    const char* name;
    QString text;
    QString message;
};

void PrintTo(const Refused& row, std::ostream* out) {
    *out << row.name;
}

class Refuses : public OpenPathTest, public ::testing::WithParamInterface<Refused> {};

TEST_P(Refuses, WithTheSystemsTextAndStartsNothing) {
    const Refused& row = GetParam();
    QString message;
    try {
        OpenPath(QFile::encodeName(Rooted(row.text)));
        ADD_FAILURE() << "no error";
    } catch (const TrinodeError& error) {
        message = error.Message();
    }
    EXPECT_EQ(message, Rooted(row.message));
    EXPECT_FALSE(QFile::exists(MarkerPath()));
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, Refuses,
    ::testing::Values(
        Refused{"MissingPath", "{root}/files/nothing.txt", "No such file or directory"},
        // Never the shorter name up to the NUL, which names a program here.
        Refused{"NulInsideThePath", "{root}/files/run me.sh" + QString(QChar(0)) + "x",
                "Invalid argument"},
        Refused{"DriveLetterIsAPath", "C:\\Trinode\\run.exe", "No such file or directory"},
        Refused{"FileUsedAsFolder", "{root}/files/notes.txt/more", "Not a directory"},
        Refused{"DocumentWithoutHandler", "{root}/files/blob.bin",
                "No application is registered as handling this file"},
        Refused{"UrlWithoutHandler", "trinode-nothing:here",
                "No application is registered as handling this URL"},
        Refused{"ExecutableOfNoKnownFormat", "{root}/files/no interpreter", "Exec format error"},
        Refused{"LauncherWithMissingProgram", "{root}/files/missing.desktop",
                "{root}/no-such-program: No such file or directory"},
        Refused{"NotALauncher", "{root}/files/broken.desktop",
                "Key file contains line \u201cnot a launcher\u201d which is not a key-value pair, "
                "group, or comment"},
        Refused{"LauncherOfAFolderAsProgram", "{root}/files/folder program.desktop",
                "{root}/files: Is a directory"},
        Refused{"LauncherOfAFolder", "{root}/files/folder.desktop",
                "A launcher of type \u201cDirectory\u201d cannot be opened"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OpenPathTest, ANameThatIsNotUtf8RunsByItsBytes) {
    const QByteArray root = QFile::encodeName(Rooted("{root}"));
    const struct {
        const char* scenario;
        QByteArray name;
        bool started;
    } rows[] = {
        {"a Latin-1 program", root + "/files/caf\xe9 run.sh", true},
        {"a Latin-1 name that is missing", root + "/files/caf\xe9 missing.sh", false},
    };
    QFile script(Rooted("{root}/files/run me.sh"));
    ASSERT_TRUE(script.open(QIODevice::ReadOnly));
    const QByteArray content = script.readAll();
    const QByteArray latin1 = rows[0].name;
    const int fd = ::open(latin1.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0755);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, content.constData(), size_t(content.size())), content.size());
    ::close(fd);
    for (const auto& row : rows) {
        QFile::remove(MarkerPath());
        QString message;
        try {
            OpenPath(row.name);
        } catch (const TrinodeError& error) {
            message = error.Message();
        }
        if (row.started) {
            EXPECT_EQ(message, QString()) << row.scenario;
            const Launch launch = AwaitLaunch();
            EXPECT_TRUE(launch.program.startsWith(Rooted("{root}/files/caf"))) << row.scenario;
            EXPECT_EQ(launch.directory, QDir(Rooted("{root}/home")).canonicalPath());
        } else {
            EXPECT_EQ(message, "No such file or directory") << row.scenario;
        }
    }
    ::unlink(latin1.constData());
}

TEST_F(OpenPathTest, EmptyTextDoesNothing) {
    EXPECT_NO_THROW(OpenPath(QByteArray()));
    EXPECT_FALSE(QFile::exists(MarkerPath()));
}

// Links that lead back into an applications folder would keep GIO's own
// walk of the folders going for ever: a launcher still starts its program,
// and a document is refused at once, with the reason.
TEST_F(OpenPathTest, ALoopInTheApplicationsFoldersHoldsNothing) {
    const QString folder = Rooted("{root}/data-dirs/applications");
    ASSERT_TRUE(QDir().mkpath(folder + "/sub"));
    ASSERT_TRUE(QFile::link("..", folder + "/sub/loop"));
    ASSERT_TRUE(QFile::link("../applications", folder + "/self"));
    const auto removed = qScopeGuard([&] { QDir(folder).removeRecursively(); });
    EXPECT_NO_THROW(OpenPath(QFile::encodeName(Rooted("{root}/files/app.desktop"))));
    EXPECT_EQ(AwaitLaunch().program, Rooted("{root}/record.sh"));
    QFile::remove(MarkerPath());
    QString message;
    try {
        OpenPath(QFile::encodeName(Rooted("{root}/files/notes.txt")));
    } catch (const TrinodeError& error) {
        message = error.Message();
    }
    EXPECT_TRUE(message.startsWith("The applications folder " + folder + "/"))
        << message.toStdString();
    EXPECT_TRUE(message.endsWith(
        " leads back into a folder it is in, so no default application can be looked up"));
    EXPECT_FALSE(QFile::exists(MarkerPath()));
}

TEST(TrinodeOnlyVariables, AreThoseOfTrinodesOwnStart) {
    const struct {
        const char* name;
        bool trinodeOnly;
    } rows[] = {
        {"QT_QPA_PLATFORM", true},       {"QT_QPA_PLATFORM_PLUGIN_PATH", true},
        {"DESKTOP_STARTUP_ID", true},    {"DESKTOP_AUTOSTART_ID", true},
        {"XDG_ACTIVATION_TOKEN", true},  {"TRINODE_SOURCE_DIR", true},
        {"QT_QPA_PLATFORMTHEME", false}, {"QT_SCALE_FACTOR", false},
        {"QT_IM_MODULE", false},         {"MY_QT_QPA_PLATFORM", false},
        {"DESKTOP_SESSION", false},      {"XDG_CURRENT_DESKTOP", false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(IsTrinodeOnlyVariable(QString::fromLatin1(row.name)), row.trinodeOnly)
            << row.name;
}

} // namespace
