#include "platform/Settings.h"

#include <QSettings>
#include <QStandardPaths>

namespace Settings {
namespace {

constexpr int DefaultOpenWaitSeconds = 10;
const QString StarterKey = QStringLiteral("StarterBindingsOffered");

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

bool StarterBindingsOffered() {
    return QSettings(FilePath(), QSettings::IniFormat).value(StarterKey).toBool();
}

void SetStarterBindingsOffered() {
    QSettings(FilePath(), QSettings::IniFormat).setValue(StarterKey, true);
}

} // namespace Settings
