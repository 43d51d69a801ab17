#include "art/JpegDecoder.h"

#include "art/JpegErrors.h"
#include "art/JpegLibrary.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace Art {
namespace {

// The largest side accepted, far above the 600 pixels of the background: a
// corrupt header must not make us allocate gigabytes.
constexpr JDIMENSION MaxSide = 8192;

// A warning means corrupt data that libjpeg would patch over (a truncated
// file comes out partly grey); a picture like that is refused as well. Trace
// messages (levels above zero) are ignored.
void EmitMessage(j_common_ptr info, int level) {
    if (level < 0)
        Jpeg::ErrorExit(info);
}

QImage Fail(QString* error, const QString& message) {
    if (error)
        *error = message;
    return QImage();
}

// Format_RGB32 is 0xffRRGGBB in native byte order; libjpeg-turbo writes that
// layout directly, with an opaque fourth byte.
#ifdef JCS_ALPHA_EXTENSIONS
constexpr J_COLOR_SPACE OutputSpace =
    (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) ? JCS_EXT_BGRA : JCS_EXT_ARGB;
constexpr bool PacksItself = true;
#else
constexpr J_COLOR_SPACE OutputSpace = JCS_RGB;
constexpr bool PacksItself = false;
#endif

// Spreads the RGB triples at the start of a row into 32-bit pixels, from the
// right so that the row can be converted in place.
void PackRow(uchar* row, JDIMENSION width) {
    auto* pixels = reinterpret_cast<QRgb*>(row);
    for (JDIMENSION x = width; x-- > 0;)
        pixels[x] = qRgb(row[3 * x], row[3 * x + 1], row[3 * x + 2]);
}

// Reads the header and starts the decompression, scaled by eighths / 8;
// false when libjpeg refused, or with tooLarge set for a picture above
// MaxSide.
bool Start(const Jpeg::Api& lib, jpeg_decompress_struct& info, Jpeg::ErrorManager& errors,
           QByteArrayView jpeg, int eighths, bool& tooLarge) {
    const auto* data = reinterpret_cast<const unsigned char*>(jpeg.data());
    const auto size = static_cast<unsigned long>(jpeg.size());
    return Jpeg::Guarded(errors, [&] {
        lib.CreateDecompress(&info, JPEG_LIB_VERSION, sizeof info);
        lib.mem_src(&info, data, size);
        lib.read_header(&info, TRUE);
        if (info.image_width > MaxSide || info.image_height > MaxSide) {
            tooLarge = true;
            return;
        }
        info.out_color_space = OutputSpace;
        info.scale_num = unsigned(std::clamp(eighths, 1, 8));
        info.scale_denom = 8;
        // The fast integer transform: at quality 92 its error stays below
        // what the eye sees, and start-up waits for the pictures it shows.
        info.dct_method = JDCT_IFAST;
        lib.start_decompress(&info);
    });
}

// Decodes every row into the image, which has the output's size; false when
// libjpeg reported an error.
bool ReadRows(const Jpeg::Api& lib, jpeg_decompress_struct& info, Jpeg::ErrorManager& errors,
              QImage& image) {
    uchar* const bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    return Jpeg::Guarded(errors, [&] {
        JSAMPROW rows[8];
        while (info.output_scanline < info.output_height) {
            const JDIMENSION first = info.output_scanline;
            const JDIMENSION count = std::min<JDIMENSION>(8, info.output_height - first);
            for (JDIMENSION i = 0; i < count; ++i)
                rows[i] = bits + stride * (first + i);
            const JDIMENSION read = lib.read_scanlines(&info, rows, count);
            if (read == 0) // only a suspending source stops early; a memory one never does
                break;
            if (!PacksItself)
                for (JDIMENSION i = 0; i < read; ++i)
                    PackRow(rows[i], info.output_width);
        }
        lib.finish_decompress(&info);
    });
}

} // namespace

QImage DecodeJpeg(QByteArrayView jpeg, QString* error, int eighths, QSize* fullSize) {
    if (jpeg.isEmpty())
        return Fail(error, QStringLiteral("Empty JPEG data"));

    const Jpeg::Use library;
    if (!library.Calls())
        return Fail(error, library.Error());
    const Jpeg::Api& lib = *library.Calls();
    Jpeg::Use::KeepUntilIdle();

    jpeg_decompress_struct info{};
    Jpeg::ErrorManager errors{};
    info.err = Jpeg::Install(errors, lib.std_error);
    errors.pub.emit_message = EmitMessage;
    bool tooLarge = false;
    const bool started = Start(lib, info, errors, jpeg, eighths, tooLarge);

    // Whatever happened, libjpeg's memory goes with info.
    struct Destroy {
        const Jpeg::Api& lib;
        jpeg_decompress_struct& info;
        ~Destroy() { lib.destroy_decompress(&info); }
    } destroy{lib, info};

    if (!started)
        return Fail(error, QString::fromLocal8Bit(errors.message));
    if (tooLarge)
        return Fail(error, QStringLiteral("JPEG picture too large: %1 x %2")
                               .arg(info.image_width)
                               .arg(info.image_height));

    if (fullSize)
        *fullSize = QSize(int(info.image_width), int(info.image_height));
    QImage image(int(info.output_width), int(info.output_height), QImage::Format_RGB32);
    if (image.isNull())
        return Fail(error, QStringLiteral("Out of memory for the JPEG picture"));
    if (!ReadRows(lib, info, errors, image))
        return Fail(error, QString::fromLocal8Bit(errors.message));
    return image;
}

} // namespace Art
