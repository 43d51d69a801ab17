#include "platform/SessionBus.h"
#include "platform/OpenPath.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <cstring>
#include <optional>
#include <ostream>

#include <sys/socket.h>
#include <sys/un.h>
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

// Sets a variable for one test and puts the old value back afterwards.
class ScopedVariable final {
public:
    ScopedVariable(const char* name, const std::optional<QByteArray>& value) : m_name(name) {
        if (qEnvironmentVariableIsSet(name))
            m_old = qgetenv(name);
        if (value)
            qputenv(name, *value);
        else
            qunsetenv(name);
    }
    ~ScopedVariable() {
        if (m_old)
            qputenv(m_name, *m_old);
        else
            qunsetenv(m_name);
    }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* m_name;
    std::optional<QByteArray> m_old;
};

// A listening Unix socket, as a user's session bus leaves in the runtime
// directory.
void ListenAt(const QByteArray& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(size_t(path.size()), sizeof address.sun_path);
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(fd, 1), 0);
    ::close(fd);
}

class SessionBusTest : public ::testing::TestWithParam<BusCase> {};

TEST_P(SessionBusTest, NoBusIsStartedAndChildrenSeeTheSessionsOwnAddress) {
    const BusCase& c = GetParam();
    QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    const QByteArray bus = QFile::encodeName(runtime.filePath("bus"));
    if (c.runtimeBus == RuntimeBus::Socket)
        ListenAt(bus);
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
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un target{};
        target.sun_family = AF_UNIX;
        std::memcpy(target.sun_path, path.constData(), size_t(path.size()));
        EXPECT_NE(::connect(fd, reinterpret_cast<sockaddr*>(&target), sizeof target), 0);
        ::close(fd);
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
