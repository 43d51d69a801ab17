#pragma once

// The main window's pictures in one table: every image the user presses, with
// its place in the 1024 x 746 layout, its hint, the catalogue name it places,
// its pressed and normal holders and the look of its ball; the places of the
// background and the information text; and the names and sizes of the 75
// pictures. The window builds itself from it, the artwork generator draws
// from it, and the tests (the shell tests through trinode_pictures) ask it
// for places instead of copying them.

#include <QRect>
#include <QSize>
#include <QString>

#include <span>
#include <vector>

namespace PictureTable {

// The layout every place is measured in.
inline constexpr QSize LayoutSize{1024, 746};

// What an image is: its look and its release action follow from it.
enum class Role { Catalogue, Run, Add, Exit, Socket };

struct Image {
    const char* objectName;
    QRect place;
    // Its hint, which a screen reader reads as its name.
    const char* hint;
    // The catalogue name a release places; empty for the other images.
    const char* button;
    // Buffer numbers of its pressed and normal pictures; 0 for the sockets,
    // which have neither.
    int pressed;
    int normal;
    Role role;
    int socket; // 1 to 3 for the sockets, else 0
    // The ball's colour word and letter (for the Run bar, its normal colour
    // and its word); empty for the sockets.
    const char* colour;
    const char* letter;
};

// In the window's order: the Run image, the sockets, Add, Exit, then the
// catalogue buttons row by row.
std::span<const Image> Images();
// The row of the object name or of the catalogue name; nullptr for none.
const Image* ImageNamed(const QString& objectName);
const Image* ImageOfButton(const QString& button);

inline constexpr QRect BackgroundPlace{212, 73, 600, 600};
inline constexpr QRect InfoLabelPlace{360, 240, 297, 81};
// The line that asks for a summon key, in the black corner left of the
// buttons' second row.
inline constexpr QRect SummonHintPlace{8, 716, 336, 24};
// Where the chord begun in the sockets leads, in the black strip right of
// the ring.
inline constexpr QRect ChordGuidePlace{820, 96, 196, 560};

// Picture names.
QString BackgroundPicture();
// What the three sockets show until first emptied: the empty ring, stored
// apart from the empty-socket picture.
QString SocketStartPicture();
QString ButtonPicture(int n); // "Buffer<n>"
QString SocketPicture(int n); // "BuffSocket<n>"
// The socket picture of a catalogue entry (ButtonIndex); the empty entry's
// is the empty socket.
QString SocketPictureOf(int buttonIndex);

// How many Buffer and BuffSocket pictures there are.
int ButtonPictureCount();
int SocketPictureCount();

struct Picture {
    QString name;
    QSize size; // in layout pixels; the 2x set has twice as many each way
};

// Every picture once: the background, the start picture, the Buffer pictures
// and the BuffSocket pictures, each in the order of its number.
std::vector<Picture> AllPictures();

} // namespace PictureTable
