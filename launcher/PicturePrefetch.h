#pragma once

#include <QImage>
#include <QRegion>
#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// The pictures of the main window's first paint, decoded on a thread of their
// own while the toolkit starts up, so that the window finds them ready
// instead of decoding them one after another in its constructor. The ratio
// is a guess made before any screen is known; a window that turns out to
// need another one decodes its pictures itself, as without a prefetch.
namespace Jpeg {
class Use;
}

class PicturePrefetch final {
public:
    struct Picture {
        QImage image;
        QRegion keyed;
    };

    PicturePrefetch();
    ~PicturePrefetch();
    PicturePrefetch(const PicturePrefetch&) = delete;
    PicturePrefetch& operator=(const PicturePrefetch&) = delete;

    // The ratio the pictures will most likely be shown at: the scale factor
    // the user set for Qt, else 1.
    static qreal GuessedRatio();

    // Starts decoding the named pictures, in this order, for the ratio.
    void Start(const QStringList& names, qreal ratio);
    // The named picture for this ratio, waiting while the thread is still on
    // it; taken once. None for a name that was not asked for, another ratio,
    // or a picture that did not decode (the caller decodes it and says why).
    std::optional<Picture> Take(const QString& name, qreal ratio);
    // Stops the thread after the picture it is on and lets every picture not
    // taken go.
    void Finish();

private:
    struct Slot {
        QString name;
        std::optional<Picture> picture;
        bool done = false;
    };

    void Run();

    qreal m_ratio = 0;
    // The decoder's library, loaded before the thread starts: loaded on the
    // thread it would hold the loader's lock while the toolkit loads its own.
    std::unique_ptr<Jpeg::Use> m_library;
    std::vector<Slot> m_slots;
    std::mutex m_mutex;
    std::condition_variable m_decoded;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};
