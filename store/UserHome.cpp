#include "store/UserHome.h"

#include <cerrno>
#include <cstring>

#include <pwd.h>
#include <unistd.h>

#include <vector>

namespace UserHome {

QByteArray LocalPath() {
    QByteArray home = qgetenv("HOME");
    if (home.isEmpty()) {
        // Without HOME the root directory would stand in for the home, and a
        // program run as root would make its files there.
        long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
        std::vector<char> buffer(size > 0 ? size_t(size) : 16384);
        passwd entry{};
        passwd* found = nullptr;
        if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
            found->pw_dir)
            home = found->pw_dir;
    }
    while (home.size() > 1 && home.endsWith('/'))
        home.chop(1);
    return home;
}

bool EnterHome(QString* why) {
    const QByteArray home = LocalPath();
    if (!home.startsWith('/')) {
        *why = QStringLiteral("no home folder is known");
        return false;
    }
    if (::chdir(home.constData()) != 0) {
        *why = QStringLiteral("cannot change to the home folder %1: %2")
                   .arg(QString::fromLocal8Bit(home), QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    return true;
}

} // namespace UserHome
