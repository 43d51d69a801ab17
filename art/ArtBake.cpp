// Decodes the 1x pictures while the program is built, so that on an ordinary
// screen the window shows them without decoding anything: the program carries
// their pixels ready, as the decoder gives them, and draws from them in place.
//
// Usage: trinode_artbake OUTPUT_FOLDER PICTURE.jpg...
// Writes into the folder:
//   BakedPixels.bin  every picture's rows, in Format_RGB32, each picture
//                    starting on a 64-byte boundary;
//   BakedPixels.S    which takes the former into the program's read-only data;
//   BakedIndex.inc   one row per picture: {"name", width, height, offset},
//                    in the order of the names.

#include "art/JpegDecoder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr qsizetype Alignment = 64;

struct Baked {
    QString name;
    QImage image;
};

bool Write(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    std::fprintf(stderr, "trinode_artbake: cannot write %s: %s\n", qPrintable(path),
                 qPrintable(file.errorString()));
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: trinode_artbake OUTPUT_FOLDER PICTURE.jpg...\n");
        return 2;
    }
    const QDir out(QFile::decodeName(argv[1]));
    std::vector<Baked> pictures;
    for (int i = 2; i < argc; ++i) {
        const QString path = QFile::decodeName(argv[i]);
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "trinode_artbake: cannot read %s: %s\n", argv[i],
                         qPrintable(file.errorString()));
            return 1;
        }
        QString error;
        QImage image = Art::DecodeJpeg(file.readAll(), &error);
        if (image.isNull()) {
            std::fprintf(stderr, "trinode_artbake: %s: %s\n", argv[i], qPrintable(error));
            return 1;
        }
        pictures.push_back({QFileInfo(path).completeBaseName(), std::move(image)});
    }
    std::sort(pictures.begin(), pictures.end(),
              [](const Baked& a, const Baked& b) { return a.name < b.name; });

    QByteArray pixels;
    QByteArray index;
    for (const Baked& picture : pictures) {
        pixels.append(QByteArray((Alignment - pixels.size() % Alignment) % Alignment, '\0'));
        index += QStringLiteral("{\"%1\", %2, %3, %4},\n")
                     .arg(picture.name)
                     .arg(picture.image.width())
                     .arg(picture.image.height())
                     .arg(pixels.size())
                     .toUtf8();
        const qsizetype row = qsizetype(picture.image.width()) * 4;
        for (int y = 0; y < picture.image.height(); ++y)
            pixels.append(reinterpret_cast<const char*>(picture.image.constScanLine(y)), row);
    }

    const QString bin = out.absoluteFilePath(QStringLiteral("BakedPixels.bin"));
    // Hidden: the pixels belong to the program part that draws them.
    const QByteArray assembly = "\t.section .rodata.trinode_baked_pixels,\"a\"\n"
                                "\t.balign 64\n"
                                "\t.globl trinode_baked_pixels\n"
                                "\t.hidden trinode_baked_pixels\n"
                                "trinode_baked_pixels:\n"
                                "\t.incbin \"" +
                                QFile::encodeName(bin) +
                                "\"\n"
                                "\t.section .note.GNU-stack,\"\",@progbits\n";
    return Write(bin, pixels) &&
                   Write(out.absoluteFilePath(QStringLiteral("BakedPixels.S")), assembly) &&
                   Write(out.absoluteFilePath(QStringLiteral("BakedIndex.inc")), index)
               ? 0
               : 1;
}
