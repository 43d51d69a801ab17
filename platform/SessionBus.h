#pragma once

// Keeps Trinode from starting a D-Bus session bus of its own.
//
// In a session that has no session bus, the first connection to one (Qt's
// accessibility bridge asks for it when the first window shows, GIO when it
// opens something) makes libdbus run dbus-launch, which leaves a dbus-daemon
// running after Trinode has ended, and a ~/.dbus folder behind, at every
// start. Where a bus exists, given by address or as the user's bus in
// $XDG_RUNTIME_DIR, nothing changes.
namespace SessionBus {

// Before QApplication: when there is no session bus to reach, gives this
// process an address that refuses a connection at once, so that no library
// starts a bus; the program runs without one, as the session does.
void PreventAutolaunch();

// Before QApplication, once this process is to show a window: goes through
// the bus's addresses as the D-Bus libraries do, each in turn until one takes
// the connection, and knocks on that one. When none has answered within
// SilentSeconds (silent, out of reach, or of a kind that cannot be checked
// without acting on it), says so on standard error and runs without a bus as
// above: Qt's accessibility bridge and GIO would otherwise wait on it for
// good, and the window would never show. A bus that answers, and an address
// that the libraries give up on at once, are left as they are.
void PassOverSilentBus();
inline constexpr int SilentSeconds = 2;

// True when the session bus address in the environment is the one that
// PreventAutolaunch set: programs started from Trinode get the session's own
// environment, without it.
bool AutolaunchPrevented();

} // namespace SessionBus
