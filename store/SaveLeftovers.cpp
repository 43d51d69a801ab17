#include "store/SaveLeftovers.h"

#include "store/FileSystem.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace FileSystem;

namespace SaveLeftovers {

namespace {

constexpr int LettersInName = 6;
constexpr char AsideSuffix[] = ".old";

// Removes a save's temporary file that no running save holds: one that a
// killed save left. One that cannot be opened is not ours to judge.
void RemoveIfLeftover(int directory, const char* name) {
    const FileDescriptor fd(
        ::openat(directory, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat opened {};
    if (!fd.IsOpen() || ::fstat(fd.Get(), &opened) != 0 || !S_ISREG(opened.st_mode) ||
        ::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0)
        return;
    struct stat named {};
    if (::fstatat(directory, name, &named, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(opened, named))
        ::unlinkat(directory, name, 0);
}

using Directory = std::unique_ptr<DIR, int (*)(DIR*)>;

Directory Open(const QByteArray& finalPath) {
    return Directory(::opendir(DirectoryOf(finalPath).constData()), ::closedir);
}

QByteArray SavingPrefix(const QByteArray& finalPath) {
    return '.' + NameOf(finalPath) + ".saving-";
}

} // namespace

bool LockTemporary(const FileDescriptor& fd, const QByteArray& name) {
    if (::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)
        return false;
    struct stat mine {};
    struct stat named {};
    return ::fstat(fd.Get(), &mine) == 0 && ::lstat(name.constData(), &named) == 0 &&
           SameFile(mine, named);
}

void RemoveUnheld(const QByteArray& finalPath) {
    const QByteArray prefix = SavingPrefix(finalPath);
    const QByteArray earlierName = '.' + NameOf(finalPath) + ".saving"; // one name for every save
    const Directory dir = Open(finalPath);
    if (!dir)
        return;
    while (const dirent* entry = ::readdir(dir.get())) {
        const QByteArray entryName(entry->d_name);
        if ((entryName.startsWith(prefix) && entryName.size() == prefix.size() + LettersInName) ||
            entryName == earlierName)
            RemoveIfLeftover(::dirfd(dir.get()), entry->d_name);
    }
}

void PutBackMovedAside(const QByteArray& finalPath) {
    const QByteArray prefix = SavingPrefix(finalPath);
    const qsizetype length = prefix.size() + LettersInName + qsizetype(sizeof AsideSuffix) - 1;
    const Directory dir = Open(finalPath);
    if (!dir)
        return;
    QByteArray newest;
    timespec newestTime{};
    while (const dirent* entry = ::readdir(dir.get())) {
        const QByteArray name(entry->d_name);
        struct stat st {};
        if (!name.startsWith(prefix) || !name.endsWith(AsideSuffix) || name.size() != length ||
            ::fstatat(::dirfd(dir.get()), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(st.st_mode))
            continue;
        if (newest.isEmpty() || st.st_mtim.tv_sec > newestTime.tv_sec ||
            (st.st_mtim.tv_sec == newestTime.tv_sec && st.st_mtim.tv_nsec > newestTime.tv_nsec)) {
            newest = name;
            newestTime = st.st_mtim;
        }
    }
    const QByteArray moved = Joined(DirectoryOf(finalPath), newest);
    if (!newest.isEmpty() && ::link(moved.constData(), finalPath.constData()) == 0)
        ::unlink(moved.constData());
}

QByteArray AsideName(const QByteArray& temporaryPath) {
    return temporaryPath + AsideSuffix;
}

} // namespace SaveLeftovers
