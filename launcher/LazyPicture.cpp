#include "launcher/LazyPicture.h"

#include "art/Art.h"
#include "art/ColourKey.h"

LazyPicture::LazyPicture(QString name) : m_name(std::move(name)) {}

const QPixmap& LazyPicture::Pixmap(qreal ratio) {
    DecodeFor(ratio);
    return m_pixmap;
}

const QRegion& LazyPicture::KeyedPixels(qreal ratio) {
    DecodeFor(ratio);
    return m_keyed;
}

void LazyPicture::Adopt(QImage image, QRegion keyed, qreal ratio) {
    m_keyed = std::move(keyed);
    m_pixmap = QPixmap::fromImage(std::move(image));
    m_ratio = ratio;
}

void LazyPicture::Release() {
    m_pixmap = QPixmap();
    m_keyed = QRegion();
    m_ratio = 0;
}

void LazyPicture::DecodeFor(qreal ratio) {
    if (!m_pixmap.isNull() && qFuzzyCompare(ratio, m_ratio))
        return;
    QImage image = Art::LoadForRatio(m_name, ratio);
    m_keyed = ColourKey::KeyedLayoutPixels(image);
    // The image's pixels move into the pixmap; nothing is copied.
    m_pixmap = QPixmap::fromImage(std::move(image));
    m_ratio = ratio;
}
