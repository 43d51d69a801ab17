#pragma once

#include <QImage>
#include <QString>

// The pictures of the main window, carried inside the program: the 1x set
// decoded while the program was built (BakedPictures), the 2x set decoded
// when first shown; nothing is read from disk at run time. Every
// picture exists twice: drawn for ordinary screens (1x) and at twice the
// resolution for high-resolution ones (2x), under the same name.
namespace Art {

// Names are those of PictureTable (AllPictures). scale is 1 or 2: the set to
// decode from. The picture's device pixel ratio is the scale, so that it
// covers the same layout box at either.
QImage Load(const QString& name, int scale = 1);

// Whether a picture that cannot be decoded is told as a warning, or only
// given back as a null image for the caller to tell.
enum class Warnings { Shown, Held };

// The picture as a screen with this device pixel ratio shows it: the 1x
// picture up to ratio 1, the 2x one from ratio 2 (above 2 Qt enlarges it),
// and in between the 2x picture brought down to the ratio (at 1.5, a 32 x 32
// picture is 48 x 48 pixels), so that every pixel of the layout box comes
// from a drawn pixel. The image's device pixel ratio is the one it was made
// for.
QImage LoadForRatio(const QString& name, qreal ratio, Warnings warnings = Warnings::Shown);

// The set a ratio decodes from: 1 or 2.
int ScaleForRatio(qreal ratio);

} // namespace Art
