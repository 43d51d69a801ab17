#include "platform/SessionBus.h"

#include "platform/SessionBusAddress.h"
#include "platform/SessionBusConnection.h"

#include <QByteArray>
#include <QDeadlineTimer>

#include <chrono>
#include <cstdio>

#include <sys/stat.h>

namespace {

constexpr char AddressVariable[] = "DBUS_SESSION_BUS_ADDRESS";
// A path that nobody but root can replace, and that is never a socket: a
// connection to it fails at once, and no one can listen there instead.
constexpr char RefusingAddress[] = "unix:path=/dev/null";

// The user's bus, which the D-Bus libraries look for when no address is
// given; empty when there is none.
QByteArray UserBus() {
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (runtime.isEmpty())
        return {};
    struct stat status {};
    const QByteArray path = runtime + "/bus";
    return ::stat(path.constData(), &status) == 0 && S_ISSOCK(status.st_mode) ? path : QByteArray();
}

// The addresses that the D-Bus libraries try, in their order.
QByteArray Addresses() {
    const QByteArray given = qgetenv(AddressVariable);
    if (!given.isEmpty())
        return given;
    const QByteArray user = UserBus();
    return user.isEmpty() ? QByteArray() : SessionBusAddress::UnixPath(user);
}

void RunWithout(const SessionBusAddress& address, const char* why) {
    std::fprintf(stderr, "trinode: the session bus at %s %s; running without it\n",
                 address.Text().constData(), why);
    qputenv(AddressVariable, RefusingAddress);
}

} // namespace

namespace SessionBus {

void PassOverSilentBus() {
    using Reached = SessionBusConnection::Reached;
    const QDeadlineTimer deadline(std::chrono::seconds{SilentSeconds});
    const QByteArray silence =
        "did not answer within " + QByteArray::number(SilentSeconds) + " seconds";
    // Each address in turn until one takes the connection, as the libraries
    // go; the first that does is the bus.
    for (const SessionBusAddress& address : SessionBusAddress::ParseList(Addresses())) {
        SessionBusConnection connection(address, deadline);
        switch (connection.State()) {
        case Reached::Refused:
            continue;
        case Reached::Connected:
            if (connection.Answers(deadline))
                return;
            RunWithout(address, silence.constData());
            return;
        case Reached::Silent:
            RunWithout(address, silence.constData());
            return;
        case Reached::Unchecked:
            RunWithout(address, "is of a kind that Trinode cannot check without starting it");
            return;
        }
    }
}

void PreventAutolaunch() {
    if (!qEnvironmentVariableIsEmpty(AddressVariable) || !UserBus().isEmpty())
        return;
    qputenv(AddressVariable, RefusingAddress);
}

bool AutolaunchPrevented() {
    return qgetenv(AddressVariable) == RefusingAddress;
}

} // namespace SessionBus
