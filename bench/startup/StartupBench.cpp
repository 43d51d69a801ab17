// Start-up as trinode does it (the same libraries, the same TrinodeApplication),
// ending the moment the main window has painted for the first time. With
// TRINODE_BENCH_UNTIL=dialogs it ends instead once the editor and help windows,
// made right after that paint, exist as well.

#include "launcher/TMainForm.h"
#include "launcher/TrinodeApplication.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QTimer>

#include <unistd.h>

namespace {

// Ends the process at once, as a person closing it would see nothing more.
class EndOnFirstPaint final : public QObject {
protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ::_exit(0);
        return false;
    }
};

} // namespace

int main(int argc, char** argv) {
    int qtArgc = argc > 0 ? 1 : 0;
    QApplication app(qtArgc, argv);
    QApplication::setApplicationName(QStringLiteral("Trinode"));
    TrinodeApplication trinode;
    if (trinode.HandOverToRunningInstance([]() { return SummonRequest{}; }) !=
        SingleInstance::Outcome::Claimed)
        return 1;
    EndOnFirstPaint endOnPaint;
    QTimer poll;
    trinode.Start();
    if (qgetenv("TRINODE_BENCH_UNTIL") == "dialogs") {
        // The help window is the last one made.
        QObject::connect(&poll, &QTimer::timeout, [&trinode]() {
            if (trinode.MainForm().findChild<QDialog*>(QStringLiteral("HelpForm")))
                ::_exit(0);
        });
        poll.start(0);
    } else {
        trinode.MainForm().installEventFilter(&endOnPaint);
    }
    return QApplication::exec();
}
