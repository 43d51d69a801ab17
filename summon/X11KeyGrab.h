#pragma once

// A passive grab of one shortcut on the root window of an X server: every
// keyboard layout's key that makes the shortcut's symbol, with the shortcut's
// modifiers, and again with Caps Lock and Num Lock, which the user does not
// count. The running Trinode holds one for its summon key under a window
// manager that has no key settings of its own; --bind-key takes one for a
// moment to learn whether another program holds the shortcut.

#include "summon/Shortcut.h"

#include <QString>

#include <cstdint>
#include <vector>

struct xcb_connection_t;

class X11KeyGrab final {
public:
    // Grabs on the connection's first screen. Failed() tells why not.
    X11KeyGrab(xcb_connection_t* connection, const Shortcut& shortcut);
    ~X11KeyGrab();
    X11KeyGrab(const X11KeyGrab&) = delete;
    X11KeyGrab& operator=(const X11KeyGrab&) = delete;

    const QString& Failed() const { return m_failed; }
    uint32_t Root() const { return m_root; }
    // Whether a key press on the root is this shortcut.
    bool Matches(uint8_t keycode, uint16_t state) const;

private:
    void Release();

    xcb_connection_t* m_connection;
    uint32_t m_root = 0;
    uint16_t m_modifiers = 0;
    std::vector<uint8_t> m_keycodes;
    QString m_failed;
};
