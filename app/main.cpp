// Trinode: start-up. Makes the combination table and the three windows, in the
// order main window, editor, help; the main window loads or creates the
// combination file when it is first shown. Nothing is read from the command
// line.

#include "editor/TAddForm.h"
#include "help/THelpForm.h"
#include "launcher/TMainForm.h"
#include "platform/SingleInstance.h"
#include "store/CombinationTable.h"

#include <QApplication>
#include <QScreen>

#include <csignal>

int main(int argc, char** argv) {
    // A file size limit must make a save fail with "Disk full", not kill the
    // process in the middle of it.
    std::signal(SIGXFSZ, SIG_IGN);

    // Only the program's own name reaches Qt: no argument is read.
    int qtArgc = argc > 0 ? 1 : 0;
    QApplication app(qtArgc, argv);
    QApplication::setApplicationName(QStringLiteral("Trinode"));
    QApplication::setDesktopFileName(QStringLiteral("trinode"));

    CombinationTable table;
    SingleInstance instance(table.FilePath());
    if (instance.SignalRunningInstance())
        return 0;

    TMainForm mainForm(table);
    TAddForm addForm(table, mainForm, &mainForm);
    THelpForm helpForm(&mainForm);
    mainForm.SetDialogs(&addForm, &helpForm);
    instance.Listen([&mainForm]() { mainForm.BringToFront(); });

    // Where no window manager maximises it, the window still covers the
    // screen's work area.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        mainForm.setGeometry(screen->availableGeometry());
    mainForm.showMaximized();
    return QApplication::exec();
}
