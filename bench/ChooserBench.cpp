// One first opening, in a process of its own, of the editor's application
// chooser ("applications") or its file chooser ("files"): from the press of
// the button to the chooser on the screen with its list filled, the first
// opening being the one that reads what the list shows. Prints the time in
// milliseconds. tools/bench-chooser runs both, alternating, and compares.
//
// With --made-up N, N made-up desktop entries stand before the system's in a
// temporary XDG_DATA_HOME. With "letters" it opens the application chooser
// and then times each letter typed into its filter, from the key to the list
// narrowed and painted, and prints the slowest.

#include "editor/EditorHost.h"
#include "editor/TAddForm.h"
#include "store/CombinationTable.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

class NoHost final : public EditorHost {
public:
    Combination CombinationToEdit() const override { return {}; }
    void RefreshCurrent() override {}
};

void MakeEntries(const QString& folder, int count) {
    QDir().mkpath(folder + QStringLiteral("/applications"));
    for (int i = 0; i < count; ++i) {
        QFile entry(QStringLiteral("%1/applications/made-up-%2.desktop").arg(folder).arg(i));
        if (!entry.open(QIODevice::WriteOnly))
            return;
        entry.write(QStringLiteral("[Desktop Entry]\nType=Application\nName=Made-up %1\n"
                                   "GenericName=Tool\nKeywords=made;up;\nExec=/usr/bin/true\n"
                                   "Icon=made-up-%1\n")
                        .arg(i)
                        .toUtf8());
    }
}

// The chooser that opened, once it shows a filled list on the screen.
bool Filled() {
    QWidget* chooser = QApplication::activeModalWidget();
    if (!chooser || !chooser->inherits("QDialog") ||
        chooser->objectName() == QLatin1String("AddForm") || !chooser->isVisible())
        return false;
    const auto views = chooser->findChildren<QAbstractItemView*>();
    for (const QAbstractItemView* view : views)
        if (view->isVisible() && view->model() && view->model()->rowCount(view->rootIndex()) > 0)
            return true;
    return false;
}

} // namespace

// Types "made up" into the chooser's filter, a letter at a time: the
// slowest letter's time, from the key to the list narrowed and painted.
double SlowestLetter(QWidget& chooser) {
    QWidget* box = chooser.focusWidget();
    double slowest = 0;
    for (const char letter : QByteArrayLiteral("made up")) {
        QElapsedTimer clock;
        clock.start();
        QTest::keyClick(box, letter);
        chooser.repaint();
        slowest = std::max(slowest, double(clock.nsecsElapsed()) / 1e6);
    }
    return slowest;
}

int main(int argc, char** argv) {
    const bool files = argc > 1 && std::strcmp(argv[1], "files") == 0;
    const bool letters = argc > 1 && std::strcmp(argv[1], "letters") == 0;
    QTemporaryDir home;
    if (argc > 3 && std::strcmp(argv[2], "--made-up") == 0) {
        MakeEntries(home.filePath(QStringLiteral("data")), std::atoi(argv[3]));
        qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral("data"))));
    }
    // The file chooser starts in the home folder: one with a few files.
    qputenv("HOME", QFile::encodeName(home.path()));
    for (const char* name : {"notes.txt", "run.sh", "photo.jpg"})
        QFile(home.filePath(QString::fromLatin1(name))).open(QIODevice::WriteOnly);
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    CombinationTable table(home.filePath(QStringLiteral("TrinodeRun.cmb")));
    NoHost host;
    TAddForm form(table, host);
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        return 1;
    auto* button = form.findChild<QPushButton*>(files ? QStringLiteral("Browse")
                                                      : QStringLiteral("ApplicationsButton"));
    QElapsedTimer clock;
    double milliseconds = -1;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!Filled())
            return;
        QWidget* chooser = QApplication::activeModalWidget();
        chooser->repaint();
        milliseconds = double(clock.nsecsElapsed()) / 1e6;
        poll.stop();
        if (letters)
            milliseconds = SlowestLetter(*chooser);
        chooser->close();
    });
    poll.start(0);
    clock.start();
    button->click();
    if (milliseconds < 0)
        return 1;
    std::printf("%.2f\n", milliseconds);
    return 0;
}
