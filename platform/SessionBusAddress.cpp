#include "platform/SessionBusAddress.h"

namespace {

// The bytes an address may hold unescaped.
constexpr char Unescaped[] = "-_/.*";

} // namespace

QList<SessionBusAddress> SessionBusAddress::ParseList(const QByteArray& addresses) {
    QList<SessionBusAddress> entries;
    for (const QByteArray& text : addresses.split(';')) {
        if (text.isEmpty())
            continue;
        SessionBusAddress entry;
        entry.m_text = text;
        const qsizetype colon = text.indexOf(':');
        bool readable = colon > 0;
        const QByteArray pairs = text.mid(colon + 1);
        for (const QByteArray& pair : pairs.split(',')) {
            const qsizetype equals = pair.indexOf('=');
            if (pair.isEmpty() && pairs.isEmpty())
                break;
            readable = readable && equals > 0;
            entry.m_values.append(
                {pair.left(equals), QByteArray::fromPercentEncoding(pair.mid(equals + 1))});
        }
        if (readable)
            entry.m_transport = text.left(colon);
        entries.append(entry);
    }
    return entries;
}

QByteArray SessionBusAddress::UnixPath(const QByteArray& path) {
    return "unix:path=" + path.toPercentEncoding(Unescaped);
}

std::optional<QByteArray> SessionBusAddress::Value(QByteArrayView key) const {
    for (const auto& [name, value] : m_values) {
        if (name == key)
            return value;
    }
    return std::nullopt;
}
