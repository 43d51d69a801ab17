// The one running instance per user and file, against what other users and
// odd directories can do: where the socket may live, which names meet, a
// listener of another user squatting on the name, and idle connections
// flooding the running instance.

#include "platform/SingleInstance.h"
#include "store/CombinationTable.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <thread>
#include <vector>

namespace {

const QString Squatter = QStringLiteral(TRINODE_SQUATTER);

// Every table of cases below prints a case as its name.
template <class Case>
requires requires(const Case& c) {
    c.name;
}
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

// Holds an instance's lock as a running Trinode does, so that a start goes
// looking for it at the socket.
class HeldLock final {
public:
    explicit HeldLock(const QString& socketPath) {
        const QByteArray name = QFile::encodeName(socketPath).chopped(7) + ".lock";
        m_fd = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        EXPECT_GE(m_fd, 0);
        EXPECT_EQ(::flock(m_fd, LOCK_EX | LOCK_NB), 0);
    }
    ~HeldLock() { ::close(m_fd); }

private:
    int m_fd = -1;
};

// A start that only looks whether the name is held (the front of a second
// start) holds its lock for a moment: a first start that meets it there
// claims the name once it lets go, and is the one that later starts reach.
TEST(FirstStart, ClaimsTheNameOnceALookAtItIsOver) {
    TemporaryHome home;
    SingleInstance instance(home.CombinationFile());
    auto look = std::make_unique<HeldLock>(instance.SocketPath());
    std::thread ending([&look] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        look.reset();
    });
    EXPECT_EQ(instance.HandOverOrClaim([]() { return SummonRequest{}; }, QDeadlineTimer(30000)),
              SingleInstance::Outcome::Claimed);
    ending.join();
}

// --- Where the socket lives ------------------------------------------------

enum class Expected { Runtime, Fallback, Refused };

struct DirectoryCase {
    const char* name;
    // Made under a base folder that is HOME, and whose tmp/ is TMPDIR, in
    // order: "dir 700" a folder of that mode, "name->target" a link, "own
    // name" given to another user (root only), "=path" XDG_RUNTIME_DIR under
    // the base ("=@path": the relative path as it is). {cache} stands for
    // .cache/trinode, {tmp} for tmp/trinode-<uid>, {long} for a name that
    // makes an 80-byte path.
    QStringList make;
    Expected expected;
    bool secondStartHandsOver = false; // checked with two real starts
};

class InstanceDirectory : public ::testing::TestWithParam<DirectoryCase> {};

TEST_P(InstanceDirectory, OnlyAPrivateDirectoryOfTheUserHoldsTheSocket) {
    const DirectoryCase& c = GetParam();
    if (c.make.join(' ').contains("own ") && ::geteuid() != 0)
        GTEST_SKIP() << "needs root to make a directory of another user";
    ScopedVariable runtimeScope("XDG_RUNTIME_DIR", std::nullopt);
    ScopedVariable cacheScope("XDG_CACHE_HOME", std::nullopt);
    QTemporaryDir base;
    QDir(base.path()).mkdir(QStringLiteral("tmp"));
    const QString fallback = base.filePath(QStringLiteral(".cache/trinode"));
    ScopedVariable homeScope("HOME", QFile::encodeName(base.path()));
    ScopedVariable tmpScope("TMPDIR", QFile::encodeName(base.filePath(QStringLiteral("tmp"))));
    for (QString step : c.make) {
        step.replace("{cache}", ".cache/trinode")
            .replace("{tmp}", QStringLiteral("tmp/trinode-%1").arg(::getuid()))
            .replace("{long}", QString(79 - base.path().size(), u'r'));
        const QByteArray path = QFile::encodeName(base.filePath(step.section(' ', 0, 0)));
        if (step.startsWith('='))
            qputenv("XDG_RUNTIME_DIR", step.startsWith("=@")
                                           ? step.mid(2).toLocal8Bit()
                                           : QFile::encodeName(base.filePath(step.mid(1))));
        else if (step.startsWith("own "))
            ASSERT_EQ(::chown(QFile::encodeName(base.filePath(step.mid(4))).constData(), UnusedId(),
                              UnusedId()),
                      0);
        else if (step.contains("->"))
            ASSERT_TRUE(QFile::link(base.filePath(step.section("->", 1)),
                                    base.filePath(step.section("->", 0, 0))));
        else
            ASSERT_TRUE(::mkdir(path.constData(), 0700) == 0 &&
                        ::chmod(path.constData(), step.section(' ', 1).toUInt(nullptr, 8)) == 0)
                << step.toStdString();
    }

    const QString socket = SingleInstance(base.filePath(QStringLiteral("a.cmb"))).SocketPath();
    switch (c.expected) {
    case Expected::Runtime:
        EXPECT_EQ(QFileInfo(socket).path(), QFile::decodeName(qgetenv("XDG_RUNTIME_DIR")));
        break;
    case Expected::Fallback:
        EXPECT_EQ(QFileInfo(socket).path(), fallback);
        EXPECT_EQ(StatOf(fallback).st_mode & 0777, 0700u);
        break;
    case Expected::Refused: {
        EXPECT_TRUE(socket.isEmpty()) << socket.toStdString();
        // Trinode then runs on its own and says why.
        SingleInstance instance(base.filePath(QStringLiteral("a.cmb")));
        EXPECT_EQ(instance.HandOverOrClaim([]() { return SummonRequest{}; }),
                  SingleInstance::Outcome::Alone);
        EXPECT_TRUE(instance.Message().contains(fallback)) << instance.Message().toStdString();
        break;
    }
    }
    if (c.secondStartHandsOver) {
        TrinodeProcess first;
        ASSERT_TRUE(WaitUntilSummoned(base.filePath(QStringLiteral("TrinodeRun.cmb"))));
        TrinodeProcess second;
        ASSERT_TRUE(second.Process().waitForFinished(20000));
        EXPECT_EQ(second.Process().exitCode(), 0) << second.StandardError().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Directories, InstanceDirectory,
    ::testing::Values(
        DirectoryCase{"PrivateRuntimeDirectory", {"run 700", "=run"}, Expected::Runtime},
        DirectoryCase{"RuntimeDirectoryOthersCanEnter", {"run 755", "=run"}, Expected::Fallback},
        DirectoryCase{"RuntimeDirectoryUnset", {}, Expected::Fallback},
        DirectoryCase{"RuntimeDirectoryRelative", {"=@run"}, Expected::Fallback},
        DirectoryCase{
            "RuntimeDirectoryIsALink", {"real 700", "run->real", "=run"}, Expected::Fallback},
        DirectoryCase{"FallbackLeftOpenToOthers", {".cache 700", "{cache} 777"}, Expected::Refused},
        DirectoryCase{"FallbackIsALinkToAPrivateDirectory",
                      {".cache 700", "elsewhere 700", "{cache}->elsewhere"},
                      Expected::Refused},
        DirectoryCase{"FallbackMadeByAnotherUser",
                      {".cache 700", "{cache} 700", "own {cache}"},
                      Expected::Refused},
        DirectoryCase{
            "RuntimeDirectoryOfAnotherUser", {"run 700", "own run", "=run"}, Expected::Fallback},
        DirectoryCase{"TemporaryFolderOfTheNameMadeByAnotherUser",
                      {"{tmp} 700", "own {tmp}"},
                      Expected::Fallback,
                      true},
        DirectoryCase{"RuntimeDirectoryTooLongForASocketAddress",
                      {"{long} 700", "={long}"},
                      Expected::Runtime,
                      true}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Which names meet -----------------------------------------------------

struct KeyCase {
    const char* name;
    // Made under the home in order: "dir/" a folder, "name" an empty file,
    // "name->target" a link, "name=>file" a hard link.
    QStringList make;
    QString one, two; // the names compared, under the home
    bool same;
};

class InstanceKey : public ::testing::TestWithParam<KeyCase> {};

TEST_P(InstanceKey, OneFileIsOneInstanceWhateverItIsCalled) {
    TemporaryHome home;
    const QDir dir(home.Path());
    for (const QString& entry : GetParam().make) {
        if (entry.endsWith('/'))
            ASSERT_TRUE(dir.mkpath(entry));
        else if (entry.contains("=>"))
            ASSERT_EQ(
                ::link(QFile::encodeName(dir.filePath(entry.section("=>", 1))).constData(),
                       QFile::encodeName(dir.filePath(entry.section("=>", 0, 0))).constData()),
                0);
        else if (entry.contains("->"))
            ASSERT_TRUE(
                QFile::link(entry.section("->", 1), dir.filePath(entry.section("->", 0, 0))));
        else
            WriteAll(dir.filePath(entry), "x");
    }
    const QString a = SingleInstance(dir.filePath(GetParam().one)).SocketPath();
    const QString b = SingleInstance(dir.filePath(GetParam().two)).SocketPath();
    ASSERT_FALSE(a.isEmpty());
    EXPECT_EQ(a == b, GetParam().same);
}

INSTANTIATE_TEST_SUITE_P(
    Names, InstanceKey,
    ::testing::Values(
        KeyCase{"LinkedHome",
                {"real/", "real/TrinodeRun.cmb", "home->real"},
                "real/TrinodeRun.cmb",
                "home/TrinodeRun.cmb",
                true},
        KeyCase{"LinkedHomeBeforeTheFileExists",
                {"real/", "home->real"},
                "real/TrinodeRun.cmb",
                "home/TrinodeRun.cmb",
                true},
        KeyCase{"LinkedFile",
                {"data.cmb", "TrinodeRun.cmb->data.cmb"},
                "data.cmb",
                "TrinodeRun.cmb",
                true},
        KeyCase{"ChainOfTwoLinks",
                {"real/", "mid/", "real/TrinodeRun.cmb", "mid/link2.cmb->../real/TrinodeRun.cmb",
                 "TrinodeRun.cmb->mid/link2.cmb"},
                "real/TrinodeRun.cmb",
                "TrinodeRun.cmb",
                true},
        KeyCase{"DanglingLinkMeetsItsFutureTarget",
                {"real/", "TrinodeRun.cmb->real/TrinodeRun.cmb"},
                "real/TrinodeRun.cmb",
                "TrinodeRun.cmb",
                true},
        KeyCase{"DotDotInThePath", {"sub/"}, "TrinodeRun.cmb", "sub/../TrinodeRun.cmb", true},
        // The kernel takes ".." from where the link leads, not from the name.
        KeyCase{"DotDotAfterALink",
                {"real/sub/", "link->real/sub"},
                "real/TrinodeRun.cmb",
                "link/../TrinodeRun.cmb",
                true},
        KeyCase{"TwoFilesInOneDirectory", {"one.cmb", "two.cmb"}, "one.cmb", "two.cmb", false},
        KeyCase{"AHardLinkIsAnotherName",
                {"one.cmb", "two.cmb=>one.cmb"},
                "one.cmb",
                "two.cmb",
                false}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Another user on the name ---------------------------------------------

struct SquatCase {
    const char* name;
    const char* style;     // how the squatter behaves
    bool instanceLockHeld; // a running instance owns the name meanwhile
    bool sameUser = false; // the squatter is this user's program, not Trinode
};

class SquattingListener : public ::testing::TestWithParam<SquatCase> {};

TEST_P(SquattingListener, NeverStopsTrinodeFromStarting) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to run a listener as another user (setpriv)";
    const SquatCase& c = GetParam();
    TemporaryHome home;
    const QString socketPath = SingleInstance(home.CombinationFile()).SocketPath();
    ASSERT_FALSE(socketPath.isEmpty());
    const uid_t other = c.sameUser ? ::geteuid() : UnusedId();

    // The other user binds in a directory of its own; the socket is then
    // put at the instance's name, as a user who could reach it would.
    QTemporaryDir squatDir;
    ASSERT_EQ(::chown(QFile::encodeName(squatDir.path()).constData(), other, other), 0);
    QProcess squatter;
    squatter.start(QStringLiteral("setpriv"),
                   {QStringLiteral("--reuid=%1").arg(other),
                    QStringLiteral("--regid=%1").arg(other), QStringLiteral("--clear-groups"),
                    Squatter, QString::fromLatin1(c.style),
                    squatDir.filePath(QStringLiteral("s.socket"))});
    ASSERT_TRUE(squatter.waitForReadyRead(20000)) << squatter.readAllStandardError().toStdString();
    ASSERT_EQ(squatter.readLine().trimmed(), "listening");
    ASSERT_EQ(::rename(QFile::encodeName(squatDir.filePath(QStringLiteral("s.socket"))).constData(),
                       QFile::encodeName(socketPath).constData()),
              0);

    std::unique_ptr<HeldLock> lock;
    if (c.instanceLockHeld)
        lock = std::make_unique<HeldLock>(socketPath);
    TrinodeProcess trinode;
    const QString uidText = c.sameUser ? QStringLiteral("did not answer as Trinode")
                                       : QStringLiteral("uid %1").arg(other);
    EXPECT_TRUE(trinode.SaysOnStandardError(uidText)) << trinode.StandardError().toStdString();
    // It started: the window's start-up made the file, and it keeps running.
    QDeadlineTimer deadline(20000);
    while (QFileInfo(home.CombinationFile()).size() != CombinationTable::FileSize &&
           !deadline.hasExpired() && trinode.Process().state() == QProcess::Running)
        trinode.Process().waitForFinished(20);
    EXPECT_EQ(QFileInfo(home.CombinationFile()).size(), CombinationTable::FileSize);
    EXPECT_EQ(trinode.Process().state(), QProcess::Running);
    if (!c.instanceLockHeld) {
        // Nothing held the name: this Trinode took it over and answers, and
        // says nothing to the other user, were they let through to it.
        EXPECT_TRUE(WaitUntilSummoned(home.CombinationFile()));
        ASSERT_EQ(::chmod(QFile::encodeName(QFileInfo(socketPath).path()).constData(), 0711), 0);
        ASSERT_EQ(::chmod(QFile::encodeName(socketPath).constData(), 0777), 0);
        LineChild knock(Squatter, {"knock", socketPath}, other);
        EXPECT_TRUE(knock.WaitFor("closed"));
    }
    squatter.kill();
    squatter.waitForFinished();
}

INSTANTIATE_TEST_SUITE_P(
    Styles, SquattingListener,
    ::testing::Values(SquatCase{"AcceptsAndSaysNothing", "silent", true},
                      SquatCase{"AnswersRaised", "raised", true},
                      SquatCase{"AnotherProgramOfTheUserAnswers", "raised", true, true},
                      SquatCase{"NeverAccepts", "never", true},
                      SquatCase{"AnswersRaisedWhileNoTrinodeRuns", "raised", false},
                      SquatCase{"NeverAcceptsWhileNoTrinodeRuns", "never", false}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Idle connections -----------------------------------------------------

// True once the other end has closed the connection (after its greeting).
bool ClosedByPeer(int fd) {
    char buffer[64];
    for (;;) {
        const ssize_t n = ::recv(fd, buffer, sizeof(buffer), MSG_DONTWAIT);
        if (n == 0)
            return true;
        if (n < 0)
            return errno == ECONNRESET;
    }
}

struct FloodCase {
    const char* name;
    QStringList wrapper; // runs trinode under it
};

class IdleConnections : public ::testing::TestWithParam<FloodCase> {};

TEST_P(IdleConnections, AreDroppedAndASecondStartStillGetsThrough) {
    TemporaryHome home;
    TrinodeProcess trinode({}, GetParam().wrapper);
    ASSERT_TRUE(WaitUntilSummoned(home.CombinationFile())) << trinode.StandardError().toStdString();
    const QString socketPath = SingleInstance(home.CombinationFile()).SocketPath();

    std::vector<FileDescriptor> idle;
    std::vector<int> open;
    for (int i = 0; i < 300; ++i) {
        open.push_back(idle.emplace_back(ConnectTo(QFile::encodeName(socketPath))).Get());
        ASSERT_GE(open.back(), 0);
    }
    // A real second start goes through the crowd.
    EXPECT_TRUE(Summoned(home.CombinationFile()));

    // Every silent connection is closed by the instance in the end.
    QDeadlineTimer deadline(60000);
    while (!open.empty() && !deadline.hasExpired()) {
        std::vector<pollfd> polls;
        for (const int fd : open)
            polls.push_back({fd, POLLIN, 0});
        ::poll(polls.data(), polls.size(), 1000);
        std::erase_if(open, [](int fd) { return ClosedByPeer(fd); });
    }
    EXPECT_TRUE(open.empty()) << open.size() << " idle connections still open";
    EXPECT_EQ(trinode.Process().state(), QProcess::Running);
    EXPECT_TRUE(Summoned(home.CombinationFile()));
}

INSTANTIATE_TEST_SUITE_P(Limits, IdleConnections,
                         ::testing::Values(FloodCase{"UsualDescriptorLimit", {}},
                                           // So few descriptors that accepting runs out of them.
                                           FloodCase{"TightDescriptorLimit",
                                                     {QStringLiteral("prlimit"),
                                                      QStringLiteral("--nofile=28:28")}}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
