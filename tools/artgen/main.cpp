// trinode_artgen: draws the pictures of Trinode's main window (those of its
// table, art/PictureTable) and writes them as baseline JPEGs, one per picture
// holder, into a folder (by default the source tree's art/, which the program
// carries as resources), and the same again at twice the resolution into its
// 2x/ folder for high-resolution screens. Every file is decoded again before
// it is written, as the program will decode it, and refused if it would show
// pure red: the window's transparent colour.

#include "art/JpegDecoder.h"
#include "art/ColourKey.h"
#include "tools/artgen/JpegEncoder.h"
#include "tools/artgen/PictureSet.h"

#include <QBuffer>
#include <QCommandLineParser>
#include <QDir>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QSaveFile>

#include <cstdio>
#include <exception>

namespace {

void Fail(const QString& message) {
    std::fprintf(stderr, "trinode_artgen: %s\n", qPrintable(message));
    std::exit(1);
}

bool HasColourKey(const QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (line[x] == ColourKey::Key)
                return true;
    }
    return false;
}

void Write(const QString& path, const QByteArray& data) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        Fail(QStringLiteral("cannot open %1: %2").arg(path, file.errorString()));
    if (file.write(data) != data.size())
        Fail(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
    if (!file.commit())
        Fail(QStringLiteral("cannot save %1: %2").arg(path, file.errorString()));
}

// Encodes one picture, decodes it again as the program will, and writes it
// once it passes; gives the bytes written.
qint64 WritePicture(const QDir& target, const Picture& picture, int scale) {
    const QString label = QStringLiteral("%1 at %2x").arg(picture.name).arg(scale);
    QString error;
    const QByteArray jpeg = JpegEncoder::Encode(picture.image, &error);
    if (jpeg.isEmpty())
        Fail(QStringLiteral("%1: %2").arg(label, error));
    const QImage decoded = Art::DecodeJpeg(jpeg, &error);
    if (decoded.isNull())
        Fail(QStringLiteral("%1 does not decode: %2").arg(label, error));
    if (decoded.size() != picture.image.size())
        Fail(QStringLiteral("%1 decodes at the wrong size").arg(label));
    if (HasColourKey(decoded))
        Fail(QStringLiteral("%1 shows pure red once decoded; the window would be "
                            "transparent there")
                 .arg(label));
    Write(target.filePath(picture.name + QStringLiteral(".jpg")), jpeg);
    return jpeg.size();
}

struct Written {
    std::size_t count = 0;
    qint64 bytes = 0;
};

// Each scale's pictures go to their own folder under the same names, so that
// the program finds a picture by its holder's name at either scale.
Written WriteSet(const QDir& folder, int scale) {
    const QDir target(scale == 1 ? folder.path() : folder.filePath(QStringLiteral("2x")));
    if (!QDir().mkpath(target.path()))
        Fail(QStringLiteral("cannot make the folder %1").arg(target.path()));
    std::vector<Picture> pictures;
    try {
        pictures = PictureSet::DrawAll(scale);
    } catch (const std::exception& e) {
        Fail(QString::fromUtf8(e.what()));
    }
    Written written;
    for (const Picture& picture : pictures)
        written.bytes += WritePicture(target, picture, scale);
    written.count = pictures.size();
    return written;
}

// The icons are for the desktop, not for the window: PNGs with transparency,
// installed into the icon theme.
void WriteIcons(const QDir& folder) {
    const QDir icons(folder.filePath(QStringLiteral("icons")));
    if (!QDir().mkpath(icons.path()))
        Fail(QStringLiteral("cannot make the folder %1").arg(icons.path()));
    for (const Picture& icon : PictureSet::DrawIcons()) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (!icon.image.save(&buffer, "PNG"))
            Fail(QStringLiteral("cannot encode the icon %1").arg(icon.name));
        Write(icons.filePath(icon.name + QStringLiteral(".png")), png);
    }
}

QDir FolderFromCommandLine(const QGuiApplication& app) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Draws the pictures of Trinode's main window as baseline JPEGs."));
    parser.addHelpOption();
    parser.addPositionalArgument(
        QStringLiteral("folder"),
        QStringLiteral("Where to write them (default: %1).").arg(QStringLiteral(TRINODE_ART_DIR)),
        QStringLiteral("[folder]"));
    parser.process(app);
    const QStringList arguments = parser.positionalArguments();
    if (arguments.size() > 1)
        parser.showHelp(2);
    const QDir folder(arguments.isEmpty() ? QStringLiteral(TRINODE_ART_DIR) : arguments.first());
    if (!QDir().mkpath(folder.path()))
        Fail(QStringLiteral("cannot make the folder %1").arg(folder.path()));
    return folder;
}

} // namespace

int main(int argc, char** argv) {
    // Fonts need a GUI application; no display is needed.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("trinode_artgen"));
    const QDir folder = FolderFromCommandLine(app);

    // The letters are DejaVu Sans Bold; another face would change the artwork
    // without a word.
    if (!QFontDatabase::styles(QStringLiteral("DejaVu Sans")).contains(QStringLiteral("Bold")))
        Fail(QStringLiteral("the font DejaVu Sans Bold is not installed (fonts-dejavu-core)"));

    Written total;
    for (const int scale : {1, 2}) {
        const Written set = WriteSet(folder, scale);
        total.count += set.count;
        total.bytes += set.bytes;
    }
    WriteIcons(folder);

    std::printf("trinode_artgen: %zu pictures, %lld bytes, in %s\n", total.count,
                static_cast<long long>(total.bytes),
                qPrintable(QDir::toNativeSeparators(folder.path())));
    return 0;
}
