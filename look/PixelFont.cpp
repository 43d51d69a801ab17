#include "look/PixelFont.h"

namespace PixelFont {

QFont Named(const char* family, int pixelSize) {
    QFont font;
    font.setFamilies({QString::fromLatin1(family), QStringLiteral("Liberation Sans"),
                      QStringLiteral("Nimbus Sans"), QStringLiteral("Arial")});
    font.setPixelSize(pixelSize);
    return font;
}

} // namespace PixelFont
