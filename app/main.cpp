// Trinode's entry point: the command line, then the hand-over to a running
// Trinode (Qt Core only, so that a summon pays for no GUI), then the GUI.
//
// Exit status: 0 when the program ran, or when a running Trinode's window
// became the active one; 1 for an unknown argument or without a usable
// display; 2 when a running Trinode was found but its window did not become
// active.

#include "launcher/TrinodeApplication.h"
#include "platform/SessionBus.h"
#include "platform/X11ServerTime.h"

#include <QApplication>
#include <QByteArrayList>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

constexpr int ExitUsage = 1;
constexpr int ExitNoDisplay = 1;
constexpr int ExitNotActivated = 2;

const char* const Usage = "Usage: trinode [--help | --version]\n"
                          "\n"
                          "Shows the Trinode launcher, full screen. When Trinode already runs for\n"
                          "this user and combination file, brings that one to the front instead.\n"
                          "\n"
                          "  -h, --help     show this text and exit\n"
                          "  -v, --version  show the version and exit\n"
                          "\n"
                          "Exit status: 0 when the window came up (or the running one became\n"
                          "active), 1 for an unknown option or without a usable display, 2 when\n"
                          "the running Trinode's window did not become active.\n";

// Warnings while the display is opened, held back (and shown once it is up):
// when no display can be used, one line says why instead of Qt's abort.
QByteArrayList g_platformWarnings;
bool g_guiUp = false;
QtMessageHandler g_qtHandler = nullptr;

void StartupMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (!g_guiUp && type == QtFatalMsg) {
        const QByteArray why = g_platformWarnings.isEmpty()
                                   ? QByteArray("no platform plugin started")
                                   : g_platformWarnings.first();
        std::fprintf(stderr, "trinode: no usable display: %s\n", why.constData());
        ::_exit(ExitNoDisplay);
    }
    if (!g_guiUp && type != QtDebugMsg) {
        g_platformWarnings.append(text.toLocal8Bit());
        return;
    }
    if (g_qtHandler)
        g_qtHandler(type, context, text);
    else
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
}

bool WantsWayland(const QByteArray& platform) {
    return platform.startsWith("wayland") ||
           (platform.isEmpty() && qgetenv("XDG_SESSION_TYPE") == "wayland");
}

} // namespace

int main(int argc, char** argv) {
    // A file size limit must make a save fail with "Disk full", not kill the
    // process in the middle of it.
    std::signal(SIGXFSZ, SIG_IGN);
    SessionBus::PreventAutolaunch();

    for (int i = 1; i < argc; ++i) {
        const QByteArrayView arg(argv[i]);
        if (arg == "--help" || arg == "-h") {
            std::fputs(Usage, stdout);
            return 0;
        }
        if (arg == "--version" || arg == "-v") {
            std::printf("Trinode %s\n", TRINODE_VERSION);
            return 0;
        }
        std::fprintf(stderr, "trinode: unknown option %s (see trinode --help)\n", argv[i]);
        return ExitUsage;
    }

    // A desktop platform needs its display named; say so before anything
    // else looks for one.
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    const bool desktop =
        platform.isEmpty() || platform.startsWith("xcb") || platform.startsWith("wayland");
    if (desktop && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::fputs("trinode: no display: neither DISPLAY nor WAYLAND_DISPLAY is set\n", stderr);
        return ExitNoDisplay;
    }

    TrinodeApplication trinode;
    const auto outcome = trinode.HandOverToRunningInstance([&platform]() {
        SummonRequest request = SummonRequest::FromEnvironment();
        if (request.StartupTime() == 0 && request.activationToken.isEmpty() &&
            !WantsWayland(platform) && !qEnvironmentVariableIsEmpty("DISPLAY"))
            request.x11Time = X11ServerTime();
        return request;
    });
    const QByteArray message = trinode.InstanceMessage().toLocal8Bit();
    switch (outcome) {
    case SingleInstance::Outcome::Activated:
        return 0;
    case SingleInstance::Outcome::Refused:
        std::fprintf(stderr, "trinode: %s\n", message.constData());
        return ExitNotActivated;
    case SingleInstance::Outcome::Alone:
        std::fprintf(stderr, "trinode: %s; starting on its own\n", message.constData());
        break;
    case SingleInstance::Outcome::Claimed:
        if (!message.isEmpty())
            std::fprintf(stderr, "trinode: %s\n", message.constData());
        break;
    }

    trinode.PrefetchPictures();
    SessionBus::PassOverSilentBus();
    // Only the program's own name reaches Qt: no argument is Qt's.
    int qtArgc = argc > 0 ? 1 : 0;
    g_qtHandler = qInstallMessageHandler(StartupMessages);
    QApplication app(qtArgc, argv);
    g_guiUp = true;
    qInstallMessageHandler(g_qtHandler);
    for (const QByteArray& warning : g_platformWarnings)
        qWarning("%s", warning.constData());
    QApplication::setApplicationName(QStringLiteral("Trinode"));
    QApplication::setDesktopFileName(QStringLiteral("trinode"));

    trinode.Start();
    const int status = QApplication::exec();
    // The windows end while the application they belong to still exists;
    // trinode outlives app, which is made only after the hand-over.
    trinode.EndWindows();
    return status;
}
