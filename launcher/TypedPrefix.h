#pragma once

// What typing does in the main window. The letters typed so far are the start
// of a catalogue name, in any case: as soon as they fit one name only, that
// button is pressed once, and further letters of the same name change
// nothing; while they fit several, those are the candidates; a letter that
// fits none ends the typed start and begins a new one. The digits 1, 2 and 3
// are One, Two and Three, as their pictures show.

#include <QString>
#include <QStringList>

class TypedPrefix final {
public:
    struct Result {
        // The catalogue name to press now; empty when nothing is pressed.
        QString press;
        // The names the typed start still fits, when they are two or more.
        QStringList candidates;
    };

    Result Type(QChar typed);
    // Forgets what was typed (another key, or the mouse, came in between).
    void Reset();

private:
    QString m_typed;
    // The typed start fits one name only, and that button has been pressed.
    bool m_pressed = false;
};
