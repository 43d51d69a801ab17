#pragma once

// The 75 pictures of the main window by holder name: which button
// each Buffer pair and each BuffSocket shows, and how it looks.

#include <QImage>
#include <QString>

#include <vector>

struct Picture {
    QString name; // the holder's name, without ".jpg"
    QImage image;
};

namespace PictureSet {

// Every picture, drawn: Background, Buffer1-Buffer50, BuffSocket1-BuffSocket23
// and SocketStart, at scale device pixels per layout pixel (1 or 2).
std::vector<Picture> DrawAll(int scale);

// The program's icon at each size of the desktop's icon theme, named by size
// ("16", "22", ... "256").
std::vector<Picture> DrawIcons();

} // namespace PictureSet
