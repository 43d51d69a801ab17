// Start-up as trinode does it (the same libraries, the same TrinodeApplication),
// ending the moment the main window has painted for the first time. With
// TRINODE_BENCH_UNTIL=dialogs it ends instead once the editor and help windows,
// made right after that paint, exist as well. With TRINODE_BENCH_UNTIL=rest it
// then makes 20 assignments through the editor, as a person would (three
// buttons, Add, two texts, OK), lets the event loop settle and prints the
// resident memory at rest ("rest_kib N") before it ends; with
// TRINODE_BENCH_ASSIGNMENTS=N it makes N instead (0: at rest as it started).

#include "launcher/TMainForm.h"
#include "launcher/TrinodeApplication.h"
#include "platform/SessionBus.h"
#include "store/ButtonCatalogue.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

#include <unistd.h>

namespace {

constexpr int DefaultAssignments = 20;

// Ends the process at once, as a person closing it would see nothing more.
class EndOnFirstPaint final : public QObject {
protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ::_exit(0);
        return false;
    }
};

// The resident set of this process now, from the kernel.
long ResidentKib() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

// One assignment through the editor: sockets filled with the buttons, the
// dialog opened, its texts typed and OK pressed; each uses its own
// combination, so no overwrite question comes up. Help never goes first: it
// would open the help window instead.
void AssignThroughTheEditor(TMainForm& form, int n) {
    const int help = *ButtonCatalogue::ButtonIndex(QStringLiteral("Help"));
    form.PlaceButton(ButtonCatalogue::ButtonName(n % 22 == help ? 21 : n % 22));
    form.PlaceButton(ButtonCatalogue::ButtonName((n / 22 + 5) % 22));
    form.PlaceButton(ButtonCatalogue::ButtonName(21 - n % 22));
    QTimer::singleShot(0, [n]() {
        auto* editor = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!editor || editor->objectName() != QLatin1String("AddForm")) {
            std::fprintf(stderr, "assignment %d: the editor did not open\n", n);
            ::_exit(3);
        }
        editor->findChild<QLineEdit*>(QStringLiteral("InfoInput"))
            ->setText(QStringLiteral("Assignment %1").arg(n));
        editor->findChild<QLineEdit*>(QStringLiteral("PathInput"))
            ->setText(QStringLiteral("/usr/bin/true"));
        editor->findChild<QPushButton*>(QStringLiteral("OKButton"))->click();
    });
    form.OpenEditor();
    for (int socket = 3; socket >= 1; --socket)
        form.ClearSocket(socket);
}

} // namespace

int main(int argc, char** argv) {
    SessionBus::PreventAutolaunch();
    // In main()'s order: the hand-over and the pictures' thread come before
    // the QApplication.
    TrinodeApplication trinode;
    if (trinode.HandOverToRunningInstance([]() { return SummonRequest{}; }) !=
        SingleInstance::Outcome::Claimed)
        return 1;
    trinode.PrefetchPictures();
    int qtArgc = argc > 0 ? 1 : 0;
    QApplication app(qtArgc, argv);
    QApplication::setApplicationName(QStringLiteral("Trinode"));
    EndOnFirstPaint endOnPaint;
    QTimer poll;
    trinode.Start(true);
    // The window as the user meets it, the only one made at start.
    auto& form = *qobject_cast<TMainForm*>(QApplication::topLevelWidgets().constFirst());
    const QByteArray until = qgetenv("TRINODE_BENCH_UNTIL");
    if (until == "dialogs" || until == "rest") {
        const bool rest = until == "rest";
        // The help window is the last one made.
        QObject::connect(&poll, &QTimer::timeout, [&form, &poll, rest]() {
            if (!form.findChild<QDialog*>(QStringLiteral("HelpForm")))
                return;
            if (!rest)
                ::_exit(0);
            poll.stop();
            bool given = false;
            const int assignments = qEnvironmentVariableIntValue("TRINODE_BENCH_ASSIGNMENTS", &given);
            for (int n = 0; n < (given ? assignments : DefaultAssignments); ++n)
                AssignThroughTheEditor(form, n);
            // At rest: whatever the last assignment posted has run.
            QTimer::singleShot(0, []() {
                std::printf("rest_kib %ld\n", ResidentKib());
                std::fflush(stdout);
                ::_exit(0);
            });
        });
        poll.start(0);
    } else {
        form.installEventFilter(&endOnPaint);
    }
    const int status = QApplication::exec();
    trinode.EndWindows();
    return status;
}
