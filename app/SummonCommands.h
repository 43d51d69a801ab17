#pragma once

// The command line's settings for summoning Trinode: --bind-key and
// --unbind-key through the desktop's own keyboard settings (SummonKey), and
// --autostart's entry. Each prints what it did, or on standard error why
// not, and gives the exit status.

#include <QString>

namespace SummonCommands {

// A shortcut in Qt's portable text, such as Ctrl+Alt+Space.
int BindKey(const QString& shortcut);
int UnbindKey();
// on or off.
int SetAutostart(const QString& onOrOff);

} // namespace SummonCommands
