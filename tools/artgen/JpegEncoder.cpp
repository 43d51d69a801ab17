#include "tools/artgen/JpegEncoder.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace JpegEncoder {
namespace {

// libjpeg's default error handler calls exit(); this one jumps back.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void ErrorExit(j_common_ptr info) {
    auto* manager = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, manager->message);
    std::longjmp(manager->jump, 1);
}

// The step and its callees must hold nothing with a destructor.
template <typename Step> bool Guarded(ErrorManager& errors, const Step& step) {
    if (setjmp(errors.jump) != 0)
        return false;
    step();
    return true;
}

} // namespace

QByteArray Encode(const QImage& image, QString* error) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    jpeg_compress_struct info{};
    ErrorManager errors{};
    info.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = ErrorExit;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;

    const bool done = Guarded(errors, [&] {
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
