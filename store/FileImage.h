#pragma once

// A whole file's bytes for one load or save, in pages taken from the system
// and given back the moment it ends. From malloc, a freed block of two
// megabytes raises its threshold for direct mappings, and the next block of
// the same size then comes from the heap and stays there.

#include <QByteArrayView>

class FileImage final {
public:
    // Pages for size bytes, populated at once when asked: cheaper than a
    // fault for each of them where every byte is written.
    explicit FileImage(qsizetype size, bool populate = true);
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
    char* m_data = nullptr;
    qsizetype m_size = 0;
};
