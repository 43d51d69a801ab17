#pragma once

// The one owner of a file descriptor (a file, a folder, a lock, a socket, one
// end of a socket pair or a pipe): it closes it when it goes, so that no path of a function
// can forget to, and it moves but never copies, so that no two owners close
// it twice.
class FileDescriptor final {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor();
    FileDescriptor(FileDescriptor&& other) noexcept;
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int Get() const { return m_fd; }
    bool IsOpen() const { return m_fd >= 0; }
    // Closes the one held, if any, and holds fd instead.
    void Reset(int fd = -1);

private:
    int m_fd = -1;
};
