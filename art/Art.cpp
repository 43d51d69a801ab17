#include "art/Art.h"

#include "art/BakedPictures.h"
#include "art/JpegDecoder.h"

#include <QResource>
#include <QtDebug>
#include <QtMath>

namespace Art {
namespace {

// Ratios are read from the screen as floating point; 1.0000001 is 1.
constexpr qreal Tolerance = 1e-6;

QImage Decode(const QString& name, int scale, int eighths, Warnings warnings,
              QSize* fullSize = nullptr) {
    // The JPEGs are compiled in as resources under /art, the 2x set under
    // /art/2x (art/CMakeLists.txt); rcc keeps them uncompressed, so the data
    // is read in place.
    const QString path = scale == 2 ? QStringLiteral(":/art/2x/%1.jpg").arg(name)
                                    : QStringLiteral(":/art/%1.jpg").arg(name);
    const QResource resource(path);
    if (!resource.isValid()) {
        if (warnings == Warnings::Shown)
            qWarning("Art: no picture named %s", qUtf8Printable(name));
        return QImage();
    }
    QString error;
    QImage image = DecodeJpeg(resource.uncompressedData(), &error, eighths, fullSize);
    if (image.isNull() && warnings == Warnings::Shown)
        qWarning("Art: picture %s cannot be decoded: %s", qUtf8Printable(name),
                 qUtf8Printable(error));
    return image;
}

QImage LoadSet(const QString& name, int scale, Warnings warnings) {
    const int set = scale == 2 ? 2 : 1;
    if (set == 1)
        if (QImage baked = Baked(name); !baked.isNull())
            return baked;
    QImage image = Decode(name, set, 8, warnings);
    image.setDevicePixelRatio(set);
    return image;
}

} // namespace

QImage Load(const QString& name, int scale) {
    return LoadSet(name, scale, Warnings::Shown);
}

int ScaleForRatio(qreal ratio) {
    return ratio > 1 + Tolerance ? 2 : 1;
}

QImage LoadForRatio(const QString& name, qreal ratio, Warnings warnings) {
    if (ScaleForRatio(ratio) == 1 || ratio >= 2 - Tolerance)
        return LoadSet(name, ScaleForRatio(ratio), warnings);

    // Between 1 and 2 the picture needs ratio / 2 of the 2x pixels. libjpeg
    // scales by eighths while it decodes, so at 1.25, 1.5 and 1.75 that is
    // the whole work; other ratios take the next larger eighth and are
    // brought to size from there.
    const int eighths = qCeil(ratio * 4 - Tolerance);
    QSize full;
    QImage image = Decode(name, 2, eighths, warnings, &full);
    if (image.isNull())
        return image;
    // The layout box of the picture, and the pixels it covers at this ratio
    // (a part pixel counts whole).
    const QSize layout = full / 2;
    const QSize wanted(qCeil(layout.width() * ratio - Tolerance),
                       qCeil(layout.height() * ratio - Tolerance));
    if (image.size() != wanted)
        image = image.scaled(wanted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    image.setDevicePixelRatio(ratio);
    return image;
}

} // namespace Art
