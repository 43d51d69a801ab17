#pragma once

#include <QColor>
#include <QRegion>

class QImage;

// The main window's colour key: pixels of exactly pure red are not drawn, so
// whatever lies behind the window shows through them.
namespace ColourKey {

inline constexpr QRgb Key = 0xffff0000;

// The pixels of the image that are exactly the key colour.
QRegion KeyedPixels(const QImage& image);

// The same in layout pixels, for a picture drawn at the image's device pixel
// ratio: the window's mask is made of layout pixels. A layout pixel is keyed
// when the device pixel drawn at its centre is, so a picture made for 2x keys
// what it shows at 2x, not what its 1x counterpart would.
QRegion KeyedLayoutPixels(const QImage& image);

} // namespace ColourKey
