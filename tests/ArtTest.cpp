#include "art/Art.h"
#include "art/JpegDecoder.h"
#include "art/PictureTable.h"
#include "store/ButtonCatalogue.h"
#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cmath>
#include <optional>
#include <ostream>
#include <vector>

// The pictures of the main window's table: each one compiled in, of the right
// size and format, free of the colour key, and holding the button it belongs
// to; and a decoder that refuses corrupt data instead of crashing. That art/
// holds exactly the table's pictures the build itself checks.

namespace {

struct PictureSize {
    QString name;
    QSize size; // in pixels, at the scale of its set
    int scale = 1;
};

std::vector<PictureSize> AllPictures(int scale = 1) {
    std::vector<PictureSize> pictures;
    for (const PictureTable::Picture& picture : PictureTable::AllPictures())
        pictures.push_back({picture.name, picture.size * scale, scale});
    return pictures;
}

// The 1x set is art/, the 2x set art/2x/.
QDir ArtFolder(int scale = 1) {
    const QByteArray source = qgetenv("TRINODE_SOURCE_DIR");
    return QDir(QFile::decodeName(source) +
                (scale == 2 ? QStringLiteral("/art/2x") : QStringLiteral("/art")));
}

QByteArray ReadArtFile(const QString& fileName, int scale = 1) {
    QFile file(ArtFolder(scale).filePath(fileName));
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

// The frame header of a JPEG file, read from its markers without libjpeg.
struct Component {
    int id = 0;
    int horizontal = 0;
    int vertical = 0;
};
struct Frame {
    int marker = 0; // 0xC0 for baseline
    int precision = 0;
    int width = 0;
    int height = 0;
    std::vector<Component> components;
};

std::optional<Frame> ReadFrame(const QByteArray& jpeg) {
    const auto byte = [&](qsizetype i) { return i < jpeg.size() ? quint8(jpeg[i]) : -1; };
    if (byte(0) != 0xFF || byte(1) != 0xD8)
        return std::nullopt;
    qsizetype at = 2;
    while (at + 4 <= jpeg.size()) {
        if (byte(at) != 0xFF)
            return std::nullopt;
        const int marker = byte(at + 1);
        const int length = byte(at + 2) * 256 + byte(at + 3);
        // Start-of-frame markers: C0-CF but DHT (C4), JPG (C8) and DAC (CC).
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
            marker != 0xCC) {
            Frame frame;
            frame.marker = marker;
            frame.precision = byte(at + 4);
            frame.height = byte(at + 5) * 256 + byte(at + 6);
            frame.width = byte(at + 7) * 256 + byte(at + 8);
            const int count = byte(at + 9);
            for (int c = 0; c < count; ++c) {
                const qsizetype entry = at + 10 + 3 * c;
                frame.components.push_back(
                    {byte(entry), byte(entry + 1) >> 4, byte(entry + 1) & 15});
            }
            return frame;
        }
        if (marker == 0xDA) // scan data before any frame header
            return std::nullopt;
        at += 2 + length;
    }
    return std::nullopt;
}

int Luma(QRgb c) {
    return (299 * qRed(c) + 587 * qGreen(c) + 114 * qBlue(c)) / 1000;
}

double MeanLuma(const QImage& image) {
    double sum = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            sum += Luma(image.pixel(x, y));
    return sum / (image.width() * image.height());
}

// The average colour of a small square around (x, y).
QColor MeanColour(const QImage& image, int x, int y) {
    int r = 0, g = 0, b = 0, n = 0;
    for (int j = y - 1; j <= y + 1; ++j)
        for (int i = x - 1; i <= x + 1; ++i, ++n) {
            const QRgb c = image.pixel(i, j);
            r += qRed(c);
            g += qGreen(c);
            b += qBlue(c);
        }
    return QColor(r / n, g / n, b / n);
}

// The colour words of the button catalogue (and of the Exit, Add and Run pictures), each
// with a typical shade; a picture's colour is the nearest of them.
struct ColourWord {
    const char* word;
    QColor shade;
};
const std::vector<ColourWord> ColourWords{
    {"blue", QColor(40, 100, 220)},   {"purple", QColor(135, 70, 205)},
    {"teal", QColor(20, 160, 160)},   {"orange", QColor(245, 130, 25)},
    {"yellow", QColor(240, 200, 40)}, {"green", QColor(60, 170, 60)},
    {"white", QColor(235, 235, 240)}, {"pink", QColor(235, 90, 165)},
    {"gray", QColor(140, 140, 150)},  {"red", QColor(210, 35, 35)},
    {"brown", QColor(150, 90, 45)},
};

QString ColourWordOf(const QColor& colour) {
    const ColourWord* nearest = nullptr;
    double best = 1e9;
    for (const ColourWord& word : ColourWords) {
        const double d =
            std::hypot(colour.red() - word.shade.red(), colour.green() - word.shade.green(),
                       colour.blue() - word.shade.blue());
        if (d < best) {
            best = d;
            nearest = &word;
        }
    }
    return QLatin1String(nearest->word);
}

// The colour word of the mean of two small squares on row y, at left and
// right.
QString ColourBeside(const QImage& image, int left, int right, int y) {
    const QColor l = MeanColour(image, left, y);
    const QColor r = MeanColour(image, right, y);
    return ColourWordOf(
        QColor((l.red() + r.red()) / 2, (l.green() + r.green()) / 2, (l.blue() + r.blue()) / 2));
}

// The colour of a ball picture: its body beside the letter, below the shine,
// on both sides.
QString BallColour(const QImage& image) {
    const bool socket = image.width() == 44;
    return socket ? ColourBeside(image, 12, 32, 23) : ColourBeside(image, 7, 25, 16);
}

// The Run bar's colour: at both of its ends.
QString RunColour(const QImage& image) {
    return ColourBeside(image, 22, 177, 42);
}

std::string CaseName(const QString& name) {
    return name.toStdString();
}

void PrintTo(const PictureSize& picture, std::ostream* out) {
    *out << picture.name.toStdString() << " at " << picture.scale << "x";
}

} // namespace

// --- Every picture ----------------------------------------------------------

class ArtPicture : public ::testing::TestWithParam<PictureSize> {};

// Compiled in at its size, showing no pure red, from a baseline JPEG with its
// chroma at half resolution.
TEST_P(ArtPicture, LoadsFromTheProgramAtItsSizeFromABaselineJpeg) {
    const QImage image = Art::Load(GetParam().name, GetParam().scale);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), GetParam().size);
    EXPECT_EQ(image.format(), QImage::Format_RGB32);
    // Either set covers the same layout box.
    EXPECT_EQ(image.deviceIndependentSize(), QSizeF(GetParam().size / GetParam().scale));
    // The window treats pure red as transparent.
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ASSERT_NE(image.pixel(x, y), qRgb(255, 0, 0)) << "at " << x << ", " << y;

    const QByteArray jpeg = ReadArtFile(GetParam().name + QStringLiteral(".jpg"), GetParam().scale);
    ASSERT_FALSE(jpeg.isEmpty()) << "missing in "
                                 << ArtFolder(GetParam().scale).path().toStdString();
    // The 1x set is carried decoded: exactly what the decoder makes of the file.
    if (GetParam().scale == 1) {
        EXPECT_EQ(image, Art::DecodeJpeg(jpeg));
    }
    const std::optional<Frame> frame = ReadFrame(jpeg);
    ASSERT_TRUE(frame.has_value());
    EXPECT_EQ(frame->marker, 0xC0) << "not SOF0 (baseline)";
    EXPECT_EQ(frame->precision, 8);
    EXPECT_EQ(QSize(frame->width, frame->height), GetParam().size);
    ASSERT_EQ(frame->components.size(), 3u);
    // Y sampled 2 x 2 against Cb and Cr at 1 x 1: 4:2:0.
    EXPECT_EQ(frame->components[0].horizontal, 2);
    EXPECT_EQ(frame->components[0].vertical, 2);
    for (int c = 1; c < 3; ++c) {
        EXPECT_EQ(frame->components[c].horizontal, 1);
        EXPECT_EQ(frame->components[c].vertical, 1);
    }
}

INSTANTIATE_TEST_SUITE_P(AllPictures, ArtPicture, ::testing::ValuesIn(AllPictures()),
                         [](const auto& info) { return CaseName(info.param.name); });
INSTANTIATE_TEST_SUITE_P(AllPicturesAt2x, ArtPicture, ::testing::ValuesIn(AllPictures(2)),
                         [](const auto& info) { return CaseName(info.param.name); });

// --- Pairs of pressed and normal pictures -----------------------------------

namespace {

// Every image with a pressed and a normal picture.
std::vector<PictureTable::Image> Pairs() {
    std::vector<PictureTable::Image> pairs;
    for (const PictureTable::Image& row : PictureTable::Images())
        if (row.pressed != 0)
            pairs.push_back(row);
    return pairs;
}

} // namespace

// Beside the type, where the test's printer looks for it.
namespace PictureTable {
void PrintTo(const Image& row, std::ostream* out) {
    *out << row.objectName;
}
} // namespace PictureTable

class ArtPair : public ::testing::TestWithParam<PictureTable::Image> {
protected:
    QImage Pressed() const { return Art::Load(PictureTable::ButtonPicture(GetParam().pressed)); }
    QImage Normal() const { return Art::Load(PictureTable::ButtonPicture(GetParam().normal)); }
    bool IsRun() const { return GetParam().role == PictureTable::Role::Run; }
};

// The normal picture and the ball the button puts in a socket.
TEST_P(ArtPair, NormalAndSocketPicturesHaveTheButtonsColour) {
    const QImage normal = Normal();
    ASSERT_FALSE(normal.isNull());
    const QString colour = IsRun() ? RunColour(normal) : BallColour(normal);
    EXPECT_EQ(colour.toStdString(), GetParam().colour);
    if (const auto entry = ButtonCatalogue::ButtonIndex(QLatin1String(GetParam().button));
        GetParam().role == PictureTable::Role::Catalogue) {
        const QImage socket = Art::Load(PictureTable::SocketPictureOf(*entry));
        ASSERT_FALSE(socket.isNull());
        EXPECT_EQ(BallColour(socket).toStdString(), GetParam().colour) << "in the socket";
    }
}

// The pressed picture is the same ball lighter (the Run bar stays green), of
// the same size; both stand on black: the catalogue buttons, Add and Exit on
// the black window, and the Run bar on the black disc of the background.
TEST_P(ArtPair, PressedPictureIsTheSameBallLighterAndBothStandOnBlack) {
    const QImage normal = Normal(), pressed = Pressed();
    ASSERT_FALSE(pressed.isNull());
    ASSERT_FALSE(normal.isNull());
    ASSERT_EQ(pressed.size(), normal.size());
    EXPECT_NE(pressed, normal);
    if (IsRun())
        EXPECT_EQ(RunColour(pressed).toStdString(), "green");
    else
        EXPECT_GT(MeanLuma(pressed), MeanLuma(normal) + 8);
    for (const QImage& image : {normal, pressed}) {
        const int w = image.width() - 1, h = image.height() - 1;
        for (const QPoint corner : {QPoint(0, 0), QPoint(w, 0), QPoint(0, h), QPoint(w, h)})
            EXPECT_LE(Luma(image.pixel(corner)), 6)
                << "corner " << corner.x() << ", " << corner.y();
    }
}

INSTANTIATE_TEST_SUITE_P(HolderTable, ArtPair, ::testing::ValuesIn(Pairs()),
                         [](const auto& info) { return std::string(info.param.objectName); });

// --- The empty socket and the background ---------------------------------------

// A place of the window in the background's own coordinates.
QRect OnBackground(const char* objectName) {
    return PictureTable::ImageNamed(QLatin1String(objectName))
        ->place.translated(-PictureTable::BackgroundPlace.topLeft());
}

// The empty socket is a silver ring around black, and the start picture
// looks like it.
TEST(ArtSocketRing, EmptySocketIsARingAroundBlackAsTheStartPicture) {
    const QImage empty = Art::Load(PictureTable::SocketPictureOf(ButtonCatalogue::EmptyIndex));
    const QImage start = Art::Load(PictureTable::SocketStartPicture());
    ASSERT_FALSE(empty.isNull());
    ASSERT_FALSE(start.isNull());
    EXPECT_LE(Luma(empty.pixel(22, 22)), 8) << "the middle is black";
    EXPECT_GE(Luma(empty.pixel(22, 3)), 150) << "the ring is silver";
    EXPECT_LE(empty.pixelColor(22, 3).hsvSaturation(), 40);
    EXPECT_LT(MeanDifference(start, empty), 1.0);
}

TEST(ArtSocketRing, BackgroundRingsLieExactlyUnderTheSockets) {
    const QImage background = Art::Load(PictureTable::BackgroundPicture());
    const QImage start = Art::Load(PictureTable::SocketStartPicture());
    ASSERT_FALSE(background.isNull());
    ASSERT_FALSE(start.isNull());
    for (const char* socket : {"EmptySocket1", "EmptySocket2", "EmptySocket3"}) {
        const QPoint place = OnBackground(socket).topLeft();
        const QImage under = background.copy(QRect(place, start.size()));
        EXPECT_LT(MeanDifference(under, start), 3.0) << "socket at " << place.x();
        // One pixel off would show as a double edge.
        const QImage shifted = background.copy(QRect(place + QPoint(1, 0), start.size()));
        EXPECT_GT(MeanDifference(shifted, start), MeanDifference(under, start) + 3.0);
    }
}

TEST(ArtBackground, DarkBehindTheLabelAndBlackUnderTheRunBar) {
    const QImage background = Art::Load(PictureTable::BackgroundPicture());
    ASSERT_FALSE(background.isNull());
    // The information text is white: its panel is dark.
    const QPoint origin = PictureTable::BackgroundPlace.topLeft();
    EXPECT_LT(Luma(background.pixel(PictureTable::InfoLabelPlace.center() - origin)), 60);
    // The Run bar's corners show the background: black there.
    const QRect run = OnBackground("MainButton");
    for (const QPoint p : {run.topLeft(), run.topRight(), run.bottomLeft(), run.bottomRight()})
        EXPECT_LE(Luma(background.pixel(p)), 6);
    // Pale lilac outside the disc: more blue than green.
    const QRgb burst = background.pixel(300, 62);
    EXPECT_GT(Luma(burst), 60);
    EXPECT_GT(qBlue(burst), qGreen(burst));
}

TEST(Art, UnknownNameGivesANullImage) {
    EXPECT_TRUE(Art::Load(QStringLiteral("Buffer51")).isNull());
    EXPECT_TRUE(Art::Load(QString()).isNull());
}

// --- The 2x set beside the 1x one ---------------------------------------------

namespace {

// The share of pixels of a and b (same size) whose channels differ by more
// than 3 % of their range, among the pixels where either is not black.
double ShareDiffering(const QImage& a, const QImage& b) {
    int lit = 0, differing = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            if (Luma(p) <= 6 && Luma(q) <= 6)
                continue;
            ++lit;
            differing += std::abs(qRed(p) - qRed(q)) > 8 || std::abs(qGreen(p) - qGreen(q)) > 8 ||
                         std::abs(qBlue(p) - qBlue(q)) > 8;
        }
    return lit == 0 ? 0.0 : double(differing) / lit;
}

} // namespace

class ArtDoubleResolution : public ::testing::TestWithParam<PictureSize> {};

TEST_P(ArtDoubleResolution, ShowsTheSameDrawingWithFinerDetail) {
    const QImage normal = Art::Load(GetParam().name, 1);
    const QImage fine = Art::Load(GetParam().name, 2);
    ASSERT_FALSE(normal.isNull());
    ASSERT_FALSE(fine.isNull());
    ASSERT_EQ(fine.size(), normal.size() * 2);
    // Brought down to 1x it is the 1x picture (the same drawing, in place)...
    const QImage down = fine.scaled(normal.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    EXPECT_LT(MeanDifference(down.convertToFormat(QImage::Format_RGB32), normal), 6.0);
    // ...and it is not the 1x picture enlarged: its edges and letters are
    // drawn at 2x.
    const QImage enlarged = normal.scaled(fine.size());
    const QImage smooth =
        normal.scaled(fine.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
            .convertToFormat(QImage::Format_RGB32);
    // The background is mostly soft light, where the two agree; its rays,
    // rings and panel edges still set it apart.
    const double least = GetParam().name == QLatin1String("Background") ? 0.04 : 0.25;
    EXPECT_GT(ShareDiffering(fine, enlarged), least) << "the 1x picture, doubled";
    EXPECT_GT(ShareDiffering(fine, smooth), least) << "the 1x picture, smoothly enlarged";
}

INSTANTIATE_TEST_SUITE_P(AllPictures, ArtDoubleResolution, ::testing::ValuesIn(AllPictures()),
                         [](const auto& info) { return CaseName(info.param.name); });

namespace {

struct RatioCase {
    const char* scenario;
    qreal ratio;
    const char* name;
    QSize pixels; // what the picture has at that ratio
    qreal pictureRatio;
    int set; // the set whose pixels it shows
};

const std::vector<RatioCase> RatioCases{
    {"OrdinaryScreen", 1.0, "Buffer8", {32, 32}, 1.0, 1},
    {"BelowOne", 0.75, "Buffer8", {32, 32}, 1.0, 1},
    {"Double", 2.0, "Buffer8", {64, 64}, 2.0, 2},
    {"OneAndAHalf", 1.5, "Buffer8", {48, 48}, 1.5, 2},
    {"OneAndAQuarter", 1.25, "BuffSocket3", {55, 55}, 1.25, 2},
    // A part pixel counts whole: 75 x 1.5 is 112.5.
    {"RunBarAtOneAndAHalf", 1.5, "Buffer28", {300, 113}, 1.5, 2},
    {"OddRatio", 1.1, "Buffer8", {36, 36}, 1.1, 2},
    {"Triple", 3.0, "Buffer8", {64, 64}, 2.0, 2},
    {"BackgroundDouble", 2.0, "Background", {1200, 1200}, 2.0, 2},
};

void PrintTo(const RatioCase& row, std::ostream* out) {
    *out << row.scenario;
}

} // namespace

class ArtForRatio : public ::testing::TestWithParam<RatioCase> {};

TEST_P(ArtForRatio, FillsTheLayoutBoxFromTheRightSet) {
    const RatioCase& row = GetParam();
    const QString name = QLatin1String(row.name);
    const QImage image = Art::LoadForRatio(name, row.ratio);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), row.pixels);
    EXPECT_DOUBLE_EQ(image.devicePixelRatio(), row.pictureRatio);
    EXPECT_EQ(Art::ScaleForRatio(row.ratio), row.set);
    // Its pixels are those of its set brought to size, nearer to them than to
    // the other set's.
    const auto broughtToSize = [&](int set) {
        return Art::Load(name, set)
            .scaled(row.pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
            .convertToFormat(QImage::Format_RGB32);
    };
    const double own = MeanDifference(image, broughtToSize(row.set));
    EXPECT_LT(own, 6.0);
    if (image.size() != Art::Load(name, 3 - row.set).size()) {
        EXPECT_LT(own, MeanDifference(image, broughtToSize(3 - row.set)));
    }
}

INSTANTIATE_TEST_SUITE_P(Ratios, ArtForRatio, ::testing::ValuesIn(RatioCases),
                         [](const auto& info) { return std::string(info.param.scenario); });

// --- The decoder on corrupt data --------------------------------------------

namespace {

struct CorruptCase {
    const char* scenario;
    QByteArray (*make)();
    const char* message; // part of libjpeg's (or our) message
};

QByteArray Background() {
    return ReadArtFile(QStringLiteral("Background.jpg"));
}

// Patches the frame header of a real picture to claim a huge size.
QByteArray HugeFrame() {
    QByteArray jpeg = Background();
    const qsizetype sof = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
    if (sof < 0)
        return QByteArray();
    // 16384 x 16384: within libjpeg's limit, beyond the decoder's.
    jpeg[sof + 5] = char(0x40);
    jpeg[sof + 6] = char(0x00);
    jpeg[sof + 7] = char(0x40);
    jpeg[sof + 8] = char(0x00);
    return jpeg;
}

const std::vector<CorruptCase> CorruptCases{
    {"Empty", [] { return QByteArray(); }, "Empty"},
    {"NotAJpeg", [] { return QByteArray("GIF89a this is no JPEG at all"); }, "Not a JPEG file"},
    {"OnlyTheMarkerOfTheStart", [] { return QByteArray("\xFF\xD8", 2); }, ""},
    {"TruncatedInTheHeaders", [] { return Background().left(300); }, ""},
    {"TruncatedInTheScan", [] { return Background().left(Background().size() / 2); },
     "Premature end of JPEG file"},
    {"HugeFrameSize", HugeFrame, "too large"},
    {"ZeroedScanData",
     [] {
         QByteArray jpeg = Background();
         const qsizetype scan = jpeg.indexOf(QByteArray("\xFF\xDA", 2));
         for (qsizetype i = scan + 40; i < jpeg.size() - 2; ++i)
             jpeg[i] = char(0xFF);
         return jpeg;
     },
     ""},
};

void PrintTo(const CorruptCase& corrupt, std::ostream* out) {
    *out << corrupt.scenario;
}

} // namespace

class JpegDecoderCorrupt : public ::testing::TestWithParam<CorruptCase> {};

TEST_P(JpegDecoderCorrupt, GivesANullImageAndAMessage) {
    const QByteArray data = GetParam().make();
    if (QByteArrayView(GetParam().scenario) != QByteArrayView("Empty")) {
        ASSERT_FALSE(data.isEmpty()) << "the source picture is missing";
    }
    QString error;
    const QImage image = Art::DecodeJpeg(data, &error);
    EXPECT_TRUE(image.isNull());
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(error.contains(QLatin1String(GetParam().message), Qt::CaseInsensitive))
        << error.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Cases, JpegDecoderCorrupt, ::testing::ValuesIn(CorruptCases),
                         [](const auto& info) { return std::string(info.param.scenario); });

// The library is loaded while pictures are decoded, and its pages go once
// the event loop runs again; the carried 1x pictures never load it.
TEST(JpegDecoder, DecodesAWholeFileAndNeedsNoMessageOut) {
    const auto mapped = [] {
        QFile maps("/proc/self/maps");
        return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("/libjpeg");
    };
    QCoreApplication::processEvents();
    // The 1x set needs no decoder at all.
    EXPECT_FALSE(Art::Load(QStringLiteral("Background")).isNull());
    EXPECT_FALSE(mapped());
    const QImage image = Art::DecodeJpeg(Background());
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(600, 600));
    EXPECT_TRUE(Art::DecodeJpeg(QByteArray("junk")).isNull());
    EXPECT_TRUE(mapped());
    QCoreApplication::processEvents();
    EXPECT_FALSE(mapped());
}
