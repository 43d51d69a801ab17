#pragma once

// The desktop's applications folders, walked the way GIO walks them: the
// "applications" folder of XDG_DATA_HOME, then that of each folder of
// XDG_DATA_DIRS, and every folder below them; each file named *.desktop is
// known by its desktop ID, its path below the applications folder with "/"
// turned into "-", and the first folder that holds an ID wins it.
//
// GIO's own walk follows every link into a folder, so a link that leads back
// into a folder it stands in keeps it going for ever, holding GIO's lock of
// the folders; and GIO makes that walk before it reads any desktop entry or
// looks up any default application (GLib 2.74). This walk enters no folder
// twice, notes such a link, and stops at a time limit, so it always ends.

#include <QByteArray>
#include <QString>

#include <chrono>
#include <vector>

namespace ApplicationFolders {

struct Entry {
    QByteArray id;
    // The file's path, as the system names it.
    QByteArray file;
    // When the file last changed (nanoseconds) and its size, so that an
    // edited entry tells from the one read before.
    qint64 changed = 0;
    qint64 size = 0;
    bool operator==(const Entry&) const = default;
};

struct Listing {
    // Each desktop ID once, in the order found.
    std::vector<Entry> entries;
    // A link that leads back into a folder it stands in; empty when none.
    QByteArray loop;
    // False when the time limit ended the walk first.
    bool complete = true;
    bool operator==(const Listing&) const = default;

    // Why GIO's own walk of these folders would not end; empty when it
    // would.
    QString Obstacle() const;
};

// How long a walk may take: a slow or huge folder cannot hold it longer.
inline constexpr std::chrono::seconds TimeLimit{3};

Listing Walk(std::chrono::milliseconds limit = TimeLimit);

} // namespace ApplicationFolders
