#pragma once

// One entry of a session bus address ("unix:path=/run/user/1000/bus",
// "tcp:host=localhost,port=4000"), read as the D-Bus libraries read the list
// in DBUS_SESSION_BUS_ADDRESS: entries apart by ';', each a transport, a ':'
// and key=value pairs apart by ',', every value percent-escaped.

#include <QByteArray>
#include <QList>
#include <QPair>

#include <optional>

class SessionBusAddress final {
public:
    // Every entry of the list in its order; an entry the libraries could not
    // read either has an empty transport, so that it is passed over as they
    // pass it over.
    static QList<SessionBusAddress> ParseList(const QByteArray& addresses);
    // An entry that reaches the Unix socket at path.
    static QByteArray UnixPath(const QByteArray& path);

    // The entry as it was written, for messages.
    const QByteArray& Text() const { return m_text; }
    const QByteArray& Transport() const { return m_transport; }
    // The value of key, unescaped; nothing when the entry has no such key.
    std::optional<QByteArray> Value(QByteArrayView key) const;

private:
    QByteArray m_text;
    QByteArray m_transport;
    QList<QPair<QByteArray, QByteArray>> m_values;
};
