#include "tests/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

// One QApplication for the whole test program, on whatever platform the
// environment names (CTest sets offscreen), and a home of its own so that
// nothing can reach the real one even before a test sets its own. A modal
// window that no test expected fails the test that opened it.
int main(int argc, char** argv) {
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    // Instance sockets too stay in a directory of the tests' own.
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt's own settings (a file dialog's last folder) go where Qt first
    // looked, which would be a test's home that is gone by the next write:
    // this home, which lives as long as the program, takes them.
    for (const QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope, home.filePath(QStringLiteral(".config")));
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QString());
    QApplication::setApplicationName(QStringLiteral("Trinode"));
    ModalGuard guard;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
