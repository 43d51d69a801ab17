#include "summon/DesktopSession.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QStringList>

#include <array>

namespace {

using DesktopSession::Desktop;
using DesktopSession::Kind;

struct Known {
    const char* name; // in XDG_CURRENT_DESKTOP, or a bus name that answers
    Kind kind;
    const char* shown;
};

constexpr std::array<Known, 11> Names{{
    {"GNOME", Kind::Gnome, "GNOME"},
    {"GNOME-Flashback", Kind::Gnome, "GNOME"},
    {"Budgie", Kind::Gnome, "Budgie"},
    {"Unity", Kind::Gnome, "Unity"},
    {"X-Cinnamon", Kind::Cinnamon, "Cinnamon"},
    {"Cinnamon", Kind::Cinnamon, "Cinnamon"},
    {"MATE", Kind::Mate, "MATE"},
    {"XFCE", Kind::Xfce, "Xfce"},
    {"KDE", Kind::Kde, "KDE Plasma"},
    {"sway", Kind::Sway, "sway"},
    {"i3", Kind::I3, "i3"},
}};

constexpr std::array<Known, 6> BusNames{{
    {"org.gnome.Shell", Kind::Gnome, "GNOME"},
    {"org.Cinnamon", Kind::Cinnamon, "Cinnamon"},
    {"org.mate.SessionManager", Kind::Mate, "MATE"},
    {"org.xfce.SessionManager", Kind::Xfce, "Xfce"},
    {"org.kde.KWin", Kind::Kde, "KDE Plasma"},
    {"org.kde.kglobalaccel", Kind::Kde, "KDE Plasma"},
}};

Desktop FromVariable(const QString& value) {
    for (const QString& part : value.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        for (const Known& known : Names)
            if (part.compare(QLatin1String(known.name), Qt::CaseInsensitive) == 0)
                return {known.kind, QLatin1String(known.shown)};
    return {};
}

// A name that is owned, not merely one the bus could start.
Desktop FromBus() {
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return {};
    for (const Known& known : BusNames)
        if (bus.interface()->isServiceRegistered(QLatin1String(known.name)))
            return {known.kind, QLatin1String(known.shown)};
    return {};
}

bool X11Session() {
    return qgetenv("XDG_SESSION_TYPE") != "wayland" &&
           qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
           !qEnvironmentVariableIsEmpty("DISPLAY");
}

} // namespace

Desktop DesktopSession::Current() {
    const QString variable = qEnvironmentVariable("XDG_CURRENT_DESKTOP");
    Desktop desktop = variable.isEmpty() ? FromBus() : FromVariable(variable);
    if (desktop.kind != Kind::Unknown)
        return desktop;
    if (variable.isEmpty() && !qEnvironmentVariableIsEmpty("SWAYSOCK"))
        return {Kind::Sway, QStringLiteral("sway")};
    if (variable.isEmpty() && !qEnvironmentVariableIsEmpty("I3SOCK"))
        return {Kind::I3, QStringLiteral("i3")};
    const QString shown = variable.isEmpty() ? QString() : variable.section(QLatin1Char(':'), 0, 0);
    if (X11Session())
        return {Kind::X11, shown.isEmpty() ? QStringLiteral("this X11 desktop") : shown};
    return {Kind::Unknown, shown.isEmpty() ? QStringLiteral("this desktop") : shown};
}
