#pragma once

// libjpeg, loaded while pictures are being decoded and let go when none is.
// The window keeps the pictures it shows decoded; the half megabyte of the
// library's pages need not stay in memory between the few decodings that
// come later (a socket's picture the first time it shows, another screen's
// scale). A Use holds the library loaded; the last one to go unloads it.

#include <QString>

#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

namespace Jpeg {

// The calls the decoder makes, found in the loaded library.
struct Api {
    jpeg_error_mgr* (*std_error)(jpeg_error_mgr*);
    void (*CreateDecompress)(j_decompress_ptr, int, size_t);
    void (*mem_src)(j_decompress_ptr, const unsigned char*, unsigned long);
    int (*read_header)(j_decompress_ptr, boolean);
    boolean (*start_decompress)(j_decompress_ptr);
    JDIMENSION (*read_scanlines)(j_decompress_ptr, JSAMPARRAY, JDIMENSION);
    boolean (*finish_decompress)(j_decompress_ptr);
    void (*destroy_decompress)(j_decompress_ptr);
};

class Use final {
public:
    Use();
    ~Use();
    Use(const Use&) = delete;
    Use& operator=(const Use&) = delete;

    // The calls; none when the library could not be loaded (Error says why).
    const Api* Calls() const { return m_api; }
    QString Error() const;

    // Keeps the library loaded until the thread's event loop next runs, so
    // that the pictures one change of the window decodes load it once.
    static void KeepUntilIdle();

private:
    const Api* m_api = nullptr;
};

} // namespace Jpeg
