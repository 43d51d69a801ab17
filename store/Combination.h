#pragma once

#include <QString>

#include <array>

// An ordered triple of socket values (socket 1, 2, 3), each a button name or
// the empty text.
using Combination = std::array<QString, 3>;

// What a combination is bound to, as shown to the user: the placeholder reads
// as the empty text.
struct Binding {
    QString info;
    QString path;
    friend bool operator==(const Binding&, const Binding&) = default;
};
