#pragma once

// Under an X11 window manager that keeps no key settings of its own, the
// running Trinode grabs its summon key on the X server itself (KeyGrab), and
// so summons without starting a process at all. Binding only remembers the
// shortcut in Trinode's settings, which the running Trinode watches; it is
// refused when another program already grabs the shortcut.

#include "summon/DesktopKeys.h"

class X11GrabKeys final : public DesktopKeys {
public:
    Outcome Bind(const Shortcut& shortcut) override;
    Outcome Unbind() override;
};
