#pragma once

#include "store/Combination.h"

// What the editor dialog needs of the main window: the combination to open
// on, read at every opening (the main window's sockets, or the chord chosen
// in the bindings window), and a refresh after an assignment.
class EditorHost {
public:
    virtual ~EditorHost() = default;
    virtual Combination CombinationToEdit() const = 0;
    virtual void RefreshCurrent() = 0;
};
