#pragma once

// Which desktop Trinode runs on, for setting its summon key there:
// XDG_CURRENT_DESKTOP (a colon-separated list, the first name we know wins);
// only where it is unset, the desktop whose service answers on the session
// bus; then sway's or i3's socket; then any X11 window manager (Trinode grabs
// the key itself); else a desktop that cannot be set from outside.

#include <QString>

namespace DesktopSession {

enum class Kind { Gnome, Cinnamon, Mate, Xfce, Kde, Sway, I3, X11, Unknown };

struct Desktop {
    Kind kind = Kind::Unknown;
    QString name; // as the user knows it: "GNOME", "Budgie", "KDE Plasma", ...
};

Desktop Current();

} // namespace DesktopSession
