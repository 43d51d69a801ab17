#include "tools/artgen/JpegEncoder.h"

#include "art/JpegErrors.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace JpegEncoder {

QByteArray Encode(const QImage& image, QString* error) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    jpeg_compress_struct info{};
    Jpeg::ErrorManager errors{};
    info.err = Jpeg::Install(errors);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;

    const bool done = Jpeg::Guarded(errors, [&] {
        jpeg_create_compress(&info);
        jpeg_mem_dest(&info, &buffer, &size);
        info.image_width = JDIMENSION(rgb.width());
        info.image_height = JDIMENSION(rgb.height());
        info.input_components = 3;
        info.in_color_space = JCS_RGB;
        jpeg_set_defaults(&info);
        jpeg_set_colorspace(&info, JCS_YCbCr);
        // Force baseline: 8-bit quantisation tables, hence SOF0.
        jpeg_set_quality(&info, Quality, TRUE);
        info.comp_info[0].h_samp_factor = 2;
        info.comp_info[0].v_samp_factor = 2;
        for (int c = 1; c < 3; ++c) {
            info.comp_info[c].h_samp_factor = 1;
            info.comp_info[c].v_samp_factor = 1;
        }
        info.optimize_coding = TRUE; // smaller Huffman tables, still baseline
        info.dct_method = JDCT_ISLOW;
        jpeg_start_compress(&info, TRUE);
        while (info.next_scanline < info.image_height) {
            JSAMPROW row = const_cast<uchar*>(rgb.constScanLine(int(info.next_scanline)));
            jpeg_write_scanlines(&info, &row, 1);
        }
        jpeg_finish_compress(&info);
    });
    jpeg_destroy_compress(&info);

    QByteArray file;
    if (done)
        file = QByteArray(reinterpret_cast<const char*>(buffer), qsizetype(size));
    else if (error)
        *error = QString::fromLocal8Bit(errors.message);
    std::free(buffer); // jpeg_mem_dest allocates with malloc
    return file;
}

} // namespace JpegEncoder
