#pragma once

// What a second start hands to the running instance so that the desktop lets
// it come to the front: the startup notification id it was launched with
// (X11), the activation token (Wayland), or, where it has neither, a fresh X
// server time of its own. The desktop honours a raise only with proof of a
// recent user action, and the running instance has none of its own.

#include <QByteArray>

#include <optional>

struct SummonRequest final {
    QByteArray startupId;       // DESKTOP_STARTUP_ID
    QByteArray activationToken; // XDG_ACTIVATION_TOKEN
    quint32 x11Time = 0;        // an X server time; 0 when none

    // What this process was started with.
    static SummonRequest FromEnvironment();
    // The user-action time that the startup id carries ("..._TIME<n>"), or 0.
    quint32 StartupTime() const;

    // One line per field, ended by an empty line; nothing else may follow.
    QByteArray Serialize() const;
    static std::optional<SummonRequest> Parse(QByteArrayView bytes);
};
