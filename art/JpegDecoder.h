#pragma once

// Decoding of the main window's pictures with libjpeg's own decompression API,
// straight from memory into a QImage. Qt's image plugins are never involved:
// the pictures are baseline JPEGs, and libjpeg decodes them with its own SIMD
// code and nothing else in between.

#include <QByteArrayView>
#include <QImage>
#include <QString>

namespace Art {

// The picture that jpeg holds, in QImage::Format_RGB32. Anything libjpeg
// objects to, warnings about corrupt data included, gives a null image; when
// error is given it receives libjpeg's message. Never exits, never throws.
// With eighths below 8 the picture comes out scaled by eighths / 8 (each
// side rounded up), which libjpeg does within its inverse transform at less
// cost than a full decode; fullSize, when given, receives the size the
// picture has unscaled.
QImage DecodeJpeg(QByteArrayView jpeg, QString* error = nullptr, int eighths = 8,
                  QSize* fullSize = nullptr);

} // namespace Art
