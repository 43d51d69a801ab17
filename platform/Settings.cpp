#include "platform/Settings.h"

#include <QSettings>
#include <QStandardPaths>

namespace Settings {
namespace {

constexpr int DefaultOpenWaitSeconds = 10;
constexpr int DefaultChordGuidePauseMs = 500;
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

std::optional<int> ChordGuidePauseMs() {
    const QSettings settings(FilePath(), QSettings::IniFormat);
    if (!settings.value(QStringLiteral("ChordGuide"), true).toBool())
        return std::nullopt;
    bool ok = false;
    const int ms = settings.value(QStringLiteral("ChordGuidePauseMs")).toInt(&ok);
    return ok && ms >= 0 ? ms : DefaultChordGuidePauseMs;
}

bool StarterBindingsOffered() {
    return QSettings(FilePath(), QSettings::IniFormat).value(StarterKey).toBool();
}

void SetStarterBindingsOffered() {
    QSettings(FilePath(), QSettings::IniFormat).setValue(StarterKey, true);
}

} // namespace Settings
