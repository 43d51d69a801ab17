#pragma once

// Binds the key that summons Trinode through the desktop's own settings, so
// that it shows there and outlives Trinode, and removes it again; for the
// command line (--bind-key, --unbind-key) and the key dialog alike. The
// desktop decides how (DesktopSession); what was bound, and where, is
// remembered in Trinode's own settings (SummonSettings).
//
// The default shortcut, Ctrl+Alt+Space, is free in the shipped settings of
// GNOME (its window manager, shell, mutter and settings daemon schemas),
// Xfce (xfce4-keyboard-shortcuts.xml), Cinnamon, and KDE Plasma, whose own
// Ctrl+Alt shortcuts manage the session and windows; Alt+Space and Meta+Space
// are not free (the window menu, the input source switch, KRunner).

#include "summon/DesktopKeys.h"

class SummonKey final {
public:
    static constexpr const char* DefaultShortcut = "Ctrl+Alt+Space";
    using Outcome = DesktopKeys::Outcome;

    static Outcome Bind(const Shortcut& shortcut);
    static Outcome Unbind();
};
