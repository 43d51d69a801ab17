#pragma once

// Bindings as lines of text, for backups and scripts: the three button names
// (empty for an empty socket), the information and the path, separated by
// tabs, one binding a line. Texts are UTF-8; every byte that is not part of
// valid UTF-8, and every control byte (a tab or a line break among them), is
// written as \xNN, and a backslash as \\, so that every stored byte reads
// back as it was.
//
// The same words find a binding on the command line and in the bindings
// window, by WordMatch's rule over SearchText.

#include "store/Combination.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <optional>
#include <vector>

// A combination and the binding that its lookup finds.
struct BoundCombination {
    Combination combination;
    StoredBinding binding;
    friend bool operator==(const BoundCombination&, const BoundCombination&) = default;
};

// The same as the table holds it, without a copy: the catalogue entries of
// the sockets, and the texts' bytes (empty for a placeholder), valid while
// the visit lasts.
struct BoundRecord {
    std::array<int, 3> entries;
    QByteArrayView info;
    QByteArrayView path;
    int record = 0; // its place in the table
};

namespace BindingText {

// The bytes a text stands for; nothing, with the reason in why, when a
// backslash starts no \\ or \xNN.
std::optional<QByteArray> Unescaped(QByteArrayView text, QString* why);

// The binding's line, ending in a line break, added to out.
void AppendLine(QByteArray& out, const BoundCombination& bound);
void AppendLine(QByteArray& out, const BoundRecord& bound);

// A line (without its line break) read back; nothing, with the reason in
// why, when it does not hold five fields, names a button that does not
// exist, or holds a text that its field cannot take.
std::optional<BoundCombination> Parsed(QByteArrayView line, QString* why);

// Every line of a text in that form, skipping empty lines, lines that start
// with "#" and a byte-order mark; nothing, with "line N: " and the reason in
// why, at the first line that does not parse. numbers, when given, gets the
// number of each line read.
std::optional<std::vector<BoundCombination>> ParsedLines(QByteArrayView text, QString* why,
                                                         std::vector<int>* numbers = nullptr);

// What typed words are looked for in (see WordMatch): the button names, the
// information and the path.
QString SearchText(const BoundCombination& bound);

} // namespace BindingText
