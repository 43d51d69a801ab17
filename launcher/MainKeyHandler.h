#pragma once

// The main window's keyboard, as a keypad apart from the window: it tells a
// held key's repeat from a new press, looks the key up in MainKeys' table and
// hands the action back, and keeps the typed start of a button's name
// (TypedPrefix), showing the buttons it may still name pressed on the board
// and pressing the one it names.

#include "launcher/MainKeys.h"
#include "launcher/TypedPrefix.h"

#include <QStringList>

#include <functional>

class PictureBoard;
class QKeyEvent;

class MainKeyHandler final {
public:
    // act does what the table binds a key to; true when it took the key.
    MainKeyHandler(PictureBoard& board, std::function<bool(KeyAction)> act);
    MainKeyHandler(const MainKeyHandler&) = delete;
    MainKeyHandler& operator=(const MainKeyHandler&) = delete;

    // Whether the window takes the key.
    bool Press(const QKeyEvent& event);
    void Release(const QKeyEvent& event);
    // The mouse ends whatever was being typed.
    void MouseUsed();

private:
    // Whether a press is a held key's repeat.
    bool IsRepeat(const QKeyEvent& event) const;
    void TypeCharacter(QChar typed);
    void EndTypedPrefix();
    void ShowCandidates(const QStringList& names);

    PictureBoard& m_board;
    std::function<bool(KeyAction)> m_act;
    TypedPrefix m_typedPrefix;
    // The last key released, and when (the window system's time).
    struct Released {
        int key = 0;
        quint64 time = 0;
    } m_released;
    // The catalogue buttons showing their pressed pictures as candidates.
    QStringList m_candidates;
};
