#pragma once

// Whether a window of ours is the active one on X11, as the X server and the
// window manager have it, and a signal whenever that may have changed.
//
// Qt's own idea can stay wrong: a window hidden (Esc) and shown again before
// Qt has taken in that it lost the keyboard keeps Qt's focus window, so that
// when the window manager activates it again Qt sees no change, reports
// none, and does not count the window as active. What the desktop did is in
// the X input focus and in the window manager's _NET_ACTIVE_WINDOW on the
// root window; a focus event for the window or a change of that property is
// the moment to look again.

#include <QAbstractNativeEventFilter>
#include <QObject>

#include <xcb/xcb.h>

class X11ActiveWatch final : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(X11ActiveWatch)
public:
    // activeWindow is the atom _NET_ACTIVE_WINDOW; root the window's root.
    X11ActiveWatch(xcb_connection_t* connection, xcb_window_t window, xcb_window_t root,
                   xcb_atom_t activeWindow, QObject* parent);
    ~X11ActiveWatch() override;

    // The window has the X input focus, or the window manager names it the
    // active window.
    bool Active() const;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

Q_SIGNALS:
    void MayHaveChanged();

private:
    xcb_connection_t* m_connection;
    xcb_window_t m_window;
    xcb_window_t m_root;
    xcb_atom_t m_activeWindow;
};
