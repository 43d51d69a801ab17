#include "summon/SummonSettings.h"

#include "platform/Settings.h"

#include <QFileInfo>
#include <QSettings>

namespace {

const QString ShortcutKey = QStringLiteral("SummonKey/Shortcut");
const QString DesktopKey = QStringLiteral("SummonKey/Desktop");
const QString WhereKey = QStringLiteral("SummonKey/Where");
const QString GrabbedKey = QStringLiteral("SummonKey/Grabbed");
const QString DontAskKey = QStringLiteral("Hint/DontAsk");

QString Written(QSettings& settings) {
    settings.sync();
    switch (settings.status()) {
    case QSettings::NoError:
        return {};
    case QSettings::AccessError:
        return QStringLiteral("cannot write %1").arg(settings.fileName());
    case QSettings::FormatError:
        return QStringLiteral("%1 is not a settings file").arg(settings.fileName());
    }
    return {};
}

} // namespace

QString SummonSettings::Folder() {
    return QFileInfo(FilePath()).path();
}

QString SummonSettings::FilePath() {
    return Settings::FilePath();
}

std::optional<SummonSettings::Binding> SummonSettings::Bound() const {
    const QSettings settings(FilePath(), QSettings::IniFormat);
    const QString shortcut = settings.value(ShortcutKey).toString();
    if (shortcut.isEmpty())
        return std::nullopt;
    return Binding{shortcut, settings.value(DesktopKey).toString(),
                   settings.value(WhereKey).toString(), settings.value(GrabbedKey).toBool()};
}

QString SummonSettings::RememberBound(const Binding& binding) {
    QSettings settings(FilePath(), QSettings::IniFormat);
    settings.setValue(ShortcutKey, binding.shortcut);
    settings.setValue(DesktopKey, binding.desktop);
    settings.setValue(WhereKey, binding.where);
    settings.setValue(GrabbedKey, binding.grabbed);
    return Written(settings);
}

QString SummonSettings::ForgetBound() {
    QSettings settings(FilePath(), QSettings::IniFormat);
    settings.remove(QStringLiteral("SummonKey"));
    return Written(settings);
}

bool SummonSettings::DontAsk() const {
    return QSettings(FilePath(), QSettings::IniFormat).value(DontAskKey, false).toBool();
}

bool SummonSettings::HintWanted() const {
    const QSettings settings(FilePath(), QSettings::IniFormat);
    return settings.value(ShortcutKey).toString().isEmpty() &&
           !settings.value(DontAskKey, false).toBool();
}

QString SummonSettings::SetDontAsk(bool dontAsk) {
    QSettings settings(FilePath(), QSettings::IniFormat);
    settings.setValue(DontAskKey, dontAsk);
    return Written(settings);
}
