#include "summon/X11GrabKeys.h"

#include "summon/SummonSettings.h"
#include "summon/X11KeyGrab.h"

#include <xcb/xcb.h>

#include <memory>

namespace {

struct Disconnect {
    void operator()(xcb_connection_t* c) const { xcb_disconnect(c); }
};

const QString Where = QStringLiteral("Trinode's own settings (%1), grabbed on the X server by the "
                                     "running Trinode");

} // namespace

DesktopKeys::Outcome X11GrabKeys::Bind(const Shortcut& shortcut) {
    const auto bound = SummonSettings().Bound();
    const auto previous = bound && bound->grabbed
                              ? Shortcut::FromPortableText(bound->shortcut, nullptr)
                              : std::nullopt;
    // The running Trinode's own grab of the same shortcut is no conflict.
    if (!previous || !(*previous == shortcut)) {
        const std::unique_ptr<xcb_connection_t, Disconnect> c(xcb_connect(nullptr, nullptr));
        if (xcb_connection_has_error(c.get()))
            return {Outcome::Kind::Refused, QStringLiteral("cannot reach the X server"), {}};
        const X11KeyGrab trial(c.get(), shortcut);
        if (!trial.Failed().isEmpty())
            return {Outcome::Kind::Refused, trial.Failed(), {}};
    }
    const QString where = Where.arg(SummonSettings::FilePath());
    return {Outcome::Kind::Done,
            QStringLiteral("Bound %1 in %2; it summons Trinode while Trinode runs (trinode "
                           "--autostart on starts it with the session)")
                .arg(shortcut.PortableText(), where),
            where};
}

DesktopKeys::Outcome X11GrabKeys::Unbind() {
    return {Outcome::Kind::Done,
            QStringLiteral("Trinode no longer grabs a key on the X server (%1)")
                .arg(SummonSettings::FilePath()),
            {}};
}
