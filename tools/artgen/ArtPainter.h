#pragma once

// How each kind of picture of the main window is drawn:
// glossy balls for the buttons, silver rings for the sockets, the Run bar and
// the background with its star burst. Everything is painted with QPainter at
// several times the final size and scaled down, so edges and gradients come
// out smooth; the results are opaque, on black, ready for the JPEG encoder.
// Sizes are in layout pixels; scale gives the device pixels per layout pixel
// (1 for ordinary screens, 2 for high-resolution ones): the same drawing,
// scale times as many pixels each way.

#include <QColor>
#include <QImage>
#include <QString>

#include <array>
#include <optional>

// The face of one button: its catalogue colour and its letter.
struct BallLook {
    QColor colour;
    QString letter;
};

namespace ArtPainter {

// A catalogue, Exit or Add picture, 32 x 32; pressed draws the ball lighter.
QImage Button(const BallLook& look, bool pressed, int scale);

// A socket picture, 44 x 44: the ball inside a silver ring, or the silver
// ring around black when there is no ball (the empty socket).
QImage Socket(const std::optional<BallLook>& look, int scale);

// The Run picture, 200 x 75: red when normal, green when pressed.
QImage RunBar(bool pressed, int scale);

// The 600 x 600 backdrop, drawn at (212, 73) of the window.
QImage Background(int scale);

// The program's icon, size x size on a transparent ground: three balls on the
// black disc with its lilac rim, as the window shows them.
QImage Icon(int size, const std::array<BallLook, 3>& balls);

} // namespace ArtPainter
