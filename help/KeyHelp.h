#pragma once

// The main window's keys in words, for the help window, trinode --help and
// the manual page: the typing of a button's name (text rather than a key of
// the table, see TypedPrefix), then the keys of each action of MainKeys'
// table together, in the table's order, with what they do. Made from the
// table, so that no list of keys can leave one out or name one that does
// nothing.

#include <QString>

#include <vector>

namespace KeyHelp {

struct Line {
    QString keys; // as Qt writes them: "Return, Enter", "Ctrl+F, F3"
    QString does;
};

std::vector<Line> Lines();

} // namespace KeyHelp
