#pragma once

// Where the chord begun in the sockets leads: for each button that could go
// into the next empty socket, whether it completes a bound chord (and the
// information that chord runs) and whether a longer bound chord goes on
// through it. It reads the table and the sockets' values only; when and
// where the guide shows is the main window's.

#include "store/Combination.h"

#include <QString>

#include <vector>

class CombinationTable;

namespace ChordGuide {

struct Continuation {
    // The button's ButtonIndex.
    int button = 0;
    // Placing it makes a bound chord, which runs this: its information, or
    // its path where it has none.
    bool completes = false;
    QString info;
    // A bound chord of more buttons goes on through it.
    bool leadsOn = false;
    friend bool operator==(const Continuation&, const Continuation&) = default;
};

// In catalogue order, only the buttons that complete or lead on; nothing
// when the sockets are all empty or all full.
std::vector<Continuation> Continuations(const Combination& sockets, const CombinationTable& table);

// The letter its picture shows: the name's first letter, 1, 2 and 3 for
// One, Two and Three.
QString PictureLetter(int button);

// What the guide says: each completing button's letter and information,
// "M Music player, P Photos".
QString Text(const std::vector<Continuation>& continuations);

} // namespace ChordGuide
