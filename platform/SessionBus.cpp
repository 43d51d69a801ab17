#include "platform/SessionBus.h"

#include <QByteArray>
#include <QFile>

#include <sys/stat.h>

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

} // namespace

namespace SessionBus {

void PreventAutolaunch() {
    if (!qEnvironmentVariableIsEmpty(AddressVariable) || UserBusExists())
        return;
    qputenv(AddressVariable, RefusingAddress);
}

bool AutolaunchPrevented() {
    return qgetenv(AddressVariable) == RefusingAddress;
}

} // namespace SessionBus
