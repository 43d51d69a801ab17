#pragma once

// The running Trinode's own summon key on an X11 desktop whose window manager
// keeps no key settings (see X11GrabKeys): a passive grab on the X server,
// whose press reaches Trinode through Qt's native event filter and summons
// the window from inside, with the press's own time as the proof of a user
// action. It follows Trinode's settings: --bind-key and --unbind-key in
// another process rewrite them, and a watch on their folder regrabs.

#include <QAbstractNativeEventFilter>
#include <QFileSystemWatcher>
#include <QObject>

#include <functional>
#include <memory>

class X11KeyGrab;

class KeyGrab final : public QObject, public QAbstractNativeEventFilter {
public:
    // Does nothing where Qt does not run on X11.
    explicit KeyGrab(std::function<void(quint32 time)> onPress, QObject* parent = nullptr);
    ~KeyGrab() override;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    void Reread();

    std::function<void(quint32)> m_onPress;
    QFileSystemWatcher m_watcher;
    std::unique_ptr<X11KeyGrab> m_grab;
    QString m_grabbed;
};
