#include "launcher/WindowActivator.h"

#include "launcher/X11ActiveWatch.h"
#include "platform/OpenPath.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <iterator>
#include <utility>

namespace {

// The atoms a summon names. Each is interned once for the connection, all
// in one round trip: a summon waits for the X server as few times as it can.
struct Atoms {
    xcb_atom_t supported = XCB_ATOM_NONE;
    xcb_atom_t active = XCB_ATOM_NONE;
    xcb_atom_t check = XCB_ATOM_NONE;
    xcb_atom_t startupBegin = XCB_ATOM_NONE;
    xcb_atom_t startup = XCB_ATOM_NONE;
};

const Atoms& AtomsOf(xcb_connection_t* c) {
    static xcb_connection_t* interned = nullptr;
    static Atoms atoms;
    if (c == interned)
        return atoms;
    const std::pair<const char*, xcb_atom_t Atoms::*> names[] = {
        {"_NET_SUPPORTED", &Atoms::supported},
        {"_NET_ACTIVE_WINDOW", &Atoms::active},
        {"_NET_SUPPORTING_WM_CHECK", &Atoms::check},
        {"_NET_STARTUP_INFO_BEGIN", &Atoms::startupBegin},
        {"_NET_STARTUP_INFO", &Atoms::startup},
    };
    xcb_intern_atom_cookie_t cookies[std::size(names)];
    for (size_t i = 0; i < std::size(names); ++i)
        cookies[i] = xcb_intern_atom(c, 0, uint16_t(std::strlen(names[i].first)), names[i].first);
    bool all = true;
    for (size_t i = 0; i < std::size(names); ++i) {
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, cookies[i], nullptr);
        atoms.*names[i].second = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        all = all && reply;
        std::free(reply);
    }
    // A connection that failed to answer is asked again next time.
    interned = all ? c : nullptr;
    return atoms;
}

// The root of the window; the last one found is kept, as a window never
// changes its root.
xcb_window_t RootOf(xcb_connection_t* c, xcb_window_t window) {
    static xcb_window_t known = XCB_WINDOW_NONE;
    static xcb_window_t knownRoot = XCB_WINDOW_NONE;
    if (window == known)
        return knownRoot;
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr);
    const xcb_window_t root = tree ? tree->root : xcb_window_t(XCB_WINDOW_NONE);
    std::free(tree);
    if (root != XCB_WINDOW_NONE) {
        known = window;
        knownRoot = root;
    }
    return root;
}

// A window manager is running and takes activation requests; both
// properties are asked for before either answer is awaited.
bool ManagerActivates(xcb_connection_t* c, xcb_window_t root, const Atoms& atoms) {
    const xcb_get_property_cookie_t checkCookie =
        xcb_get_property(c, 0, root, atoms.check, XCB_ATOM_WINDOW, 0, 1);
    const xcb_get_property_cookie_t listCookie =
        xcb_get_property(c, 0, root, atoms.supported, XCB_ATOM_ATOM, 0, 4096);
    xcb_get_property_reply_t* wm = xcb_get_property_reply(c, checkCookie, nullptr);
    const bool running = wm && xcb_get_property_value_length(wm) == 4;
    std::free(wm);
    xcb_get_property_reply_t* list = xcb_get_property_reply(c, listCookie, nullptr);
    bool found = false;
    if (running && list) {
        const auto* listed = static_cast<const xcb_atom_t*>(xcb_get_property_value(list));
        const int n = xcb_get_property_value_length(list) / int(sizeof(xcb_atom_t));
        for (int i = 0; i < n && !found; ++i)
            found = listed[i] == atoms.active;
    }
    std::free(list);
    return found;
}

void SendToRoot(xcb_connection_t* c, xcb_window_t root, const xcb_client_message_event_t& event,
                uint32_t mask) {
    xcb_send_event(c, 0, root, mask, reinterpret_cast<const char*>(&event));
}

// A request from an application (source 1) with the user's time, which is
// what focus-stealing prevention weighs.
void RequestActive(xcb_connection_t* c, xcb_window_t root, xcb_window_t window, quint32 time) {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = AtomsOf(c).active;
    event.data.data32[0] = 1;
    event.data.data32[1] = time;
    event.data.data32[2] = XCB_WINDOW_NONE;
    SendToRoot(c, root, event,
               XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY);
}

// "remove: ID=..." in 20-byte pieces, so that the launcher's busy cursor
// stops.
void EndStartup(xcb_connection_t* c, xcb_window_t root, xcb_window_t window,
                const QByteArray& startupId) {
    QByteArray message = "remove: ID=" + startupId;
    message.append('\0');
    const xcb_atom_t begin = AtomsOf(c).startupBegin;
    const xcb_atom_t more = AtomsOf(c).startup;
    for (qsizetype at = 0; at < message.size(); at += 20) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 8;
        event.window = window;
        event.type = at == 0 ? begin : more;
        std::memcpy(event.data.data8, message.constData() + at,
                    size_t(std::min<qsizetype>(20, message.size() - at)));
        SendToRoot(c, root, event, XCB_EVENT_MASK_PROPERTY_CHANGE);
    }
}

void RaiseInOrder(const QList<QWidget*>& windows) {
    for (QWidget* window : windows)
        window->raise();
}

// Asks the window manager to activate the top window, or, where none runs,
// stacks the windows and activates it directly; and ends the launcher's
// startup notification. What the answer should add about the request; watch
// tells when the top window is active.
QString ActivateOnX11(xcb_connection_t* c, const QList<QWidget*>& windows,
                      const SummonRequest& request, QObject* waiter, X11ActiveWatch** watch) {
    QWidget& window = *windows.last();
    const xcb_window_t id = xcb_window_t(window.winId());
    const xcb_window_t root = RootOf(c, id);
    const quint32 time = request.StartupTime() != 0 ? request.StartupTime() : request.x11Time;
    const Atoms& atoms = AtomsOf(c);
    *watch = new X11ActiveWatch(c, id, root, atoms.active, waiter);
    if (ManagerActivates(c, root, atoms)) {
        RequestActive(c, root, id, time);
    } else {
        // Nothing keeps a dialog above its parent here: stack them in
        // order, then give the keyboard to the top one.
        RaiseInOrder(windows);
        window.activateWindow();
    }
    if (!request.startupId.isEmpty())
        EndStartup(c, root, id, request.startupId);
    xcb_flush(c);
    return time == 0 ? QStringLiteral(" (no time of a user action was handed over)") : QString();
}

// Elsewhere Qt activates the window itself; its Wayland plugin hands the
// token to xdg_activation_v1.activate and consumes it.
QString ActivateElsewhere(const QList<QWidget*>& windows, const SummonRequest& request) {
    const bool wayland = QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
    if (wayland && !request.activationToken.isEmpty())
        qputenv("XDG_ACTIVATION_TOKEN", request.activationToken);
    RaiseInOrder(windows);
    // Without a token a compositor such as mutter declines the request, but
    // gives the keyboard to a window that maps anew: the main window (never
    // a modal one, whose hiding would end it) is mapped again.
    QWidget& window = *windows.last();
    if (wayland && request.activationToken.isEmpty() && windows.size() == 1 && window.isVisible() &&
        !window.isActiveWindow()) {
        window.hide();
        window.show();
    }
    window.raise();
    window.activateWindow();
    qunsetenv("XDG_ACTIVATION_TOKEN");
    return wayland && request.activationToken.isEmpty()
               ? QStringLiteral(" (no XDG_ACTIVATION_TOKEN was handed over)")
               : QString();
}

} // namespace

WindowActivator::WindowActivator(QObject* parent) : QObject(parent) {}

void WindowActivator::Activate(const QList<QWidget*>& windows, const SummonRequest& request,
                               std::function<void(SingleInstance::Answer)> done) {
    // The answer's own object: it goes once the answer is given, and takes
    // the watch along.
    auto* waiter = new QObject(this);
    // Only X11 has a demands-attention flag that Qt sets; on Wayland Qt 6.4
    // has none, and a compositor that declines a token may flag the window
    // itself or not at all.
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 && x11->connection()) {
        X11ActiveWatch* watch = nullptr;
        const QString hint = ActivateOnX11(x11->connection(), windows, request, waiter, &watch);
        AnswerOnceActive(waiter, *windows.last(), watch, hint, std::move(done));
        return;
    }
    ActivateWhenNoOpenRuns(waiter, {windows.begin(), windows.end()}, request,
                           QDeadlineTimer(TokenWaitMs), std::move(done));
}

// Qt's Wayland plugin takes the token from the environment, which an open on
// another thread reads meanwhile: the token is put there once no open runs,
// and left out when one still runs at the deadline.
void WindowActivator::ActivateWhenNoOpenRuns(QObject* waiter,
                                             const QList<QPointer<QWidget>>& windows,
                                             SummonRequest request, const QDeadlineTimer& deadline,
                                             std::function<void(SingleInstance::Answer)> done) {
    QString late;
    if (!request.activationToken.isEmpty() && OpenRunning()) {
        if (!deadline.hasExpired()) {
            QTimer::singleShot(TokenPollMs, waiter, [=, this]() {
                ActivateWhenNoOpenRuns(waiter, windows, request, deadline, done);
            });
            return;
        }
        request.activationToken.clear();
        late = QStringLiteral(" (an open of a path kept the activation token back)");
    }
    // The main window stays; a dialog over it may have closed meanwhile.
    QList<QWidget*> open;
    for (const QPointer<QWidget>& window : windows) {
        if (window)
            open.append(window);
    }
    const QString hint = ActivateElsewhere(open, request) + late;
    AnswerOnceActive(waiter, *open.last(), nullptr, hint, std::move(done));
}

void WindowActivator::AnswerOnceActive(QObject* waiter, QWidget& window, X11ActiveWatch* watch,
                                       const QString& hint,
                                       std::function<void(SingleInstance::Answer)> done) {
    QPointer<QWidget> target(&window);
    // On X11 the desktop's word; elsewhere Qt's, the only one there is.
    const auto active = [watch, target]() {
        return watch ? watch->Active() : target && target->isActiveWindow();
    };
    auto finish = [waiter, target, done, hint, active, alerts = watch != nullptr](bool timedOut) {
        if (waiter->property("done").toBool())
            return;
        const bool now = active();
        if (!now && !timedOut)
            return;
        waiter->setProperty("done", true);
        waiter->deleteLater();
        if (now) {
            done({true, {}});
            return;
        }
        if (target)
            QApplication::alert(target);
        done({false, QStringLiteral("the desktop did not make the Trinode window active%1%2")
                         .arg(hint, alerts && target
                                        ? QStringLiteral("; it is marked as demanding attention")
                                        : QString())});
    };
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, waiter, [finish]() { finish(false); });
    if (watch)
        connect(
            watch, &X11ActiveWatch::MayHaveChanged, waiter, [finish]() { finish(false); },
            Qt::QueuedConnection);
    QTimer::singleShot(WaitMs, waiter, [finish]() { finish(true); });
    // Already active (the desktop may have answered at once, or nothing needed
    // to change): answer from the event loop, after the requests went out.
    QTimer::singleShot(0, waiter, [finish]() { finish(false); });
}
