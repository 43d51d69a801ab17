#pragma once

// How a desktop starts this Trinode: plain `trinode` when that is what the
// search path finds, otherwise this executable's full path (a build that is
// not installed), so that a shortcut or an autostart entry never starts
// another Trinode than the one that made it.

#include <QString>

namespace TrinodeCommand {

// The program: "trinode" or an absolute path.
QString Program();
// A command line for a shell-like parser (GLib's, sway's and i3's exec),
// quoted where the path needs it.
QString ShellText(const QString& arguments = QString());
// The Exec value of a desktop entry, quoted by the desktop entry rules.
QString DesktopExec(const QString& arguments);

// The build folder this Trinode runs from, when it runs from one rather than
// from an installation; empty otherwise.
QString BuildFolder();

// A name for this Trinode that any command line can carry: the link
// ~/.local/bin/trinode to this executable, made unless it is there already.
// Returns PlainLinkText(), or nothing with the reason in why (another file
// has that name).
QString PlainLink(QString* why);
QString PlainLinkText();

} // namespace TrinodeCommand
