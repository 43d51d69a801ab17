#include "launcher/Canvas.h"

#include <algorithm>
#include <cmath>

namespace {

int Scaled(int length, double scale) {
    return int(std::lround(length * scale));
}

} // namespace

Canvas::Canvas(QSize window) {
    if (window.width() > 0 && window.height() > 0)
        m_scale = std::min({1.0, double(window.width()) / LayoutSize.width(),
                            double(window.height()) / LayoutSize.height()});
    const QSize size(Scaled(LayoutSize.width(), m_scale), Scaled(LayoutSize.height(), m_scale));
    // A window smaller than the layout in one direction only leaves the rest
    // of the other direction to share out; never a negative margin.
    const QPoint origin(std::max(0, (window.width() - size.width()) / 2),
                        std::max(0, (window.height() - size.height()) / 2));
    m_area = QRect(origin, size);
}

int Canvas::MapX(int x) const {
    return m_area.left() + Scaled(x, m_scale);
}

int Canvas::MapY(int y) const {
    return m_area.top() + Scaled(y, m_scale);
}

QRect Canvas::Map(const QRect& layout) const {
    const int left = MapX(layout.left());
    const int top = MapY(layout.top());
    return QRect(left, top, MapX(layout.left() + layout.width()) - left,
                 MapY(layout.top() + layout.height()) - top);
}

QRegion Canvas::Map(const QRegion& layout) const {
    // Scaled down, neighbouring rows and runs can land on the same pixels, so
    // the mapped rectangles are united rather than handed over as bands.
    QRegion region;
    for (const QRect& rect : layout)
        region += Map(rect);
    return region;
}

int Canvas::MapLength(int layout) const {
    return std::max(1, Scaled(layout, m_scale));
}
