#include "store/CombinationFile.h"

#include "store/TrinodeError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

// errno of the call that just failed, or the fallback where Qt left none.
int LastErrno(int fallback) {
    const int e = errno;
    return e != 0 ? e : fallback;
}

} // namespace

CombinationFile::CombinationFile(QString path) : m_path(std::move(path)) {}

QString CombinationFile::DefaultPath() {
    return QDir::homePath() + QStringLiteral("/TrinodeRun.cmb");
}

bool CombinationFile::Exists() const {
    return QFileInfo::exists(m_path);
}

bool CombinationFile::IsReadOnly() const {
    const QByteArray name = QFile::encodeName(m_path);
    struct stat st {};
    if (::stat(name.constData(), &st) != 0)
        return false;
    return (st.st_mode & S_IWUSR) == 0 || ::access(name.constData(), W_OK) != 0;
}

QByteArray CombinationFile::Read(qsizetype maxBytes) const {
    QFile file(m_path);
    errno = 0;
    if (!file.open(QIODevice::ReadOnly))
        throw FileError::FromErrno(LastErrno(ENOENT));
    QByteArray bytes(maxBytes, Qt::Uninitialized);
    qsizetype total = 0;
    while (total < maxBytes) {
        errno = 0;
        const qint64 n = file.read(bytes.data() + total, maxBytes - total);
        if (n < 0)
            throw FileError::FromErrno(LastErrno(EIO));
        if (n == 0)
            break;
        total += n;
    }
    bytes.truncate(total);
    return bytes;
}

QString CombinationFile::TemporaryPath(const QString& path) {
    const QFileInfo target(path);
    return target.dir().filePath(QStringLiteral(".%1.saving").arg(target.fileName()));
}

CombinationFile::Replacement::Replacement(const QString& path) {
    // A link is followed: the file it names is the one replaced, in its own
    // directory, and the link stays.
    QFileInfo target(path);
    if (target.isSymLink())
        target = QFileInfo(target.symLinkTarget());
    m_final = QFile::encodeName(target.absoluteFilePath());
    m_temporary = QFile::encodeName(TemporaryPath(target.absoluteFilePath()));

    struct stat st {};
    const bool exists = ::stat(m_final.constData(), &st) == 0;
    const mode_t mode = exists ? (st.st_mode & 07777) : 0666;

    // One name for the temporary file, ours alone: a save that was killed
    // before its rename left it behind, and this one takes it away.
    ::unlink(m_temporary.constData());
    m_fd = ::open(m_temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (m_fd >= 0) {
        if (exists)
            ::fchmod(m_fd, mode); // the old file's mode, whatever the umask
        return;
    }
    int e = errno;
    if (e == ENOENT && !target.dir().exists()) {
        // A missing directory is a bad path rather than a missing file.
        e = ENOTDIR;
    } else if (e == EACCES || e == EPERM || e == EROFS) {
        // A directory that takes no new file: the file is written in place,
        // the one case that cannot be atomic.
        m_direct = true;
        m_fd = ::open(m_final.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (m_fd >= 0)
            return;
        e = errno;
    }
    throw FileError::FromErrno(e);
}

CombinationFile::Replacement::~Replacement() {
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_finished && !m_direct)
        ::unlink(m_temporary.constData());
}

void CombinationFile::Replacement::Write(const QByteArray& bytes) {
    qsizetype total = 0;
    while (total < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.constData() + total, size_t(bytes.size() - total));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        total += n;
    }
    // A write that stores less than the whole table is a full disk, whatever
    // the device said.
    if (total != bytes.size())
        throw FileError(FileError::DiskFull);
}

void CombinationFile::Replacement::Finish() {
    // The data must be on the disk before the new file takes the old one's
    // name, or a power loss could leave a name with no data behind it.
    if (::fdatasync(m_fd) != 0)
        throw FileError::FromErrno(LastErrno(EIO));
    const int fd = std::exchange(m_fd, -1);
    if (::close(fd) != 0)
        throw FileError::FromErrno(LastErrno(EIO));
    if (!m_direct && ::rename(m_temporary.constData(), m_final.constData()) != 0)
        throw FileError::FromErrno(LastErrno(EIO));
    m_finished = true;
}
