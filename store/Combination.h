#pragma once

#include <QByteArray>
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

// A binding as the bytes stored, with the placeholder as no bytes. They need
// not be valid text (a file name in another encoding): they name the file as
// they are, and written back unchanged they stay the same bytes.
struct StoredBinding {
    QByteArray info;
    QByteArray path;
    friend bool operator==(const StoredBinding&, const StoredBinding&) = default;
};
