#include "art/PictureTable.h"

#include "store/ButtonCatalogue.h"

#include <algorithm>

namespace PictureTable {
namespace {

using R = Role;

// The pressed pictures are the odd Buffer numbers, the normal ones the even
// numbers after them. The pairs are numbered in an order of their own: the
// first thirteen images below in alphabetical order (Exit among them), then
// the Run image, then the other catalogue buttons in catalogue order, and the
// Add image last.
// clang-format off
constexpr Image Rows[] = {
    {"MainButton", {412, 352, 200, 75}, "Click to Run", "", 27, 28, R::Run, 0, "red", "run"},
    {"EmptySocket1", {428, 442, 44, 44}, "Empty Socket", "", 0, 0, R::Socket, 1, "", ""},
    {"EmptySocket2", {488, 442, 44, 44}, "Empty Socket", "", 0, 0, R::Socket, 2, "", ""},
    {"EmptySocket3", {549, 442, 44, 44}, "Empty Socket", "", 0, 0, R::Socket, 3, "", ""},
    {"AddShortcutButton", {0, 0, 32, 32}, "Add Shortcut", "", 49, 50, R::Add, 0, "brown", "a"},
    {"ExitButton", {992, 0, 32, 32}, "Exit Trinode", "", 5, 6, R::Exit, 0, "red", "X"},
    // Row 1.
    {"SystemButton", {320, 680, 32, 32}, "System", "System", 23, 24, R::Catalogue, 0, "blue", "S"},
    {"FilesButton", {352, 680, 32, 32}, "Files", "Files", 7, 8, R::Catalogue, 0, "blue", "F"},
    {"NetworkButton", {384, 680, 32, 32}, "Network", "Network", 15, 16, R::Catalogue, 0, "blue", "N"},
    {"ControlButton", {416, 680, 32, 32}, "Control", "Control", 1, 2, R::Catalogue, 0, "blue", "C"},
    {"ApplicationsButton", {448, 680, 32, 32}, "Applications", "Applications", 29, 30, R::Catalogue, 0, "green", "A"},
    {"PersonalButton", {480, 680, 32, 32}, "Personal", "Personal", 17, 18, R::Catalogue, 0, "green", "P"},
    {"GamesButton", {512, 680, 32, 32}, "Games", "Games", 43, 44, R::Catalogue, 0, "green", "G"},
    {"VideosButton", {544, 680, 32, 32}, "Videos", "Videos", 25, 26, R::Catalogue, 0, "yellow", "V"},
    {"MusicButton", {576, 680, 32, 32}, "Music", "Music", 13, 14, R::Catalogue, 0, "yellow", "M"},
    {"PicturesButton", {608, 680, 32, 32}, "Pictures", "Pictures", 19, 20, R::Catalogue, 0, "yellow", "P"},
    {"InternetButton", {640, 680, 32, 32}, "Internet", "Internet", 11, 12, R::Catalogue, 0, "orange", "I"},
    {"MailButton", {672, 680, 32, 32}, "Mail", "Mail", 31, 32, R::Catalogue, 0, "orange", "M"},
    // Row 2.
    {"ProjectsButton", {352, 712, 32, 32}, "Projects", "Projects", 47, 48, R::Catalogue, 0, "pink", "P"},
    {"OfficeButton", {384, 712, 32, 32}, "Office", "Office", 33, 34, R::Catalogue, 0, "pink", "O"},
    {"DisplayButton", {416, 712, 32, 32}, "Display", "Display", 3, 4, R::Catalogue, 0, "purple", "D"},
    {"SettingsButton", {448, 712, 32, 32}, "Settings", "Settings", 21, 22, R::Catalogue, 0, "white", "S"},
    {"TrashButton", {480, 712, 32, 32}, "Trash", "Trash", 45, 46, R::Catalogue, 0, "white", "T"},
    {"HelpButton", {512, 712, 32, 32}, "Help", "Help", 9, 10, R::Catalogue, 0, "teal", "H"},
    {"UserButton", {544, 712, 32, 32}, "User", "User", 35, 36, R::Catalogue, 0, "gray", "U"},
    {"OneButton", {576, 712, 32, 32}, "One", "One", 37, 38, R::Catalogue, 0, "purple", "1"},
    {"TwoButton", {608, 712, 32, 32}, "Two", "Two", 39, 40, R::Catalogue, 0, "purple", "2"},
    {"ThreeButton", {640, 712, 32, 32}, "Three", "Three", 41, 42, R::Catalogue, 0, "purple", "3"},
};
// clang-format on

// Every socket picture is drawn for the sockets' box.
QSize SocketSize() {
    for (const Image& row : Rows)
        if (row.role == Role::Socket)
            return row.place.size();
    return {};
}

// A Buffer picture is drawn for the box of the image that shows it.
QSize ButtonPictureSize(int n) {
    for (const Image& row : Rows)
        if (row.pressed == n || row.normal == n)
            return row.place.size();
    return {};
}

} // namespace

std::span<const Image> Images() {
    return Rows;
}

const Image* ImageNamed(const QString& objectName) {
    for (const Image& row : Rows)
        if (objectName == QLatin1String(row.objectName))
            return &row;
    return nullptr;
}

const Image* ImageOfButton(const QString& button) {
    for (const Image& row : Rows)
        if (row.role == Role::Catalogue && button == QLatin1String(row.button))
            return &row;
    return nullptr;
}

QString BackgroundPicture() {
    return QStringLiteral("Background");
}

QString SocketStartPicture() {
    return QStringLiteral("SocketStart");
}

QString ButtonPicture(int n) {
    return QStringLiteral("Buffer%1").arg(n);
}

QString SocketPicture(int n) {
    return QStringLiteral("BuffSocket%1").arg(n);
}

QString SocketPictureOf(int buttonIndex) {
    return SocketPicture(buttonIndex + 1);
}

int ButtonPictureCount() {
    int count = 0;
    for (const Image& row : Rows)
        count = std::max({count, row.pressed, row.normal});
    return count;
}

int SocketPictureCount() {
    return ButtonCatalogue::EntryCount;
}

std::vector<Picture> AllPictures() {
    std::vector<Picture> pictures{{BackgroundPicture(), BackgroundPlace.size()},
                                  {SocketStartPicture(), SocketSize()}};
    for (int n = 1; n <= ButtonPictureCount(); ++n)
        pictures.push_back({ButtonPicture(n), ButtonPictureSize(n)});
    for (int n = 1; n <= SocketPictureCount(); ++n)
        pictures.push_back({SocketPicture(n), SocketSize()});
    return pictures;
}

} // namespace PictureTable
