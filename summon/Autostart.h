#pragma once

// Trinode's XDG autostart entry, $XDG_CONFIG_HOME/autostart/trinode.desktop,
// which starts `trinode --background` with the session: the resident Trinode
// is then running before the first press of its key, which only hands over.

#include <QString>

namespace Autostart {

QString FilePath();
bool Enabled();
// Both return an empty text, or why the entry could not be written or removed.
QString Enable();
QString Disable();
// What the user should know about the entry that Enable writes: that it
// names a Trinode in a build folder, which goes when the folder goes; empty
// when there is nothing to know.
QString Caveat();

} // namespace Autostart
