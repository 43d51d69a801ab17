#include "look/ButtonPictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace ButtonPictures {
namespace {

QPixmap Draw(const QPainterPath& shape, const QColor& colour, int scale) {
    QPixmap pixmap(Size * scale, Size * scale);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(scale, scale);
    painter.setPen(QPen(colour, 3.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(shape);
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
    QPainterPath tick;
    tick.moveTo(3.0, 9.5);
    tick.lineTo(7.0, 13.5);
    tick.lineTo(15.0, 4.0);
    return Picture(tick, QColor(0x10, 0x9a, 0x2a));
}

QIcon Cross() {
    QPainterPath cross;
    cross.moveTo(4.0, 4.0);
    cross.lineTo(14.0, 14.0);
    cross.moveTo(14.0, 4.0);
    cross.lineTo(4.0, 14.0);
    return Picture(cross, QColor(0xd0, 0x18, 0x18));
}

} // namespace ButtonPictures
