#pragma once

#include <QFont>
#include <QStringList>

// The faces the windows were drawn for (Tahoma, Trebuchet MS,
// MS Sans Serif) at their pixel sizes. Where the machine lacks the named face,
// fontconfig's usual stand-in is much wider and cuts the fixed-size captions;
// narrower sans faces of about the same width come first, the same ones for
// every window.
namespace PixelFont {

QFont Named(const char* family, int pixelSize);

} // namespace PixelFont
