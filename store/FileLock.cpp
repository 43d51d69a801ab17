#include "store/FileLock.h"

#include "store/CombinationFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <time.h>
#include <unistd.h>

namespace FileLock {

namespace {

// How often a held lock is tried again.
constexpr long PollNanoseconds = 10 * 1000 * 1000;

} // namespace

void Pause(AssignProgress& waiting) {
    waiting.Waiting();
    const timespec pause{0, PollNanoseconds};
    ::nanosleep(&pause, nullptr);
}

Result Take(int fd, int operation, Clock::time_point deadline, AssignProgress& waiting) {
    for (;;) {
        if (::flock(fd, operation | LOCK_NB) == 0)
            return Result::Locked;
        if (errno == EINTR)
            continue;
        // A file system without locks (some network ones) is used unlocked
        // rather than not at all.
        if (errno != EWOULDBLOCK)
            return Result::NoLocks;
        if (Clock::now() >= deadline)
            return Result::Held;
        Pause(waiting);
    }
}

FileDescriptor OpenLockFile(const QByteArray& resolved, const struct stat* file) {
    FileDescriptor fd(::open(CombinationFile::LockPath(resolved).constData(),
                             O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
    struct stat st {};
    if (!fd.IsOpen() || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    const uid_t me = ::geteuid();
    const bool forOwner = me == 0 && file && file->st_uid != 0;
    // Only a file that no other name shares is given away: never one that a
    // hard link makes look like a lock file.
    if (forOwner && st.st_uid == 0 && st.st_nlink == 1 &&
        ::fchown(fd.Get(), file->st_uid, file->st_gid) == 0)
        st.st_uid = file->st_uid;
    const bool ours = st.st_uid == me || (forOwner && st.st_uid == file->st_uid);
    if (!ours || (st.st_mode & (S_IRWXG | S_IRWXO)) != 0)
        return {};
    return fd;
}

} // namespace FileLock
