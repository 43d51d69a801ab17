#include "launcher/PicturePrefetch.h"

#include "art/Art.h"
#include "art/ColourKey.h"
#include "art/JpegLibrary.h"

#include <QtGlobal>

#include <utility>

PicturePrefetch::PicturePrefetch() = default;

PicturePrefetch::~PicturePrefetch() {
    Finish();
}

qreal PicturePrefetch::GuessedRatio() {
    // Qt multiplies its scale factor into whatever the screen asks for; most
    // screens ask for 1.
    bool ok = false;
    const qreal factor = qEnvironmentVariable("QT_SCALE_FACTOR").toDouble(&ok);
    return ok && factor > 0 ? factor : 1.0;
}

void PicturePrefetch::Start(const QStringList& names, qreal ratio) {
    Finish();
    m_ratio = ratio;
    m_stop = false;
    m_slots.clear();
    for (const QString& name : names)
        m_slots.push_back({name, std::nullopt, false});
    m_library = std::make_unique<Jpeg::Use>();
    m_thread = std::thread([this] { Run(); });
}

void PicturePrefetch::Run() {
    for (Slot& slot : m_slots) {
        if (m_stop)
            break;
        // A picture that does not decode is left to the window, which says
        // why: this thread runs while the toolkit's messages are not set up.
        QImage image = Art::LoadForRatio(slot.name, m_ratio, Art::Warnings::Held);
        std::optional<Picture> picture;
        if (!image.isNull()) {
            QRegion keyed = ColourKey::KeyedLayoutPixels(image);
            picture = Picture{std::move(image), std::move(keyed)};
        }
        const std::lock_guard lock(m_mutex);
        slot.picture = std::move(picture);
        slot.done = true;
        m_decoded.notify_all();
    }
}

std::optional<PicturePrefetch::Picture> PicturePrefetch::Take(const QString& name, qreal ratio) {
    if (!m_thread.joinable() || !qFuzzyCompare(ratio, m_ratio))
        return std::nullopt;
    for (Slot& slot : m_slots) {
        if (slot.name != name)
            continue;
        std::unique_lock lock(m_mutex);
        m_decoded.wait(lock, [&slot] { return slot.done; });
        return std::exchange(slot.picture, std::nullopt);
    }
    return std::nullopt;
}

void PicturePrefetch::Finish() {
    if (!m_thread.joinable())
        return;
    m_stop = true;
    m_thread.join();
    m_slots.clear();
    m_library.reset();
}
