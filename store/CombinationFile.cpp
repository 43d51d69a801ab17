#include "store/CombinationFile.h"

#include "store/TrinodeError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// errno of the call that just failed, or the fallback where Qt left none.
int LastErrno(int fallback) {
    const int e = errno;
    return e != 0 ? e : fallback;
}

// A save that is killed between giving its temporary file a name and renaming
// it over the file leaves "<name>.XXXXXX" behind, and no later save would ever
// take it away. Only one program writes the file, so any such file is stale.
void RemoveStaleTemporaries(const QString& path) {
    const QFileInfo target(path);
    const QString prefix = target.fileName() + u'.';
    const QDir dir = target.dir();
    const QStringList names =
        dir.entryList({prefix + QStringLiteral("??????")}, QDir::Files | QDir::Hidden);
    for (const QString& name : names) {
        const QFileInfo candidate(dir.filePath(name));
        const QStringView suffix = QStringView(name).sliced(prefix.size());
        const bool ours = std::all_of(suffix.begin(), suffix.end(), [](QChar c) {
            return c.unicode() < 128 && c.isLetterOrNumber();
        });
        if (ours && !candidate.isSymLink())
            QFile::remove(candidate.filePath());
    }
}

} // namespace

CombinationFile::CombinationFile(QString path) : m_path(std::move(path)) {}

QString CombinationFile::DefaultPath() {
    return QDir::homePath() + QStringLiteral("/TrinodeRun.cmb");
}

bool CombinationFile::Exists() const { return QFileInfo::exists(m_path); }

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

CombinationFile::Replacement::Replacement(const QString& path)
    : m_file(std::make_unique<QSaveFile>(path)) {
    RemoveStaleTemporaries(path);
    // Where the directory takes no temporary file, the file is written in
    // place: the one case that cannot be atomic.
    m_file->setDirectWriteFallback(true);
    errno = 0;
    if (!m_file->open(QIODevice::WriteOnly)) {
        int e = LastErrno(EACCES);
        // A missing directory is a bad path rather than a missing file.
        if (e == ENOENT && !QFileInfo(path).dir().exists())
            e = ENOTDIR;
        throw FileError::FromErrno(e);
    }
}

CombinationFile::Replacement::~Replacement() {
    if (m_file->isOpen())
        m_file->cancelWriting();
}

void CombinationFile::Replacement::Write(const QByteArray& bytes) {
    qsizetype total = 0;
    while (total < bytes.size()) {
        errno = 0;
        const qint64 n = m_file->write(bytes.constData() + total, bytes.size() - total);
        if (n <= 0)
            break;
        total += n;
    }
    errno = 0;
    if (total != bytes.size() || !m_file->flush()) {
        // A write that stores less than the whole table is a full disk,
        // whatever the device said.
        m_file->cancelWriting();
        throw FileError(FileError::DiskFull);
    }
}

void CombinationFile::Replacement::Finish() {
    // The data must be on the disk before the new file takes the old one's
    // name, or a power loss could leave a name with no data behind it.
    errno = 0;
    if (::fsync(m_file->handle()) != 0) {
        const int e = LastErrno(EIO);
        m_file->cancelWriting();
        throw FileError::FromErrno(e);
    }
    errno = 0;
    if (!m_file->commit())
        throw FileError::FromErrno(LastErrno(EIO));
}
