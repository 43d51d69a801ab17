#include "summon/SummonKey.h"

#include "summon/ConfigLineKeys.h"
#include "summon/DesktopSession.h"
#include "summon/GSettingsKeys.h"
#include "summon/KGlobalAccelKeys.h"
#include "summon/SummonSettings.h"
#include "summon/X11GrabKeys.h"
#include "summon/XfconfKeys.h"

#include <memory>

namespace {

using DesktopSession::Kind;

std::unique_ptr<DesktopKeys> KeysOf(const DesktopSession::Desktop& desktop) {
    switch (desktop.kind) {
    case Kind::Gnome:
        return std::make_unique<GSettingsKeys>(GSettingsKeys::Gnome, desktop.name);
    case Kind::Cinnamon:
        return std::make_unique<GSettingsKeys>(GSettingsKeys::Cinnamon, desktop.name);
    case Kind::Mate:
        return std::make_unique<GSettingsKeys>(GSettingsKeys::Mate, desktop.name);
    case Kind::Xfce:
        return std::make_unique<XfconfKeys>();
    case Kind::Kde:
        return std::make_unique<KGlobalAccelKeys>();
    case Kind::Sway:
        return std::make_unique<ConfigLineKeys>(true);
    case Kind::I3:
        return std::make_unique<ConfigLineKeys>(false);
    case Kind::X11:
        return std::make_unique<X11GrabKeys>();
    case Kind::Unknown:
        return nullptr;
    }
    return nullptr;
}

} // namespace

SummonKey::Outcome SummonKey::Bind(const Shortcut& shortcut) {
    const DesktopSession::Desktop desktop = DesktopSession::Current();
    const std::unique_ptr<DesktopKeys> keys = KeysOf(desktop);
    if (!keys)
        return {Outcome::Kind::ByHand,
                QStringLiteral("Trinode cannot set a key on %1 from outside: in its keyboard "
                               "settings, bind %2 to the command trinode by hand")
                    .arg(desktop.name, shortcut.PortableText()),
                {}};
    Outcome outcome = keys->Bind(shortcut);
    if (outcome.kind != Outcome::Kind::Done)
        return outcome;
    const QString failed = SummonSettings().RememberBound(
        {shortcut.PortableText(), desktop.name, outcome.where, desktop.kind == Kind::X11});
    if (!failed.isEmpty() && desktop.kind == Kind::X11)
        return {Outcome::Kind::Refused, failed, {}};
    if (!failed.isEmpty())
        outcome.message += QStringLiteral(" (Trinode could not remember it: %1)").arg(failed);
    return outcome;
}

SummonKey::Outcome SummonKey::Unbind() {
    const DesktopSession::Desktop desktop = DesktopSession::Current();
    const std::unique_ptr<DesktopKeys> keys = KeysOf(desktop);
    Outcome outcome =
        keys ? keys->Unbind()
             : Outcome{Outcome::Kind::ByHand,
                       QStringLiteral("Trinode cannot change the keys of %1 from outside: remove "
                                      "the shortcut that runs trinode in its keyboard settings")
                           .arg(desktop.name),
                       {}};
    if (outcome.kind == Outcome::Kind::Refused)
        return outcome;
    const QString failed = SummonSettings().ForgetBound();
    if (!failed.isEmpty())
        outcome.message += QStringLiteral(" (Trinode could not forget it: %1)").arg(failed);
    return outcome;
}
