#pragma once

// The main window's keys: which key does what, in one table. The window acts
// on the action; the typed start of a button's name is text rather than a
// key, and TypedPrefix's. Shift makes no difference to a key without another
// modifier, so Shift+Enter runs as Enter does.

#include <QKeyCombination>

#include <span>

class QKeyEvent;

enum class KeyAction {
    Run,             // presses Run
    ClearLastSocket, // empties the last filled socket
    ClearAllSockets,
    ShowHelp,
    OpenEditor, // presses Add
    GetOutOfTheWay,
    Exit,            // presses Exit
    PressFocused,    // presses the picture that Tab has reached
    FindBindings,    // the bindings window
    ChooseSummonKey, // the key dialog
};

struct KeyBinding {
    QKeyCombination chord;
    KeyAction action;
    // Whether a held key does it again: only where that is harmless.
    bool repeats;
};

namespace MainKeys {

std::span<const KeyBinding> Bindings();

// The key of the event as the table names it.
QKeyCombination ChordOf(const QKeyEvent& event);
// The binding of the event's key; nullptr for a key the table does not hold.
const KeyBinding* BindingOf(const QKeyEvent& event);

} // namespace MainKeys
