#pragma once

// A whole file's bytes for one load or save, in pages taken from the system
// and given back the moment it ends. From malloc, a freed block of two
// megabytes raises its threshold for direct mappings, and the next block of
// the same size then comes from the heap and stays there.
//
// Or the file's own pages, mapped: nothing is copied or cleared to read
// them, and a write goes to a private copy of its page. They stay the
// file's only while nobody writes the file in place or cuts it (past a cut
// end they cannot be read at all), so such an image keeps with it whatever
// holds writers off, and lets it go only once the pages are gone.

#include <QByteArrayView>

#include <memory>
#include <optional>

class FileImage final {
public:
    // Pages for size bytes, populated at once when asked: cheaper than a
    // fault for each of them where every byte is written.
    explicit FileImage(qsizetype size, bool populate = true);
    // The first size bytes of the open file fd, kept with keeper; nothing
    // where the file cannot be mapped.
    static std::optional<FileImage> Mapped(int fd, qsizetype size, std::shared_ptr<void> keeper);
    ~FileImage();
    FileImage(FileImage&& other) noexcept;
    FileImage& operator=(FileImage&& other) = delete;
    FileImage(const FileImage&) = delete;
    FileImage& operator=(const FileImage&) = delete;

    char* Data() { return m_data; }
    const char* Data() const { return m_data; }
    qsizetype Size() const { return m_size; }
    QByteArrayView View(qsizetype size) const { return QByteArrayView(m_data, size); }
    QByteArrayView View() const { return View(m_size); }

private:
    FileImage(char* data, qsizetype size, std::shared_ptr<void> keeper);

    char* m_data = nullptr;
    qsizetype m_size = 0;
    std::shared_ptr<void> m_keeper; // let go after the pages
};
