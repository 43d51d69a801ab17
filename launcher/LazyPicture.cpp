#include "launcher/LazyPicture.h"

#include "art/Art.h"
#include "platform/ColourKey.h"

LazyPicture::LazyPicture(QString name) : m_name(std::move(name)) {}

void LazyPicture::DecodeAhead(qreal ratio) {
    m_ahead = std::async(std::launch::async, &LazyPicture::Decode, m_name, ratio);
    m_aheadRatio = ratio;
}

const QPixmap& LazyPicture::Pixmap(qreal ratio) {
    DecodeFor(ratio);
    return m_pixmap;
}

const QRegion& LazyPicture::KeyedPixels(qreal ratio) {
    DecodeFor(ratio);
    return m_keyed;
}

void LazyPicture::Release() {
    // Dropping a decode ahead waits for its thread.
    m_ahead = {};
    m_pixmap = QPixmap();
    m_keyed = QRegion();
    m_ratio = 0;
}

LazyPicture::Decoded LazyPicture::Decode(const QString& name, qreal ratio) {
    Decoded decoded;
    decoded.image = Art::LoadForRatio(name, ratio);
    decoded.keyed = ColourKey::KeyedLayoutPixels(decoded.image);
    return decoded;
}

void LazyPicture::DecodeFor(qreal ratio) {
    if (!m_pixmap.isNull() && qFuzzyCompare(ratio, m_ratio))
        return;
    // A decode ahead is taken once, and only for the ratio it was made for.
    Decoded decoded;
    if (m_ahead.valid() && qFuzzyCompare(ratio, m_aheadRatio))
        decoded = m_ahead.get();
    else
        decoded = Decode(m_name, ratio);
    m_ahead = {};
    m_keyed = std::move(decoded.keyed);
    // The image's pixels move into the pixmap; nothing is copied.
    m_pixmap = QPixmap::fromImage(std::move(decoded.image));
    m_ratio = ratio;
}
