#include "summon/KeyGrab.h"

#include "summon/SummonSettings.h"
#include "summon/X11KeyGrab.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>

#include <xcb/xcb.h>

namespace {

xcb_connection_t* Connection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

} // namespace

KeyGrab::KeyGrab(std::function<void(quint32)> onPress, QObject* parent)
    : QObject(parent), m_onPress(std::move(onPress)) {
    if (!Connection())
        return;
    // The folder, not the file: QSettings replaces the file with a new one.
    const QString folder = SummonSettings::Folder();
    QDir().mkpath(folder);
    m_watcher.addPath(folder);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this]() { Reread(); });
    QCoreApplication::instance()->installNativeEventFilter(this);
    Reread();
}

KeyGrab::~KeyGrab() {
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

void KeyGrab::Reread() {
    // Only a key bound for Trinode to grab is grabbed; a desktop's own
    // shortcut must not be grabbed away from it.
    const auto bound = SummonSettings().Bound();
    const QString wanted = bound && bound->grabbed ? bound->shortcut : QString();
    if (wanted == m_grabbed)
        return;
    m_grab.reset();
    m_grabbed = wanted;
    if (wanted.isEmpty())
        return;
    QString why;
    const auto shortcut = Shortcut::FromPortableText(wanted, &why);
    if (shortcut)
        m_grab = std::make_unique<X11KeyGrab>(Connection(), *shortcut);
    if (!shortcut || !m_grab->Failed().isEmpty())
        qWarning("trinode: cannot grab the summon key: %s",
                 qPrintable(shortcut ? m_grab->Failed() : why));
}

bool KeyGrab::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (!m_grab || eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7f) != XCB_KEY_PRESS)
        return false;
    const auto* press = static_cast<const xcb_key_press_event_t*>(message);
    if (press->event != m_grab->Root() || !m_grab->Matches(press->detail, press->state))
        return false;
    m_onPress(press->time);
    return true;
}
