#include "platform/SessionBus.h"

#include <QByteArray>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <thread>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr char AddressVariable[] = "DBUS_SESSION_BUS_ADDRESS";
// A path that nobody but root can replace, and that is never a socket: a
// connection to it fails at once, and no one can listen there instead.
constexpr char RefusingAddress[] = "unix:path=/dev/null";

// The user's bus, which the D-Bus libraries look for when no address is
// given.
bool UserBusExists() {
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (runtime.isEmpty())
        return false;
    struct stat status {};
    const QByteArray path = runtime + "/bus";
    return ::stat(path.constData(), &status) == 0 && S_ISSOCK(status.st_mode);
}

// The socket the D-Bus libraries would reach first: the first address in the
// variable when it is a Unix one, else the user's bus. Empty for any other
// transport, which is left to the libraries.
struct BusSocket {
    QByteArray name;
    bool abstract = false;
};

BusSocket FirstBusSocket() {
    const QByteArray addresses = qgetenv(AddressVariable);
    if (addresses.isEmpty())
        return UserBusExists() ? BusSocket{qgetenv("XDG_RUNTIME_DIR") + "/bus", false}
                               : BusSocket{};
    const QByteArray first = addresses.split(';').first();
    if (!first.startsWith("unix:"))
        return {};
    for (const QByteArray& pair : first.mid(5).split(',')) {
        if (pair.startsWith("path="))
            return {QByteArray::fromPercentEncoding(pair.mid(5)), false};
        if (pair.startsWith("abstract="))
            return {QByteArray::fromPercentEncoding(pair.mid(9)), true};
    }
    return {};
}

// True unless the bus took the connection and then said nothing, not even
// its list of ways to authenticate, before the deadline. A bus that refuses
// the connection or hangs up is for the libraries to find out at once.
bool Answers(const BusSocket& bus, std::chrono::steady_clock::time_point deadline) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::size_t offset = bus.abstract ? 1 : 0;
    if (bus.name.isEmpty() || offset + std::size_t(bus.name.size()) >= sizeof address.sun_path)
        return true;
    std::memcpy(address.sun_path + offset, bus.name.constData(), std::size_t(bus.name.size()));
    const auto length = socklen_t(offsetof(sockaddr_un, sun_path) + offset + bus.name.size() +
                                  (bus.abstract ? 0 : 1));

    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return true;
    bool answered = true;
    for (;;) {
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0)
            break;
        // A Unix socket whose queue of connections is full turns a
        // non-blocking connect away with EAGAIN until one is taken.
        if (errno == EAGAIN && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            continue;
        }
        answered = errno != EAGAIN;
        ::close(fd);
        return answered;
    }
    // The protocol's opening null byte, then a request every bus answers at
    // once with the mechanisms it accepts, without authenticating anyone.
    static constexpr char Knock[] = "\0AUTH\r\n";
    if (::send(fd, Knock, sizeof Knock - 1, MSG_NOSIGNAL) < 0) {
        ::close(fd);
        return true;
    }
    pollfd reply{fd, POLLIN, 0};
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        const int ready = ::poll(&reply, 1, int(std::max<long long>(left.count(), 0)));
        if (ready < 0 && errno == EINTR)
            continue;
        answered = ready != 0;
        break;
    }
    ::close(fd);
    return answered;
}

} // namespace

namespace SessionBus {

void PassOverSilentBus() {
    const BusSocket bus = FirstBusSocket();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(SilentSeconds);
    if (Answers(bus, deadline))
        return;
    std::fprintf(stderr,
                 "trinode: the session bus at %s%s did not answer within %d seconds; "
                 "running without it\n",
                 bus.abstract ? "@" : "", bus.name.constData(), SilentSeconds);
    qputenv(AddressVariable, RefusingAddress);
}

void PreventAutolaunch() {
    if (!qEnvironmentVariableIsEmpty(AddressVariable) || UserBusExists())
        return;
    qputenv(AddressVariable, RefusingAddress);
}

bool AutolaunchPrevented() {
    return qgetenv(AddressVariable) == RefusingAddress;
}

} // namespace SessionBus
