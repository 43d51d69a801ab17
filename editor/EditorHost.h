#pragma once

#include "store/Combination.h"

// What the editor dialog needs of the main window: its current combination,
// read at every opening, and a refresh after an assignment.
class EditorHost {
public:
    virtual ~EditorHost() = default;
    virtual Combination SocketValues() const = 0;
    virtual void RefreshCurrent() = 0;
};
