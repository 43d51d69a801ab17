#pragma once

#include <QImage>
#include <QPixmap>
#include <QRegion>
#include <QString>

#include <future>

// One picture of the main window, decoded the first time it is shown rather
// than at start-up, and for the device pixel ratio it is shown at: on a 2x
// screen it comes from the 2x set, so it fills its layout box with drawn
// pixels instead of enlarged ones. Asked for at another ratio (the window
// moved to another screen), it decodes that ratio's picture in its place.
class LazyPicture final {
public:
    explicit LazyPicture(QString name);
    LazyPicture(const LazyPicture&) = delete;
    LazyPicture& operator=(const LazyPicture&) = delete;

    // Starts decoding the picture for this ratio on a thread of its own, for
    // the first request to take: a large picture that the first paint needs
    // is then decoded while the window is being made.
    void DecodeAhead(qreal ratio);

    const QString& Name() const { return m_name; }
    const QPixmap& Pixmap(qreal ratio);
    // The layout pixels of the picture that the colour key leaves undrawn.
    const QRegion& KeyedPixels(qreal ratio);
    bool IsDecoded() const { return !m_pixmap.isNull(); }
    // Lets the decoded picture go; the next request decodes it again.
    void Release();

private:
    struct Decoded {
        QImage image;
        QRegion keyed;
    };
    static Decoded Decode(const QString& name, qreal ratio);
    void DecodeFor(qreal ratio);

    QString m_name;
    qreal m_ratio = 0;
    QPixmap m_pixmap;
    QRegion m_keyed;
    // A decode started by DecodeAhead that no request has taken yet.
    std::future<Decoded> m_ahead;
    qreal m_aheadRatio = 0;
};
