#include "platform/ColourKey.h"

#include <QImage>

#include <vector>

namespace ColourKey {

QRegion KeyedPixels(const QImage& image) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    std::vector<QRect> runs;
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        int x = 0;
        while (x < rgb.width()) {
            if ((line[x] | 0xff000000) != Key) {
                ++x;
                continue;
            }
            const int start = x;
            while (x < rgb.width() && (line[x] | 0xff000000) == Key)
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
