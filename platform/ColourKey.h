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

} // namespace ColourKey
