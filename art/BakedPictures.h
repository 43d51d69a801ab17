#pragma once

#include <QImage>
#include <QString>

// The 1x pictures, decoded while the program was built (trinode_artbake) and
// carried in its read-only data: an ordinary screen shows them without
// loading a JPEG decoder, and their pages are the program's own, shared with
// every other start and given back to the system like any program text.
namespace Art {

// The named 1x picture, in Format_RGB32, drawing from the carried pixels in
// place (the image never writes to them: a change copies them first); a null
// image for a name that was not baked.
QImage Baked(const QString& name);

} // namespace Art
