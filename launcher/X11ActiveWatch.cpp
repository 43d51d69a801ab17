#include "launcher/X11ActiveWatch.h"

#include <QCoreApplication>

#include <cstdlib>
#include <cstring>

X11ActiveWatch::X11ActiveWatch(xcb_connection_t* connection, xcb_window_t window, xcb_window_t root,
                               xcb_atom_t activeWindow, QObject* parent)
    : QObject(parent), m_connection(connection), m_window(window), m_root(root),
      m_activeWindow(activeWindow) {
    // The window manager's changes of _NET_ACTIVE_WINDOW reach us only with
    // property changes of the root selected; what Qt selected there stays.
    xcb_get_window_attributes_reply_t* attributes = xcb_get_window_attributes_reply(
        m_connection, xcb_get_window_attributes(m_connection, m_root), nullptr);
    if (attributes && !(attributes->your_event_mask & XCB_EVENT_MASK_PROPERTY_CHANGE)) {
        const uint32_t mask = attributes->your_event_mask | XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(m_connection, m_root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(m_connection);
    }
    std::free(attributes);
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11ActiveWatch::~X11ActiveWatch() {
    QCoreApplication::instance()->removeNativeEventFilter(this);
}

bool X11ActiveWatch::Active() const {
    // Both asked at once: one wait for the X server, not two.
    const xcb_get_input_focus_cookie_t focusCookie = xcb_get_input_focus(m_connection);
    const bool named = m_activeWindow != XCB_ATOM_NONE;
    const xcb_get_property_cookie_t activeCookie =
        named ? xcb_get_property(m_connection, 0, m_root, m_activeWindow, XCB_ATOM_WINDOW, 0, 1)
              : xcb_get_property_cookie_t{};
    xcb_get_input_focus_reply_t* focus =
        xcb_get_input_focus_reply(m_connection, focusCookie, nullptr);
    const bool focused = focus && focus->focus == m_window;
    std::free(focus);
    if (focused || !named) {
        if (named)
            xcb_discard_reply(m_connection, activeCookie.sequence);
        return focused;
    }
    xcb_get_property_reply_t* active =
        xcb_get_property_reply(m_connection, activeCookie, nullptr);
    xcb_window_t window = XCB_WINDOW_NONE;
    if (active && xcb_get_property_value_length(active) == sizeof window)
        std::memcpy(&window, xcb_get_property_value(active), sizeof window);
    std::free(active);
    return window == m_window;
}

bool X11ActiveWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    switch (event->response_type & 0x7f) {
    case XCB_FOCUS_IN:
        if (reinterpret_cast<const xcb_focus_in_event_t*>(event)->event == m_window)
            Q_EMIT MayHaveChanged();
        break;
    case XCB_PROPERTY_NOTIFY: {
        const auto* change = reinterpret_cast<const xcb_property_notify_event_t*>(event);
        if (change->window == m_root && change->atom == m_activeWindow)
            Q_EMIT MayHaveChanged();
        break;
    }
    default:
        break;
    }
    // Qt goes on to handle every event.
    return false;
}
