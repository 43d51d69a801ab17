#include "art/ColourKey.h"

#include <QImage>

#include <algorithm>
#include <vector>

namespace ColourKey {
namespace {

bool IsKey(QRgb pixel) {
    return (pixel | 0xff000000) == Key;
}

} // namespace

QRegion KeyedPixels(const QImage& image) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    const int width = rgb.width();
    const int height = rgb.height();
    std::vector<QRect> runs;
    for (int y = 0; y < height; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        // Pictures almost never hold the key colour: a straight pass that the
        // compiler vectorises tells whether the line needs looking into.
        unsigned keyed = 0;
        for (int x = 0; x < width; ++x)
            keyed += IsKey(line[x]);
        if (keyed == 0)
            continue;
        int x = 0;
        while (x < width) {
            if (!IsKey(line[x])) {
                ++x;
                continue;
            }
            const int start = x;
            while (x < width && IsKey(line[x]))
                ++x;
            runs.emplace_back(start, y, x - start, 1);
        }
    }
    QRegion region;
    if (!runs.empty())
        region.setRects(runs.data(), int(runs.size()));
    return region;
}

QRegion KeyedLayoutPixels(const QImage& image) {
    const qreal ratio = image.devicePixelRatio();
    if (qFuzzyCompare(ratio, 1.0))
        return KeyedPixels(image);
    // Pictures almost never hold the key: that is found out on the device
    // pixels before anything is sampled.
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    if (KeyedPixels(rgb).isEmpty())
        return QRegion();
    const QSize layout = (QSizeF(rgb.size()) / ratio).toSize();
    QImage sampled(layout, QImage::Format_RGB32);
    for (int y = 0; y < layout.height(); ++y) {
        const auto* source = reinterpret_cast<const QRgb*>(
            rgb.constScanLine(std::min(int((y + 0.5) * ratio), rgb.height() - 1)));
        auto* line = reinterpret_cast<QRgb*>(sampled.scanLine(y));
        for (int x = 0; x < layout.width(); ++x)
            line[x] = source[std::min(int((x + 0.5) * ratio), rgb.width() - 1)];
    }
    return KeyedPixels(sampled);
}

} // namespace ColourKey
