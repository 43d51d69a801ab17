#include "summon/ConfigLineKeys.h"

#include "summon/TrinodeCommand.h"

#include <QStandardPaths>

QString ConfigLineKeys::Line(const Shortcut& shortcut) const {
    // i3 would otherwise show a busy cursor until Trinode's window maps, and
    // a summon maps no new window.
    return QStringLiteral("bindsym %1 exec %2%3")
        .arg(shortcut.SwayNotation(), m_sway ? QString() : QStringLiteral("--no-startup-id "),
             TrinodeCommand::ShellText());
}

QString ConfigLineKeys::Where() const {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           (m_sway ? QStringLiteral("/sway/config") : QStringLiteral("/i3/config"));
}

DesktopKeys::Outcome ConfigLineKeys::Bind(const Shortcut& shortcut) {
    const QString name = m_sway ? QStringLiteral("sway") : QStringLiteral("i3");
    return {Outcome::Kind::ByHand,
            QStringLiteral("%1 takes key bindings from its configuration file only. Add this "
                           "line to %2:\n%3\nthen reload %1 (%4).")
                .arg(name, Where(), Line(shortcut),
                     m_sway ? QStringLiteral("swaymsg reload") : QStringLiteral("i3-msg reload")),
            Where()};
}

DesktopKeys::Outcome ConfigLineKeys::Unbind() {
    return {Outcome::Kind::ByHand,
            QStringLiteral("Take the line \"bindsym ... exec %1\" out of %2, then reload %3.")
                .arg(TrinodeCommand::ShellText(), Where(),
                     m_sway ? QStringLiteral("sway") : QStringLiteral("i3")),
            {}};
}
