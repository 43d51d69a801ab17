#pragma once

// Encoding with libjpeg's own compression API, into the one format the program
// carries its pictures in: baseline (SOF0), 8 bits per sample, three components in
// YCbCr, the colour components sampled 2 x 2 (4:2:0).

#include <QByteArray>
#include <QImage>
#include <QString>

namespace JpegEncoder {

inline constexpr int Quality = 92;

// The JPEG file of image; an empty array when libjpeg fails, with its message
// in error.
QByteArray Encode(const QImage& image, QString* error);

} // namespace JpegEncoder
