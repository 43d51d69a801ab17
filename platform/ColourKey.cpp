#include "platform/ColourKey.h"

#include <QImage>

#include <vector>

namespace ColourKey {

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
            keyed += (line[x] | 0xff000000) == Key;
        if (keyed == 0)
            continue;
        int x = 0;
        while (x < width) {
            if ((line[x] | 0xff000000) != Key) {
                ++x;
                continue;
            }
            const int start = x;
            while (x < width && (line[x] | 0xff000000) == Key)
                ++x;
            runs.emplace_back(start, y, x - start, 1);
        }
    }
    QRegion region;
    if (!runs.empty())
        region.setRects(runs.data(), int(runs.size()));
    return region;
}

} // namespace ColourKey
