#pragma once

// sway and i3 read their key bindings from their configuration file only,
// which is the user's to write: Trinode prints the exact line and where it
// goes, and, to unbind, which line to take out.

#include "summon/DesktopKeys.h"

class ConfigLineKeys final : public DesktopKeys {
public:
    explicit ConfigLineKeys(bool sway) : m_sway(sway) {}
    Outcome Bind(const Shortcut& shortcut) override;
    Outcome Unbind() override;

private:
    QString Line(const Shortcut& shortcut) const;
    QString Where() const;

    bool m_sway;
};
