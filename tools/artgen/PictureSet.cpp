#include "tools/artgen/PictureSet.h"

#include "store/ButtonCatalogue.h"
#include "tools/artgen/ArtPainter.h"

#include <array>
#include <stdexcept>

namespace PictureSet {
namespace {

// The catalogue colours, chosen to sit well together on black. No red here
// or below comes near pure red (255, 0, 0): the window would show through it.
const QColor Blue(38, 104, 226);
const QColor Purple(138, 70, 208);
const QColor Teal(20, 160, 162);
const QColor Orange(246, 132, 26);
const QColor Yellow(242, 200, 40);
const QColor Green(58, 174, 64);
const QColor White(236, 238, 244);
const QColor Pink(236, 92, 164);
const QColor Gray(138, 141, 152);
const QColor ExitRed(212, 36, 36);
const QColor AddBrown(150, 92, 46);

struct Face {
    const char* name;
    QColor colour;
    const char* letter;
};

// The button catalogue in its order: entry i is BuffSocket i + 1.
const std::array<Face, ButtonCatalogue::ButtonCount> CatalogueFaces{{
    {"Control", Blue, "C"},       {"Display", Purple, "D"},  {"Files", Blue, "F"},
    {"Help", Teal, "H"},          {"Internet", Orange, "I"}, {"Music", Yellow, "M"},
    {"Network", Blue, "N"},       {"Personal", Green, "P"},  {"Pictures", Yellow, "P"},
    {"Settings", White, "S"},     {"System", Blue, "S"},     {"Videos", Yellow, "V"},
    {"Applications", Green, "A"}, {"Mail", Orange, "M"},     {"Office", Pink, "O"},
    {"User", Gray, "U"},          {"One", Purple, "1"},      {"Two", Purple, "2"},
    {"Three", Purple, "3"},       {"Games", Green, "G"},     {"Trash", White, "T"},
    {"Projects", Pink, "P"},
}};

// The image buttons in the order of their Buffer pairs: pair k is Buffer
// 2k - 1 (pressed) and Buffer 2k (normal). "Run" is MainButton.
const std::array<const char*, 25> PairOrder{
    "Control",      "Display",  "Exit",     "Files",    "Help",   "Internet", "Music",
    "Network",      "Personal", "Pictures", "Settings", "System", "Videos",   "Run",
    "Applications", "Mail",     "Office",   "User",     "One",    "Two",      "Three",
    "Games",        "Trash",    "Projects", "Add"};

BallLook LookOf(const QString& name) {
    if (name == QLatin1String("Exit"))
        return {ExitRed, QStringLiteral("X")};
    if (name == QLatin1String("Add"))
        return {AddBrown, QStringLiteral("a")};
    for (const Face& face : CatalogueFaces)
        if (name == QLatin1String(face.name))
            return {face.colour, QString::fromLatin1(face.letter)};
    throw std::logic_error("no face for the button " + name.toStdString());
}

// The faces follow the store's catalogue; a change there must show here.
void CheckCatalogueOrder() {
    for (int i = 0; i < ButtonCatalogue::ButtonCount; ++i)
        if (ButtonCatalogue::ButtonName(i) != QLatin1String(CatalogueFaces[i].name))
            throw std::logic_error("the faces are not in catalogue order at " + std::to_string(i));
}

} // namespace

std::vector<Picture> DrawAll(int scale) {
    CheckCatalogueOrder();
    std::vector<Picture> pictures;
    pictures.push_back({QStringLiteral("Background"), ArtPainter::Background(scale)});

    for (std::size_t k = 0; k < PairOrder.size(); ++k) {
        const QString button = QLatin1String(PairOrder[k]);
        const int pressed = int(2 * k + 1);
        for (const int n : {pressed, pressed + 1}) {
            const bool isPressed = n == pressed;
            const QImage image = button == QLatin1String("Run")
                                     ? ArtPainter::RunBar(isPressed, scale)
                                     : ArtPainter::Button(LookOf(button), isPressed, scale);
            pictures.push_back({QStringLiteral("Buffer%1").arg(n), image});
        }
    }

    for (int i = 0; i < ButtonCatalogue::EntryCount; ++i) {
        const std::optional<BallLook> look =
            i == ButtonCatalogue::EmptyIndex
                ? std::nullopt
                : std::optional<BallLook>(LookOf(ButtonCatalogue::ButtonName(i)));
        pictures.push_back(
            {QStringLiteral("BuffSocket%1").arg(i + 1), ArtPainter::Socket(look, scale)});
    }
    // Its own file, with the same empty ring as BuffSocket23.
    pictures.push_back({QStringLiteral("SocketStart"), ArtPainter::Socket(std::nullopt, scale)});
    return pictures;
}

std::vector<Picture> DrawIcons() {
    const std::array<BallLook, 3> balls{LookOf(QStringLiteral("Files")),
                                        LookOf(QStringLiteral("Personal")),
                                        LookOf(QStringLiteral("Music"))};
    std::vector<Picture> icons;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icons.push_back({QString::number(size), ArtPainter::Icon(size, balls)});
    return icons;
}

} // namespace PictureSet
