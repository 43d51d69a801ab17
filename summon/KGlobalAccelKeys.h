#pragma once

// KDE Plasma's global shortcuts, through kglobalaccel on the session bus: the
// launch action of Trinode's desktop entry (component trinode.desktop,
// action _launch), which Plasma keeps in kglobalshortcutsrc and which starts
// the entry when pressed, as Plasma's own "Add Application" does. A shortcut is taken when
// kglobalaccel names another action that holds it.

#include "summon/DesktopKeys.h"

#include <QDBusMessage>
#include <QStringList>

class KGlobalAccelKeys final : public DesktopKeys {
public:
    Outcome Bind(const Shortcut& shortcut) override;
    Outcome Unbind() override;

private:
    QDBusMessage Call(const QString& method, const QVariantList& arguments, QString* why) const;
};
