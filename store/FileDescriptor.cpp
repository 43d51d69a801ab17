#include "store/FileDescriptor.h"

#include <utility>

#include <unistd.h>

FileDescriptor::~FileDescriptor() {
    Reset();
}

FileDescriptor::FileDescriptor(FileDescriptor&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)) {}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other)
        Reset(std::exchange(other.m_fd, -1));
    return *this;
}

void FileDescriptor::Reset(int fd) {
    // close() is not retried on EINTR: on Linux the descriptor is gone
    // either way, and a retry could close one another thread just opened.
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
}
