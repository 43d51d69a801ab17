#pragma once

// One key with its modifiers, as the user writes it (Qt's portable text, such
// as Ctrl+Alt+Space or Meta+T) and as each desktop writes it: GTK's
// accelerators for GNOME, Cinnamon, MATE and Xfce (<Control><Alt>space), the
// configuration lines of sway and i3 (Control+Mod1+space), Qt's key code for
// KDE, and the X key symbol and modifier mask for a grab of our own. Two
// shortcuts are the same when their modifiers and their key symbol (in lower
// case) are, whichever notation they came from.

#include <QString>

#include <cstdint>
#include <optional>

class Shortcut final {
public:
    enum Modifier : unsigned { Control = 1, Alt = 2, Shift = 4, Super = 8, Other = 16 };

    // Qt's portable text; nullopt with the reason in why when it names no
    // single key that could summon Trinode.
    static std::optional<Shortcut> FromPortableText(const QString& text, QString* why);
    // A GTK accelerator ("<Primary><Alt>space", "XF86AudioMute"); nullopt for
    // anything else (an empty text, a path, a disabled binding).
    static std::optional<Shortcut> FromAccelerator(const QString& accelerator);

    QString PortableText() const { return m_portable; }
    // controlWord is what the desktop calls Ctrl: Control or Primary.
    QString Accelerator(const QString& controlWord) const;
    QString SwayNotation() const;
    int QtKeyCode() const { return m_qtKeyCode; }
    uint32_t Keysym() const { return m_keysym; }
    unsigned Modifiers() const { return m_modifiers; }

    bool operator==(const Shortcut& other) const {
        return m_modifiers == other.m_modifiers && m_keysym == other.m_keysym;
    }

private:
    Shortcut() = default;
    QString KeyName() const;

    unsigned m_modifiers = 0;
    uint32_t m_keysym = 0;
    QString m_portable;
    int m_qtKeyCode = 0;
};

// Whether the key is a modifier on its own (Shift, Ctrl, Alt, AltGr, Meta,
// Super): pressed alone it is still on its way to a key.
bool IsModifierKey(int key);
