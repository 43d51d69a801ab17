#include "summon/XfconfKeys.h"

#include "summon/TrinodeCommand.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVariant>

namespace {

const QString Channel = QStringLiteral("xfce4-keyboard-shortcuts");
const QString CustomCommands = QStringLiteral("/commands/custom/");
const QString Override = QStringLiteral("override");
constexpr int CallTimeoutMs = 5000;

QDBusMessage Call(const QString& method, const QVariantList& arguments) {
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.xfce.Xfconf"),
                                                       QStringLiteral("/org/xfce/Xfconf"),
                                                       QStringLiteral("org.xfce.Xfconf"), method);
    call.setArguments(arguments);
    return QDBusConnection::sessionBus().call(call, QDBus::Block, CallTimeoutMs);
}

bool Answered(const QDBusMessage& reply, QString* why) {
    if (reply.type() != QDBusMessage::ErrorMessage)
        return true;
    *why = QStringLiteral("Xfce's settings store (xfconfd) did not answer on the session bus: %1")
               .arg(reply.errorMessage());
    return false;
}

// The branch in force for commands or the window manager: the custom one once
// it is marked so, else the shipped defaults.
QString Branch(const QVariantMap& properties, const QString& part) {
    const QString custom = QStringLiteral("/%1/custom/").arg(part);
    return properties.value(custom + Override).toBool() ? custom
                                                        : QStringLiteral("/%1/default/").arg(part);
}

} // namespace

XfconfKeys::XfconfKeys() : m_command(TrinodeCommand::ShellText()) {}

std::optional<QVariantMap> XfconfKeys::Properties(QString* why) const {
    const QDBusMessage reply =
        Call(QStringLiteral("GetAllProperties"), {Channel, QStringLiteral("/")});
    if (!Answered(reply, why))
        return std::nullopt;
    QVariantMap properties;
    reply.arguments().value(0).value<QDBusArgument>() >> properties;
    return properties;
}

bool XfconfKeys::Set(const QString& property, const QVariant& value, QString* why) const {
    return Answered(Call(QStringLiteral("SetProperty"),
                         {Channel, property, QVariant::fromValue(QDBusVariant(value))}),
                    why);
}

bool XfconfKeys::Reset(const QString& property, QString* why) const {
    return Answered(Call(QStringLiteral("ResetProperty"), {Channel, property, true}), why);
}

QString XfconfKeys::Holder(const Shortcut& shortcut, const QVariantMap& properties) const {
    for (const QString& part : {QStringLiteral("commands"), QStringLiteral("xfwm4")}) {
        const QString branch = Branch(properties, part);
        for (auto it = properties.begin(); it != properties.end(); ++it) {
            if (!it.key().startsWith(branch) || it.value().toString() == m_command ||
                Shortcut::FromAccelerator(it.key().mid(branch.size())) != shortcut)
                continue;
            return part == QLatin1String("commands")
                       ? QStringLiteral("the command \"%1\"").arg(it.value().toString())
                       : QStringLiteral("the window manager's action \"%1\"")
                             .arg(it.value().toString());
        }
    }
    return {};
}

QStringList XfconfKeys::Ours(const QVariantMap& properties) const {
    QStringList ours;
    for (auto it = properties.begin(); it != properties.end(); ++it)
        if (it.key().startsWith(CustomCommands) && it.value().toString() == m_command)
            ours.append(it.key());
    return ours;
}

DesktopKeys::Outcome XfconfKeys::Bind(const Shortcut& shortcut) {
    QString why;
    const std::optional<QVariantMap> properties = Properties(&why);
    if (!properties)
        return {Outcome::Kind::Refused, why, {}};
    const QString holder = Holder(shortcut, *properties);
    if (!holder.isEmpty())
        return {Outcome::Kind::Refused,
                QStringLiteral("%1 is already taken on Xfce by %2; choose another shortcut")
                    .arg(shortcut.PortableText(), holder),
                {}};
    const QString property = CustomCommands + shortcut.Accelerator(QStringLiteral("Primary"));
    if (Branch(*properties, QStringLiteral("commands")) != CustomCommands) {
        const QString defaults = QStringLiteral("/commands/default/");
        for (auto it = properties->begin(); it != properties->end(); ++it)
            if (it.key().startsWith(defaults) &&
                !Set(CustomCommands + it.key().mid(defaults.size()), it.value(), &why))
                return {Outcome::Kind::Refused, why, {}};
        if (!Set(CustomCommands + Override, true, &why))
            return {Outcome::Kind::Refused, why, {}};
    }
    for (const QString& old : Ours(*properties))
        if (old != property && !Reset(old, &why))
            return {Outcome::Kind::Refused, why, {}};
    if (!Set(property, m_command, &why))
        return {Outcome::Kind::Refused, why, {}};
    const QString where = QStringLiteral("Xfce's application shortcuts (xfconf channel %1, %2)")
                              .arg(Channel, property);
    return {Outcome::Kind::Done,
            QStringLiteral("Bound %1 to %2 in %3").arg(shortcut.PortableText(), m_command, where),
            where};
}

DesktopKeys::Outcome XfconfKeys::Unbind() {
    QString why;
    const std::optional<QVariantMap> properties = Properties(&why);
    if (!properties)
        return {Outcome::Kind::Refused, why, {}};
    const QStringList ours = Ours(*properties);
    for (const QString& property : ours)
        if (!Reset(property, &why))
            return {Outcome::Kind::Refused, why, {}};
    if (ours.isEmpty())
        return {Outcome::Kind::Done,
                QStringLiteral("No Trinode shortcut was found among Xfce's application shortcuts"),
                {}};
    return {
        Outcome::Kind::Done,
        QStringLiteral(
            "Removed Trinode's shortcut from Xfce's application shortcuts (xfconf channel %1, %2)")
            .arg(Channel, ours.join(QLatin1String(", "))),
        {}};
}
