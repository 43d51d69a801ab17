#include "platform/SessionBus.h"
#include "platform/OpenPath.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <optional>
#include <ostream>

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
        ::close(ListenAt(bus));
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
        EXPECT_EQ(ConnectTo(path), -1);
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

} // namespace
