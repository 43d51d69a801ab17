#include "store/KeptCopies.h"

#include "store/ButtonCatalogue.h"
#include "store/CombinationRecord.h"
#include "store/FileDamage.h"
#include "store/FileDescriptor.h"
#include "store/FileSystem.h"

#include <QDateTime>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace FileSystem;

namespace KeptCopies {

namespace {

constexpr qsizetype ChunkSize = 64 * 1024;

} // namespace

QByteArray FreeName(const QByteArray& finalPath, const QByteArray& kind) {
    const QByteArray stem =
        finalPath + '.' + kind + '-' +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")).toLatin1();
    struct stat st {};
    QByteArray name = stem;
    for (int n = 2; ::lstat(name.constData(), &st) == 0 && n < 100; ++n)
        name = stem + '-' + QByteArray::number(n);
    return name;
}

bool CopyAll(int from, int to) {
    off_t in = 0;
    for (;;) {
        const ssize_t n = ::copy_file_range(from, &in, to, nullptr, size_t(ChunkSize) * 16, 0);
        if (n > 0)
            continue;
        if (n == 0)
            return true;
        if (errno == EINTR)
            continue;
        if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
            return false;
        break; // no copying inside the system here: by hand
    }
    QByteArray chunk(ChunkSize, Qt::Uninitialized);
    for (;;) {
        const qsizetype n = ReadAllAt(from, chunk.data(), ChunkSize, in);
        if (n == 0)
            return true;
        if (!WriteAllAt(to, chunk.constData(), n, in))
            return false;
        in += off_t(n);
    }
}

bool IsWhole(const QByteArray& path) {
    constexpr qsizetype WholeSize =
        qsizetype(ButtonCatalogue::RecordCount) * CombinationRecord::Size;
    const FileDescriptor fd(::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (!fd.IsOpen() || ::fstat(fd.Get(), &st) != 0 || st.st_size != WholeSize)
        return false;
    QByteArray bytes(WholeSize, Qt::Uninitialized);
    return ReadAllAt(fd.Get(), bytes.data(), WholeSize, 0) == WholeSize &&
           !FileDamage::Of(bytes, WholeSize).IsDamaged();
}

} // namespace KeptCopies
