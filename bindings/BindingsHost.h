#pragma once

#include "store/Combination.h"

// What the bindings window asks of the main window: a chord shown in its
// sockets, run as Run runs it, or opened in the editor; and the information
// looked up again after the window changed a binding.
class BindingsHost {
public:
    virtual ~BindingsHost() = default;
    // Puts the combination in the sockets, as if its buttons had been pressed.
    virtual void ShowCombination(const Combination& combination) = 0;
    // Opens the Add/Change Shortcut dialog on the combination; returns when it
    // has closed.
    virtual void EditCombination(const Combination& combination) = 0;
    virtual void RefreshCurrent() = 0;
};
