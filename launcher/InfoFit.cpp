#include "launcher/InfoFit.h"

#include <QFontMetricsF>

#include <algorithm>
#include <cmath>

namespace {

constexpr int TextFlags = Qt::TextShowMnemonic | Qt::TextSingleLine;

QFont AtSize(QFont font, int pixelSize) {
    font.setPixelSize(pixelSize);
    return font;
}

qreal WidthOf(const QFont& font, const QString& text) {
    return QFontMetricsF(font).size(TextFlags, text).width();
}

// The size at which FewestCharacters of the widest letter fit the box.
int SmallestSize(const QFont& font, int boxWidth) {
    const QFontMetricsF metrics(font);
    qreal widest = 0;
    QChar widestLetter;
    for (const QChar letter : QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                             "abcdefghijklmnopqrstuvwxyz0123456789")) {
        if (metrics.horizontalAdvance(letter) > widest) {
            widest = metrics.horizontalAdvance(letter);
            widestLetter = letter;
        }
    }
    if (widest <= 0)
        return font.pixelSize();
    const QString longest(InfoFit::FewestCharacters, widestLetter);
    int size = int(std::floor(font.pixelSize() * boxWidth / (widest * InfoFit::FewestCharacters)));
    while (size > 1 && WidthOf(AtSize(font, size), longest) > boxWidth)
        --size;
    return std::clamp(size, 1, font.pixelSize());
}

} // namespace

namespace InfoFit {

int PixelSize(const QFont& font, const QString& text, int boxWidth) {
    const int full = font.pixelSize();
    // Nothing to fit; measuring would load the fonts before the window's
    // first paint, which shows no text.
    if (text.isEmpty())
        return full;
    const qreal width = WidthOf(font, text);
    if (full <= 0 || width <= boxWidth)
        return full;
    const int smallest = SmallestSize(font, boxWidth);
    // Sizes do not scale widths exactly (hinting): start from the proportion
    // and step down until the text fits.
    int size = std::min(full - 1, int(std::floor(full * boxWidth / width)));
    while (size > smallest && WidthOf(AtSize(font, size), text) > boxWidth)
        --size;
    return std::max(size, smallest);
}

} // namespace InfoFit
