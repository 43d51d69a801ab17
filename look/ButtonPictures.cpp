#include "look/ButtonPictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPolygonF>

#include <cmath>
#include <initializer_list>

namespace ButtonPictures {
namespace {

constexpr qreal LineWidth = 3.2;

// Twice the area a closed run of points encloses, its sign telling which
// way round it goes.
qreal SignedArea(const QPainterPath& path) {
    qreal area = 0;
    for (int i = 0, n = path.elementCount(); i < n; ++i) {
        const QPointF a = path.elementAt(i);
        const QPointF b = path.elementAt((i + 1) % n);
        area += a.x() * b.y() - b.x() * a.y();
    }
    return area;
}

// Lines of LineWidth with round ends and joins, as one shape to fill: each
// line is a disc at every point and a band along every stretch, all going
// the same way round, so that the winding rule fills their union in one
// pass. The stroker would do the same with trigonometry that is most of a
// library's pages to read in.
QPainterPath ThickLines(std::initializer_list<std::initializer_list<QPointF>> lines) {
    const qreal r = LineWidth / 2;
    QPainterPath shape;
    shape.setFillRule(Qt::WindingFill);
    QPainterPath disc;
    disc.addEllipse(QPointF(), r, r);
    const bool discGoesPositive = SignedArea(disc) > 0;
    for (const auto& line : lines) {
        const QPointF* previous = nullptr;
        for (const QPointF& point : line) {
            shape.addPath(disc.translated(point));
            if (previous) {
                const QPointF along = point - *previous;
                const qreal length = std::sqrt(QPointF::dotProduct(along, along));
                const QPointF side(-along.y() * r / length, along.x() * r / length);
                QPainterPath band;
                band.addPolygon(QPolygonF{*previous + side, point + side, point - side,
                                          *previous - side});
                band.closeSubpath();
                shape.addPath((SignedArea(band) > 0) == discGoesPositive ? band
                                                                        : band.toReversed());
            }
            previous = &point;
        }
    }
    return shape;
}

QPixmap Draw(const QPainterPath& shape, const QColor& colour, int scale) {
    QPixmap pixmap(Size * scale, Size * scale);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(scale, scale);
    painter.fillPath(shape, colour);
    return pixmap;
}

QIcon Picture(const QPainterPath& shape, const QColor& colour) {
    QIcon icon;
    for (int scale : {1, 2}) {
        icon.addPixmap(Draw(shape, colour, scale), QIcon::Normal);
        icon.addPixmap(Draw(shape, QColor(0x9a, 0x9a, 0x9a), scale), QIcon::Disabled);
    }
    return icon;
}

} // namespace

QIcon CheckMark() {
    return Picture(ThickLines({{{3.0, 9.5}, {7.0, 13.5}, {15.0, 4.0}}}),
                   QColor(0x10, 0x9a, 0x2a));
}

QIcon Cross() {
    return Picture(ThickLines({{{4.0, 4.0}, {14.0, 14.0}}, {{14.0, 4.0}, {4.0, 14.0}}}),
                   QColor(0xd0, 0x18, 0x18));
}

QIcon ClearText() {
    return Picture(ThickLines({{{5.0, 5.0}, {13.0, 13.0}}, {{13.0, 5.0}, {5.0, 13.0}}}),
                   QColor(0x60, 0x60, 0x60));
}

} // namespace ButtonPictures
