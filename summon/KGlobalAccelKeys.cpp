#include "summon/KGlobalAccelKeys.h"

#include <QDBusConnection>
#include <QDBusMetaType>
#include <QStandardPaths>

namespace {

const QString Component = QStringLiteral("trinode.desktop");
const QString Action = QStringLiteral("_launch");
constexpr int CallTimeoutMs = 5000;
// setShortcut's flag that marks the action as present: kglobalaccel grabs the
// keys of present actions only, and a foreign shortcut alone leaves it absent
// until kglobalaccel next starts.
constexpr uint SetPresent = 2;

// kglobalaccel's action id: component, action, and their names as shown.
QStringList ActionId() {
    return {Component, Action, QStringLiteral("Trinode"), QStringLiteral("Launch Trinode")};
}

// Plasma 5 keeps the entry in the group [trinode.desktop], Plasma 6 in
// [services][trinode.desktop].
QString Where() {
    return QStringLiteral("KDE Plasma's global shortcuts (kglobalaccel; kglobalshortcutsrc, %1 %2)")
        .arg(Component, Action);
}

} // namespace

QDBusMessage KGlobalAccelKeys::Call(const QString& method, const QVariantList& arguments,
                                    QString* why) const {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.kde.kglobalaccel"), QStringLiteral("/kglobalaccel"),
        QStringLiteral("org.kde.KGlobalAccel"), method);
    call.setArguments(arguments);
    const QDBusMessage reply =
        QDBusConnection::sessionBus().call(call, QDBus::Block, CallTimeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage && why->isEmpty())
        *why = QStringLiteral("KDE's shortcut service (kglobalaccel) did not answer on the session "
                              "bus: %1")
                   .arg(reply.errorMessage());
    return reply;
}

DesktopKeys::Outcome KGlobalAccelKeys::Bind(const Shortcut& shortcut) {
    // Plasma launches a program by its desktop entry, and finds the entry
    // where it finds applications.
    if (QStandardPaths::locate(QStandardPaths::ApplicationsLocation, Component).isEmpty())
        return {
            Outcome::Kind::Refused,
            QStringLiteral("Trinode's desktop entry %1 is not installed (cmake --install or the "
                           "package puts it in share/applications); KDE Plasma starts "
                           "programs by their desktop entry")
                .arg(Component),
            {}};
    QString why;
    const QStringList holder = Call(QStringLiteral("action"), {shortcut.QtKeyCode()}, &why)
                                   .arguments()
                                   .value(0)
                                   .toStringList();
    if (!why.isEmpty())
        return {Outcome::Kind::Refused, why, {}};
    if (holder.size() >= 2 && (holder[0] != Component || holder[1] != Action))
        return {Outcome::Kind::Refused,
                QStringLiteral("%1 is already taken on KDE Plasma by \"%2: %3\" (%4, %5); choose "
                               "another shortcut")
                    .arg(shortcut.PortableText(), holder.value(2), holder.value(3), holder[0],
                         holder[1]),
                {}};
    Call(QStringLiteral("doRegister"), {ActionId()}, &why);
    const QVariant keys = QVariant::fromValue(QList<int>{shortcut.QtKeyCode()});
    Call(QStringLiteral("setForeignShortcut"), {ActionId(), keys}, &why);
    Call(QStringLiteral("setShortcut"), {ActionId(), keys, SetPresent}, &why);
    const QDBusMessage now = Call(QStringLiteral("shortcut"), {ActionId()}, &why);
    if (!why.isEmpty())
        return {Outcome::Kind::Refused, why, {}};
    if (!qdbus_cast<QList<int>>(now.arguments().value(0)).contains(shortcut.QtKeyCode()))
        return {
            Outcome::Kind::Refused,
            QStringLiteral("kglobalaccel did not take %1 for Trinode").arg(shortcut.PortableText()),
            {}};
    return {Outcome::Kind::Done,
            QStringLiteral("Bound %1 to Trinode's desktop entry %2 in %3")
                .arg(shortcut.PortableText(), Component, Where()),
            Where()};
}

DesktopKeys::Outcome KGlobalAccelKeys::Unbind() {
    QString why;
    Call(QStringLiteral("setForeignShortcut"), {ActionId(), QVariant::fromValue(QList<int>{})},
         &why);
    Call(QStringLiteral("unregister"), {Component, Action}, &why);
    if (!why.isEmpty())
        return {Outcome::Kind::Refused, why, {}};
    return {
        Outcome::Kind::Done, QStringLiteral("Removed Trinode's shortcut from %1").arg(Where()), {}};
}
