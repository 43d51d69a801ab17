#pragma once

// How each kind of picture of the main window is drawn:
// glossy balls for the buttons, silver rings for the sockets, the Run bar and
// the background with its star burst. Everything is painted with QPainter at
// several times the final size and scaled down, so edges and gradients come
// out smooth; the results are opaque, on black, ready for the JPEG encoder.
// Sizes are in layout pixels, as the window's table gives them; each picture
// is designed for the size the window has always had and fitted to the size
// it is asked for. scale gives the device pixels per layout pixel (1 for
// ordinary screens, 2 for high-resolution ones): the same drawing, scale
// times as many pixels each way.

#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>

#include <array>
#include <optional>
#include <vector>

// The face of one button: its catalogue colour and its letter.
struct BallLook {
    QColor colour;
    QString letter;
};

// Where the background carries what stands over it, in its own coordinates.
struct BackdropLayout {
    QSize size;
    // The dark panel goes behind the information text's box.
    QRect infoLabel;
    // The empty rings lie exactly under the socket images.
    std::vector<QRect> sockets;
};

namespace ArtPainter {

// A catalogue, Exit or Add picture; pressed draws the ball lighter.
QImage Button(const BallLook& look, bool pressed, QSize size, int scale);

// A socket picture: the ball inside a silver ring, or the silver ring around
// black when there is no ball (the empty socket).
QImage Socket(const std::optional<BallLook>& look, QSize size, int scale);

// The Run picture: red when normal, green when pressed.
QImage RunBar(bool pressed, QSize size, int scale);

// The backdrop: a pale lilac star burst around a black disc, which carries
// the panel and the rings.
QImage Background(const BackdropLayout& layout, int scale);

// The program's icon, size x size on a transparent ground: three balls on the
// black disc with its lilac rim, as the window shows them.
QImage Icon(int size, const std::array<BallLook, 3>& balls);

} // namespace ArtPainter
