#pragma once

// The pictures of the main window by holder name, drawn from the window's
// table (art/PictureTable): which image each Buffer pair belongs to, which
// button each BuffSocket shows, and how each looks.

#include <QImage>
#include <QString>

#include <vector>

struct Picture {
    QString name; // the holder's name, without ".jpg"
    QImage image;
};

namespace PictureSet {

// Every picture of the table, drawn at scale device pixels per layout pixel
// (1 or 2).
std::vector<Picture> DrawAll(int scale);

// The program's icon at each size of the desktop's icon theme, named by size
// ("16", "22", ... "256").
std::vector<Picture> DrawIcons();

} // namespace PictureSet
