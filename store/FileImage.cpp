#include "store/FileImage.h"

#include <new>
#include <utility>

#include <sys/mman.h>

FileImage::FileImage(qsizetype size, bool populate) : m_size(size) {
    void* pages = ::mmap(nullptr, size_t(size), PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS | (populate ? MAP_POPULATE : 0), -1, 0);
    if (pages == MAP_FAILED)
        throw std::bad_alloc();
    m_data = static_cast<char*>(pages);
}

FileImage::FileImage(char* data, qsizetype size, std::shared_ptr<void> keeper)
    : m_data(data), m_size(size), m_keeper(std::move(keeper)) {}

std::optional<FileImage> FileImage::Mapped(int fd, qsizetype size, std::shared_ptr<void> keeper) {
    if (size <= 0)
        return std::nullopt;
    void* pages = ::mmap(nullptr, size_t(size), PROT_READ | PROT_WRITE, MAP_PRIVATE, fd, 0);
    if (pages == MAP_FAILED)
        return std::nullopt;
    return FileImage(static_cast<char*>(pages), size, std::move(keeper));
}

FileImage::FileImage(FileImage&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0)),
      m_keeper(std::move(other.m_keeper)) {}

FileImage::~FileImage() {
    if (m_data)
        ::munmap(m_data, size_t(m_size));
    m_keeper.reset();
}
