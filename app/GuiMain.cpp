// Trinode's GUI part: the command line's actions, then the claim of the name
// (or the hand-over to a Trinode that came up since the front looked), then
// the windows.
//
// Exit status: 0 when the program ran; otherwise those of the command line
// (CommandLine) and of the hand-over (HandOver).

#include "app/GuiMain.h"

#include "app/BindingsCommands.h"
#include "app/CommandLine.h"
#include "app/HandOver.h"
#include "app/SummonCommands.h"
#include "launcher/TrinodeApplication.h"
#include "platform/SessionBus.h"
#include "summon/SummonKey.h"

#include <QApplication>
#include <QByteArrayList>
#include <QDeadlineTimer>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

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
        ::_exit(HandOver::ExitNoDisplay);
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

// The exit status when the command line is all there is to do; nullopt when
// Trinode is to start.
std::optional<int> Run(const CommandLine& commandLine) {
    switch (commandLine.What()) {
    case CommandLine::Action::Start:
    case CommandLine::Action::Background:
        return std::nullopt;
    case CommandLine::Action::Help:
    case CommandLine::Action::Version:
    case CommandLine::Action::Usage:
        return commandLine.Answer();
    case CommandLine::Action::BindKey:
        return SummonCommands::BindKey(
            commandLine.Value().value_or(QLatin1String(SummonKey::DefaultShortcut)));
    case CommandLine::Action::UnbindKey:
        return SummonCommands::UnbindKey();
    case CommandLine::Action::Autostart:
        return SummonCommands::SetAutostart(*commandLine.Value());
    case CommandLine::Action::List:
    case CommandLine::Action::Suggest:
    case CommandLine::Action::Import:
    case CommandLine::Action::Check:
    case CommandLine::Action::Repair:
        return BindingsCommands::Answer(commandLine);
    }
    return CommandLine::ExitUsage;
}

} // namespace

extern "C" int TrinodeGuiMain(int argc, char** argv, qint64 reachBy) {
    // A file size limit must make a save fail with "Disk full", not kill the
    // process in the middle of it. Caught rather than ignored: every program
    // Trinode starts gets the default back at exec, as it would not get it
    // for an ignored signal.
    std::signal(SIGXFSZ, [](int) {});
    SessionBus::PreventAutolaunch();

    const CommandLine commandLine(argc, argv);
    if (const std::optional<int> status = Run(commandLine))
        return *status;
    if (const std::optional<int> status = HandOver::RefuseWithoutDisplay())
        return *status;

    TrinodeApplication trinode;
    // What is left of the front's wait for a running Trinode.
    QDeadlineTimer reach;
    reach.setDeadline(reachBy);
    const SingleInstance::Outcome outcome =
        trinode.HandOverToRunningInstance(HandOver::RequestFor(commandLine.Background()), reach);
    if (const std::optional<int> status = HandOver::Leave(outcome, trinode.InstanceMessage()))
        return *status;

    // Before the picture thread starts: the environment is changed only while
    // no other thread reads it.
    SessionBus::PassOverSilentBus();
    trinode.PrefetchPictures();
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
