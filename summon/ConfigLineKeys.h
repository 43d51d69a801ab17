#pragma once

// sway and i3 read their key bindings from their configuration file only,
// which is the user's to write: Trinode prints the exact line and where it
// goes, and, to unbind, which line to take out.
//
// The line runs exactly this Trinode through sh -c, written to each
// parser's own rules, so that no part of the path is read as a command, a
// separator or a variable. A path that one of them cannot carry safely (a
// line break, a $ for i3, whose variables have no escape) is replaced by a
// link with a plain name, ~/.local/bin/trinode, and the message says so.

#include "summon/DesktopKeys.h"

class ConfigLineKeys final : public DesktopKeys {
public:
    explicit ConfigLineKeys(bool sway) : m_sway(sway) {}
    Outcome Bind(const Shortcut& shortcut) override;
    Outcome Unbind() override;

private:
    // The command after exec as the configuration file must hold it, for
    // program; empty when the path cannot be written.
    QString ExecText(const QString& program) const;
    QString Where() const;
    QString Name() const;

    bool m_sway;
};
