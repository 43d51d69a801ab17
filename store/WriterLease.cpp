#include "store/WriterLease.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <time.h>

namespace {

// How long a writer that asked in is given to open the file.
constexpr std::chrono::milliseconds WriterOpens{250};

} // namespace

WriterLease::~WriterLease() {
    Release();
}

WriterLease::Outcome WriterLease::Take(int fd, FileLock::Clock::time_point deadline,
                                       AssignProgress& waiting) {
    Release();
    // The system tells the holder by a signal when a writer asks in; one
    // whose default is to be ignored, so that nothing else hears of it, as
    // the state of the lease tells all.
    if (::fcntl(fd, F_SETSIG, SIGURG) != 0)
        return Outcome::Unsupported;
    for (;;) {
        if (::fcntl(fd, F_SETLEASE, F_RDLCK) == 0) {
            m_fd = fd;
            return Outcome::Held;
        }
        if (errno == EINTR)
            continue;
        // Another descriptor has the file open for writing: an editor that
        // writes it in place, most likely half-way.
        if (errno != EAGAIN)
            return Outcome::Unsupported;
        if (FileLock::Clock::now() >= deadline)
            return Outcome::Writers;
        FileLock::Pause(waiting);
    }
}

bool WriterLease::Broken() const {
    // While a writer waits, the lease reads as what it is being broken to.
    return m_fd >= 0 && ::fcntl(m_fd, F_GETLEASE) != F_RDLCK;
}

void WriterLease::Release() {
    if (m_fd >= 0)
        ::fcntl(m_fd, F_SETLEASE, F_UNLCK);
    m_fd = -1;
}

void WriterLease::ReleaseToWriter() {
    const int fd = m_fd;
    const bool broken = Broken();
    Release();
    if (!broken)
        return;
    const auto deadline = FileLock::Clock::now() + WriterOpens;
    // A lease is granted only while nobody has the file open for writing:
    // once it is refused, the writer is in.
    while (FileLock::Clock::now() < deadline && ::fcntl(fd, F_SETLEASE, F_RDLCK) == 0) {
        ::fcntl(fd, F_SETLEASE, F_UNLCK);
        const timespec pause{0, 1000 * 1000};
        ::nanosleep(&pause, nullptr);
    }
}
