#include "art/Art.h"

#include "art/JpegDecoder.h"

#include <QResource>
#include <QtDebug>

namespace Art {

QImage Load(const QString& name) {
    // The JPEGs are compiled in as resources under /art (art/CMakeLists.txt);
    // rcc keeps them uncompressed, so the data is read in place.
    const QResource resource(QStringLiteral(":/art/%1.jpg").arg(name));
    if (!resource.isValid()) {
        qWarning("Art: no picture named %s", qUtf8Printable(name));
        return QImage();
    }
    QString error;
    QImage image = DecodeJpeg(resource.uncompressedData(), &error);
    if (image.isNull())
        qWarning("Art: picture %s cannot be decoded: %s", qUtf8Printable(name),
                 qUtf8Printable(error));
    return image;
}

} // namespace Art
