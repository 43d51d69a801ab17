#include "platform/Settings.h"

#include <QSettings>
#include <QStandardPaths>

namespace Settings {
namespace {

constexpr int DefaultOpenWaitSeconds = 10;

} // namespace

QString FilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/trinode/trinode.conf");
}

int OpenWaitSeconds() {
    const QSettings settings(FilePath(), QSettings::IniFormat);
    bool ok = false;
    const int seconds = settings.value(QStringLiteral("OpenWaitSeconds")).toInt(&ok);
    return ok && seconds >= 1 ? seconds : DefaultOpenWaitSeconds;
}

} // namespace Settings
