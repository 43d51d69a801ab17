#include "platform/SessionBus.h"
#include "store/FileDescriptor.h"
#include "platform/OpenPath.h"
#include "platform/SessionBusAddress.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <optional>
#include <ostream>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

enum class RuntimeBus { None, Socket, RegularFile, NoRuntimeDirectory };

struct BusCase {
    const char* name;
    std::optional<QByteArray> address; // nothing: the variable is unset
    RuntimeBus runtimeBus;
    bool prevented;
};

void PrintTo(const BusCase& c, std::ostream* out) {
    *out << c.name;
}

class SessionBusTest : public ::testing::TestWithParam<BusCase> {};

TEST_P(SessionBusTest, NoBusIsStartedAndChildrenSeeTheSessionsOwnAddress) {
    const BusCase& c = GetParam();
    QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    const QByteArray bus = QFile::encodeName(runtime.filePath("bus"));
    if (c.runtimeBus == RuntimeBus::Socket)
        ListenAt(bus); // and closed at once
    if (c.runtimeBus == RuntimeBus::RegularFile) {
        QFile file(QString::fromLocal8Bit(bus));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    const ScopedVariable runtimeDirectory("XDG_RUNTIME_DIR",
                                          c.runtimeBus == RuntimeBus::NoRuntimeDirectory
                                              ? std::nullopt
                                              : std::optional(QFile::encodeName(runtime.path())));
    const ScopedVariable address("DBUS_SESSION_BUS_ADDRESS", c.address);

    SessionBus::PreventAutolaunch();

    EXPECT_EQ(SessionBus::AutolaunchPrevented(), c.prevented);
    EXPECT_EQ(IsTrinodeOnlyVariable("DBUS_SESSION_BUS_ADDRESS"), c.prevented);
    if (c.prevented) {
        // An address that refuses at once: nothing is listening, and nothing
        // can be made to.
        const QByteArray refusing = qgetenv("DBUS_SESSION_BUS_ADDRESS");
        ASSERT_TRUE(refusing.startsWith("unix:path=")) << refusing.constData();
        const QByteArray path = refusing.mid(int(sizeof "unix:path=") - 1);
        EXPECT_FALSE(ConnectTo(path).IsOpen());
    } else if (c.address) {
        EXPECT_EQ(qgetenv("DBUS_SESSION_BUS_ADDRESS"), *c.address);
    } else {
        EXPECT_FALSE(qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sessions, SessionBusTest,
    ::testing::Values(
        BusCase{"NoAddressNoUserBus", std::nullopt, RuntimeBus::None, true},
        BusCase{"AnEmptyAddress", QByteArray(""), RuntimeBus::None, true},
        BusCase{"NoRuntimeDirectory", std::nullopt, RuntimeBus::NoRuntimeDirectory, true},
        BusCase{"ABusFileThatIsNoSocket", std::nullopt, RuntimeBus::RegularFile, true},
        BusCase{"TheUsersBusInTheRuntimeDirectory", std::nullopt, RuntimeBus::Socket, false},
        BusCase{"AnAddressGiven", QByteArray("unix:path=/run/user/1000/bus"), RuntimeBus::None,
                false},
        BusCase{"AnAddressGivenBesideAUserBus", QByteArray("unix:abstract=/tmp/dbus-x"),
                RuntimeBus::Socket, false}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Addresses where nothing answers in time ------------------------------

struct AddressCase {
    const char* name;
    // {dir} the test's folder, which holds "silent" (a Unix socket that takes
    // connections and never answers; "@{dir}/abstract" is another), "full"
    // (one whose queue of connections is full) and "nonce"; {port} a TCP port that does the same; {script} a program that starts another, writes
    // both their pids to {dir}/pids and never answers; {unix-bus}, {tcp-bus}, {nonce-tcp-bus} a
    // real bus's addresses.
    const char* address;
    bool answers;
    bool killedDuringTheCheck = false; // a real Trinode checks, and is killed meanwhile
};

void PrintTo(const AddressCase& c, std::ostream* out) {
    *out << c.name;
}

// A real bus listening on a Unix socket, TCP and TCP with a nonce: its
// addresses, read from its first line.
QByteArray StartBus(QProcess& daemon, const QTemporaryDir& dir) {
    WriteAll(dir.filePath("bus.conf"),
             "<busconfig><type>session</type><listen>unix:tmpdir=" + QFile::encodeName(dir.path()) +
                 "</listen><listen>tcp:host=127.0.0.1,port=0</listen><listen>nonce-tcp:host="
                 "127.0.0.1,port=0</listen><auth>EXTERNAL</auth></busconfig>");
    // The nonce's file goes into a folder of its own under TMPDIR, which a
    // killed daemon leaves behind: the test's folder takes it.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("TMPDIR", dir.path());
    daemon.setProcessEnvironment(environment);
    daemon.start("dbus-daemon",
                 {"--config-file=" + dir.filePath("bus.conf"), "--nofork", "--print-address"});
    return daemon.waitForReadyRead(20000) ? daemon.readLine().trimmed() : QByteArray();
}

int SilentTcpPort(const FileDescriptor& listener) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    EXPECT_EQ(::bind(listener.Get(), reinterpret_cast<sockaddr*>(&address), length), 0);
    ::listen(listener.Get(), 16);
    ::getsockname(listener.Get(), reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

// Ended: no such process, or one that only waits to be reaped.
bool Gone(const QByteArray& pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    return !stat.open(QIODevice::ReadOnly) || stat.readAll().contains(") Z ");
}

class BusAddress : public ::testing::TestWithParam<AddressCase> {};

TEST_P(BusAddress, WhatDoesNotAnswerInTimeIsPassedOverAndNothingItStartedIsLeft) {
    QTemporaryDir dir;
    const QByteArray path = QFile::encodeName(dir.path());
    const FileDescriptor silent(ListenAt(path + "/silent"));
    const FileDescriptor silentAbstract(ListenAt('@' + path + "/abstract"));
    const FileDescriptor silentTcp(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    // A queue of connections that is full, with one that no one accepts.
    const FileDescriptor full(ListenAt(path + "/full", 0));
    const FileDescriptor waiting(ConnectTo(path + "/full"));
    WriteAll(dir.filePath("nonce"), QByteArray(16, 'n'));
    QByteArray address = GetParam().address;
    QProcess daemon;
    if (address.contains("-bus}")) {
        for (const SessionBusAddress& bus : SessionBusAddress::ParseList(StartBus(daemon, dir)))
            address.replace('{' + bus.Transport() + "-bus}", bus.Text());
    }
    address.replace(
        "{script}",
        QByteArray("sleep 1000 & echo $$ $! >{dir}/pids; wait").toPercentEncoding("/{}"));
    address.replace("{dir}", path).replace("{port}", QByteArray::number(SilentTcpPort(silentTcp)));
    const ScopedVariable variable("DBUS_SESSION_BUS_ADDRESS", address);

    if (GetParam().killedDuringTheCheck) {
        TrinodeProcess trinode;
        QFile pids(dir.filePath("pids"));
        EXPECT_TRUE(QTest::qWaitFor([&pids] { return pids.size() > 0; }, 20000));
    } else {
        SessionBus::PassOverSilentBus();
        EXPECT_EQ(SessionBus::AutolaunchPrevented(), !GetParam().answers) << address.constData();
    }
    if (address.startsWith("unixexec:")) {
        const QList<QByteArray> pids = ReadAll(dir.filePath("pids")).simplified().split(' ');
        EXPECT_EQ(pids.size(), 2);
        for (const QByteArray& pid : pids)
            EXPECT_TRUE(QTest::qWaitFor([&pid] { return Gone(pid); }, 20000)) << pid.constData();
    }
    daemon.kill();
    daemon.waitForFinished();
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, BusAddress,
    ::testing::Values(
        AddressCase{"SilentTcp", "tcp:host=127.0.0.1,port={port}", false},
        AddressCase{"SilentTcpOfItsFamily", "tcp:host=localhost,port={port},family=ipv4", false},
        AddressCase{"AFullQueueOfConnections", "unix:path={dir}/full", false},
        AddressCase{"SilentNonceTcp", "nonce-tcp:host=127.0.0.1,port={port},noncefile={dir}/nonce",
                    false},
        AddressCase{"NoSocketThenASilentOne", "unix:path=/nonexistent;unix:path={dir}/silent",
                    false},
        AddressCase{"SilentAbstractName", "unix:abstract={dir}/abstract", false},
        AddressCase{"ProgramThatNeverAnswers", "unixexec:path=/bin/sh,argv1=-c,argv2={script}",
                    false},
        AddressCase{"ProgramThatNeverAnswersWhileTrinodeIsKilled",
                    "unixexec:path=/bin/sh,argv1=-c,argv2={script}", false, true},
        AddressCase{"AutolaunchBeforeARealBus", "autolaunch:;{unix-bus}", false},
        AddressCase{"RealBus", "{unix-bus}", true},
        AddressCase{"NoSocketThenARealBus", "unix:path=/nonexistent;{unix-bus}", true},
        AddressCase{"RealBusOverTcp", "{tcp-bus}", true},
        AddressCase{"RealBusOverNonceTcp", "{nonce-tcp-bus}", true},
        AddressCase{"NothingListens", "unix:path=/nonexistent;tcp:host=127.0.0.1,port=1", true}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
