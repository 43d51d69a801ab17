#include "tools/artgen/PictureSet.h"

#include "art/PictureTable.h"
#include "store/ButtonCatalogue.h"
#include "tools/artgen/ArtPainter.h"

#include <algorithm>
#include <array>
#include <stdexcept>

namespace PictureSet {
namespace {

using PictureTable::Image;
using PictureTable::Role;

struct Shade {
    const char* word;
    QColor colour;
};

// The colour words of the window's table, chosen to sit well together on
// black. No red here or below comes near pure red (255, 0, 0): the window
// would show through it.
const std::array<Shade, 11> Shades{{
    {"blue", QColor(38, 104, 226)},
    {"purple", QColor(138, 70, 208)},
    {"teal", QColor(20, 160, 162)},
    {"orange", QColor(246, 132, 26)},
    {"yellow", QColor(242, 200, 40)},
    {"green", QColor(58, 174, 64)},
    {"white", QColor(236, 238, 244)},
    {"pink", QColor(236, 92, 164)},
    {"gray", QColor(138, 141, 152)},
    {"red", QColor(212, 36, 36)},
    {"brown", QColor(150, 92, 46)},
}};

BallLook LookOf(const Image& row) {
    for (const Shade& shade : Shades)
        if (QLatin1String(row.colour) == QLatin1String(shade.word))
            return {shade.colour, QString::fromLatin1(row.letter)};
    throw std::logic_error(std::string("no shade for the colour \"") + row.colour + "\" of " +
                           row.objectName);
}

BallLook LookOfButton(const QString& button) {
    const Image* row = PictureTable::ImageOfButton(button);
    if (!row)
        throw std::logic_error("no image places the button " + button.toStdString());
    return LookOf(*row);
}

QImage DrawButton(const Image& row, bool pressed, int scale) {
    if (row.role == Role::Run)
        return ArtPainter::RunBar(pressed, row.place.size(), scale);
    return ArtPainter::Button(LookOf(row), pressed, row.place.size(), scale);
}

QSize SocketSize() {
    const auto rows = PictureTable::Images();
    const auto socket = std::find_if(rows.begin(), rows.end(),
                                     [](const Image& row) { return row.role == Role::Socket; });
    return socket->place.size();
}

// The background's own coordinates are the window's less its place.
QImage DrawBackground(int scale) {
    const QPoint origin = PictureTable::BackgroundPlace.topLeft();
    BackdropLayout layout{
        PictureTable::BackgroundPlace.size(), PictureTable::InfoLabelPlace.translated(-origin), {}};
    for (const Image& row : PictureTable::Images())
        if (row.role == Role::Socket)
            layout.sockets.push_back(row.place.translated(-origin));
    return ArtPainter::Background(layout, scale);
}

// Every picture of the table is drawn, each once, at the table's size.
void CheckAgainstTable(const std::vector<Picture>& pictures, int scale) {
    const std::vector<PictureTable::Picture> table = PictureTable::AllPictures();
    bool same = pictures.size() == table.size();
    for (const PictureTable::Picture& wanted : table) {
        const auto drawn = std::find_if(pictures.begin(), pictures.end(),
                                        [&](const Picture& p) { return p.name == wanted.name; });
        same = same && drawn != pictures.end() && drawn->image.size() == wanted.size * scale;
    }
    if (!same)
        throw std::logic_error("the pictures drawn are not the window's table's");
}

} // namespace

std::vector<Picture> DrawAll(int scale) {
    std::vector<Picture> pictures;
    pictures.push_back({PictureTable::BackgroundPicture(), DrawBackground(scale)});
    // Its own file, with the same empty ring as the empty socket's picture.
    pictures.push_back({PictureTable::SocketStartPicture(),
                        ArtPainter::Socket(std::nullopt, SocketSize(), scale)});
    for (const Image& row : PictureTable::Images())
        for (const bool pressed : {true, false})
            if (const int n = pressed ? row.pressed : row.normal)
                pictures.push_back(
                    {PictureTable::ButtonPicture(n), DrawButton(row, pressed, scale)});
    for (int i = 0; i < ButtonCatalogue::EntryCount; ++i) {
        const std::optional<BallLook> look =
            i == ButtonCatalogue::EmptyIndex
                ? std::nullopt
                : std::optional<BallLook>(LookOfButton(ButtonCatalogue::ButtonName(i)));
        pictures.push_back(
            {PictureTable::SocketPictureOf(i), ArtPainter::Socket(look, SocketSize(), scale)});
    }
    CheckAgainstTable(pictures, scale);
    return pictures;
}

std::vector<Picture> DrawIcons() {
    const std::array<BallLook, 3> balls{LookOfButton(QStringLiteral("Files")),
                                        LookOfButton(QStringLiteral("Personal")),
                                        LookOfButton(QStringLiteral("Music"))};
    std::vector<Picture> icons;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icons.push_back({QString::number(size), ArtPainter::Icon(size, balls)});
    return icons;
}

} // namespace PictureSet
