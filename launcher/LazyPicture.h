#pragma once

#include <QImage>
#include <QPixmap>
#include <QRegion>
#include <QString>

// One picture of the main window, decoded the first time it is shown rather
// than at start-up, and for the device pixel ratio it is shown at: on a 2x
// screen it comes from the 2x set, so it fills its layout box with drawn
// pixels instead of enlarged ones. Asked for at another ratio (the window
// moved to another screen), it decodes that ratio's picture in its place.
class LazyPicture final {
public:
    explicit LazyPicture(QString name);

    const QString& Name() const { return m_name; }
    const QPixmap& Pixmap(qreal ratio);
    // The layout pixels of the picture that the colour key leaves undrawn.
    const QRegion& KeyedPixels(qreal ratio);
    bool IsDecoded() const { return !m_pixmap.isNull(); }
    // Takes a picture decoded elsewhere for this ratio, with its keyed
    // pixels, as if it had been decoded here.
    void Adopt(QImage image, QRegion keyed, qreal ratio);
    // Lets the decoded picture go; the next request decodes it again.
    void Release();

private:
    void DecodeFor(qreal ratio);

    QString m_name;
    qreal m_ratio = 0;
    QPixmap m_pixmap;
    QRegion m_keyed;
};
