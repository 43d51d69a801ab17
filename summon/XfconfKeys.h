#pragma once

// Xfce's application shortcuts, in xfconf's channel xfce4-keyboard-shortcuts
// (through xfconfd on the session bus): the property
// /commands/custom/<accelerator> holds the command. As Xfce's own keyboard
// settings do, the first custom shortcut copies the shipped defaults into the
// custom set and marks it as the one in force. A shortcut is taken when a
// command or an action of the window manager holds it in the set in force.

#include "summon/DesktopKeys.h"

#include <QVariantMap>

#include <optional>

class XfconfKeys final : public DesktopKeys {
public:
    XfconfKeys();
    Outcome Bind(const Shortcut& shortcut) override;
    Outcome Unbind() override;

private:
    std::optional<QVariantMap> Properties(QString* why) const;
    bool Set(const QString& property, const QVariant& value, QString* why) const;
    bool Reset(const QString& property, QString* why) const;
    QString Holder(const Shortcut& shortcut, const QVariantMap& properties) const;
    QStringList Ours(const QVariantMap& properties) const;

    QString m_command;
};
