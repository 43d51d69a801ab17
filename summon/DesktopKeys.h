#pragma once

// One desktop's own keyboard settings, as --bind-key and the key dialog use
// them: bind the command that starts Trinode to a shortcut (replacing what an
// earlier bind made there, so that binding twice makes no second entry,
// refusing a shortcut the desktop already uses and naming what holds it), and
// remove what a bind made, and only that.

#include "summon/Shortcut.h"

#include <QString>

class DesktopKeys {
public:
    struct Outcome {
        enum class Kind {
            Done,    // bound or removed
            ByHand,  // the user has a step of their own to take; message says which
            Refused, // nothing changed; message says why
        };
        Kind kind = Kind::Refused;
        QString message;
        QString where; // for Done: where the desktop keeps the binding
    };

    virtual ~DesktopKeys() = default;
    virtual Outcome Bind(const Shortcut& shortcut) = 0;
    virtual Outcome Unbind() = 0;
};
