#include "art/JpegLibrary.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

#include <mutex>

#include <dlfcn.h>

namespace Jpeg {
namespace {

std::mutex Guard;
void* Handle = nullptr;
int Users = 0;
Api Loaded;
QString LastError;
bool Kept = false;

template <typename Call> bool Find(Call& call, const char* name) {
    call = reinterpret_cast<Call>(::dlsym(Handle, name));
    return call != nullptr;
}

// Under Guard.
bool Load() {
    Handle = ::dlopen(TRINODE_JPEG_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    if (Handle && Find(Loaded.std_error, "jpeg_std_error") &&
        Find(Loaded.CreateDecompress, "jpeg_CreateDecompress") &&
        Find(Loaded.mem_src, "jpeg_mem_src") && Find(Loaded.read_header, "jpeg_read_header") &&
        Find(Loaded.start_decompress, "jpeg_start_decompress") &&
        Find(Loaded.read_scanlines, "jpeg_read_scanlines") &&
        Find(Loaded.finish_decompress, "jpeg_finish_decompress") &&
        Find(Loaded.destroy_decompress, "jpeg_destroy_decompress"))
        return true;
    LastError = QString::fromLocal8Bit(::dlerror());
    if (Handle)
        ::dlclose(Handle);
    Handle = nullptr;
    return false;
}

// Holds the library for KeepUntilIdle until it is deleted: at the event
// loop's next pass, or with the application.
class KeptUse final : public QObject {
public:
    explicit KeptUse(QCoreApplication* app) : QObject(app) { Kept = true; }
    ~KeptUse() override { Kept = false; }
    const Use use;
};

} // namespace

Use::Use() {
    const std::lock_guard lock(Guard);
    if (Users == 0 && !Load())
        return;
    ++Users;
    m_api = &Loaded;
}

Use::~Use() {
    if (!m_api)
        return;
    const std::lock_guard lock(Guard);
    if (--Users == 0) {
        ::dlclose(Handle);
        Handle = nullptr;
    }
}

QString Use::Error() const {
    const std::lock_guard lock(Guard);
    return QStringLiteral("cannot load %1: %2")
        .arg(QLatin1String(TRINODE_JPEG_LIBRARY), LastError);
}

void Use::KeepUntilIdle() {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread() || Kept)
        return;
    auto* kept = new KeptUse(app);
    QTimer::singleShot(0, app, [kept] { delete kept; });
}

} // namespace Jpeg
