#pragma once

// Trinode's own settings: a file of its own in the XDG configuration folder
// ($XDG_CONFIG_HOME/trinode/trinode.conf, by default under ~/.config), for
// what the user may set and what Trinode remembers besides the bindings,
// which live in the combination file alone.

#include <QString>

#include <optional>

namespace Settings {

QString FilePath();

// How long an open may take before the user is told that the desktop or the
// file system did not answer: OpenWaitSeconds, a whole number of seconds
// from 1 up; 10 when it is not set, or not such a number.
int OpenWaitSeconds();

// How long the sockets rest before the chord guide shows where the chord
// begun in them leads: ChordGuidePauseMs, 500 when not set; nullopt when
// ChordGuide=false turns the guide off.
std::optional<int> ChordGuidePauseMs();

// Whether the window that offers the desktop's own applications (Bind
// Applications) has been shown: the first start offers it, and later ones
// leave it to the bindings window's button.
bool StarterBindingsOffered();
void SetStarterBindingsOffered();

} // namespace Settings
