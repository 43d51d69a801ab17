// Trinode's entry point. Nothing is read from the command line.

#include "launcher/TrinodeApplication.h"
#include "platform/SessionBus.h"

#include <QApplication>

#include <csignal>

int main(int argc, char** argv) {
    // A file size limit must make a save fail with "Disk full", not kill the
    // process in the middle of it.
    std::signal(SIGXFSZ, SIG_IGN);
    SessionBus::PreventAutolaunch();

    // Only the program's own name reaches Qt, so no argument is read.
    int qtArgc = argc > 0 ? 1 : 0;
    QApplication app(qtArgc, argv);
    QApplication::setApplicationName(QStringLiteral("Trinode"));
    QApplication::setDesktopFileName(QStringLiteral("trinode"));

    TrinodeApplication trinode;
    if (trinode.HandOverToRunningInstance())
        return 0;
    trinode.Start();
    return QApplication::exec();
}
