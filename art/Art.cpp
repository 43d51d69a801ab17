#include "art/Art.h"

#include <QColor>
#include <QRegularExpression>

// Stand-in until the artwork lands: flat pictures of the right sizes.
namespace Art {

QImage Load(const QString& name) {
    QSize size(32, 32);
    if (name == QLatin1String("Background"))
        size = QSize(600, 600);
    else if (name == QLatin1String("Buffer27") || name == QLatin1String("Buffer28"))
        size = QSize(200, 75);
    else if (name.startsWith(QLatin1String("BuffSocket")) || name == QLatin1String("SocketStart"))
        size = QSize(44, 44);
    QImage image(size, QImage::Format_RGB32);
    const int n = name.mid(name.indexOf(QRegularExpression(QStringLiteral("\\d")))).toInt();
    image.fill(QColor::fromHsv((n * 37) % 360, 160, (n % 2) ? 255 : 160));
    return image;
}

} // namespace Art
