// Trinode's entry point: the command line, then the hand-over to a running
// Trinode (Qt Core only, so that a summon pays for no GUI), then the GUI.
//
// Exit status: 0 when the program ran, or when a running Trinode's window
// became the active one; 1 for an unknown argument or without a usable
// display; 2 when a running Trinode was found but its window did not become
// active; options that set something give their own (CommandLine).

#include "app/CommandLine.h"
#include "launcher/TrinodeApplication.h"
#include "platform/SessionBus.h"
#include "platform/X11ServerTime.h"

#include <QApplication>
#include <QByteArrayList>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

constexpr int ExitNoDisplay = 1;
constexpr int ExitNotActivated = 2;

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

    const CommandLine commandLine(argc, argv);
    if (const std::optional<int> status = commandLine.Run())
        return *status;

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

    trinode.Start(!commandLine.Background());
    const int status = QApplication::exec();
    // The windows end while the application they belong to still exists;
    // trinode outlives app, which is made only after the hand-over.
    trinode.EndWindows();
    return status;
}
