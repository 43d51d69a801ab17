// trinode_pictures: the main window's table of pictures (art/PictureTable)
// for what is not C++. The build checks the art folder against it, and the
// shell tests take the places of the window's pictures from it rather than
// copying them.
//
//   trinode_pictures places         one line per place: name left top width
//                                   height, then the hint, if any
//   trinode_pictures check FOLDER   whether FOLDER and FOLDER/2x hold exactly
//                                   the table's pictures

#include "art/PictureTable.h"

#include <QDir>
#include <QStringList>

#include <cstdio>

namespace {

void PrintPlace(const char* name, const QRect& place, const char* hint = "") {
    std::printf("%s %d %d %d %d%s%s\n", name, place.x(), place.y(), place.width(), place.height(),
                *hint ? " " : "", hint);
}

int PrintPlaces() {
    PrintPlace("Layout", QRect(QPoint(0, 0), PictureTable::LayoutSize));
    PrintPlace("Background", PictureTable::BackgroundPlace);
    PrintPlace("InfoLabel", PictureTable::InfoLabelPlace);
    for (const PictureTable::Image& row : PictureTable::Images())
        PrintPlace(row.objectName, row.place, row.hint);
    return 0;
}

// Every set holds every picture of the table, as a JPEG of its name, and
// nothing else: the program carries whatever the folder holds.
int CheckFolder(const QString& folder) {
    QStringList wanted;
    for (const PictureTable::Picture& picture : PictureTable::AllPictures())
        wanted << picture.name + QStringLiteral(".jpg");
    wanted.sort();
    int wrong = 0;
    for (const QString& set : {folder, folder + QStringLiteral("/2x")}) {
        QStringList present = QDir(set).entryList({QStringLiteral("*.jpg")}, QDir::Files);
        present.sort();
        for (const QString& name : wanted)
            if (!present.contains(name))
                wrong += std::fprintf(stderr, "trinode_pictures: %s lacks %s\n", qPrintable(set),
                                      qPrintable(name)) > 0;
        for (const QString& name : present)
            if (!wanted.contains(name))
                wrong +=
                    std::fprintf(stderr, "trinode_pictures: %s holds %s, which no image shows\n",
                                 qPrintable(set), qPrintable(name)) > 0;
    }
    return wrong == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const QString command = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (argc == 2 && command == QLatin1String("places"))
        return PrintPlaces();
    if (argc == 3 && command == QLatin1String("check"))
        return CheckFolder(QFile::decodeName(argv[2]));
    std::fputs("Usage: trinode_pictures places | check FOLDER\n", stderr);
    return 2;
}
