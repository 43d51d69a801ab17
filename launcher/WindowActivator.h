#pragma once

// Brings a window of the running Trinode to the front for a second start, with
// the proof of a user action that the second start handed over, and reports
// whether the desktop made it the active window.
//
// On X11 the window manager is asked through _NET_ACTIVE_WINDOW with the
// user's time (from the startup id, or the second start's fresh server time),
// and the launcher's startup notification is ended; with no window manager the
// window is raised and focused directly; whether it became active is the X
// server's and the window manager's word (X11ActiveWatch), not Qt's. On
// Wayland Qt's own xdg-activation path is given the token. A window that does not become active
// within the wait is marked as demanding attention where Qt can do so (X11; on Wayland the
// compositor decides what a declined token does), and the answer says what happened.

#include "platform/SingleInstance.h"

#include <QObject>

#include <QDeadlineTimer>
#include <QList>
#include <QPointer>

class QWidget;
class X11ActiveWatch;

class WindowActivator final : public QObject {
public:
    explicit WindowActivator(QObject* parent = nullptr);

    // The last of windows is the one to activate; those before it are raised
    // first, from the bottom up (the main window under the dialogs open over
    // it, where no window manager keeps the stacking order).
    void Activate(const QList<QWidget*>& windows, const SummonRequest& request,
                  std::function<void(SingleInstance::Answer)> done);

    // How long the desktop has to make the window active; the second start
    // waits a little longer for the answer.
    static constexpr int WaitMs = SingleInstance::ActivationWaitMs - 100;

private:
    // How long a summon's token waits for an open under way (on top of
    // WaitMs: the second start's wait for the answer covers both), and how
    // often it looks.
    static constexpr int TokenWaitMs = 500;
    static constexpr int TokenPollMs = 10;

    void ActivateWhenNoOpenRuns(QObject* waiter, const QList<QPointer<QWidget>>& windows,
                                SummonRequest request, const QDeadlineTimer& deadline,
                                std::function<void(SingleInstance::Answer)> done);
    // The answer comes once the window is active (on X11 as the watch sees
    // it), or when the wait ends; waiter goes with the answer.
    void AnswerOnceActive(QObject* waiter, QWidget& window, X11ActiveWatch* watch,
                          const QString& hint, std::function<void(SingleInstance::Answer)> done);
};
