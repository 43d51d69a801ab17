#include "platform/SummonRequest.h"

#include <QList>

namespace {

constexpr QByteArrayView StartupKey("startup-id ");
constexpr QByteArrayView TokenKey("activation-token ");
constexpr QByteArrayView TimeKey("x11-time ");
// Ids and tokens are short printable texts; anything else is not passed on.
constexpr qsizetype MaxValue = 512;

QByteArray Printable(const QByteArray& value) {
    if (value.size() > MaxValue)
        return {};
    for (const char c : value) {
        if (c <= ' ' || c > '~')
            return {};
    }
    return value;
}

} // namespace

SummonRequest SummonRequest::FromEnvironment() {
    SummonRequest r;
    r.startupId = Printable(qgetenv("DESKTOP_STARTUP_ID"));
    r.activationToken = Printable(qgetenv("XDG_ACTIVATION_TOKEN"));
    return r;
}

quint32 SummonRequest::StartupTime() const {
    const qsizetype at = startupId.lastIndexOf("_TIME");
    if (at < 0)
        return 0;
    bool ok = false;
    const quint32 t = startupId.mid(at + 5).toUInt(&ok);
    return ok ? t : 0;
}

QByteArray SummonRequest::Serialize() const {
    QByteArray out;
    if (!startupId.isEmpty())
        out += StartupKey.toByteArray() + startupId + '\n';
    if (!activationToken.isEmpty())
        out += TokenKey.toByteArray() + activationToken + '\n';
    if (x11Time != 0)
        out += TimeKey.toByteArray() + QByteArray::number(x11Time) + '\n';
    return out + '\n';
}

std::optional<SummonRequest> SummonRequest::Parse(QByteArrayView bytes) {
    if (!bytes.endsWith("\n\n") && bytes != QByteArrayView("\n"))
        return std::nullopt;
    SummonRequest r;
    const QList<QByteArray> lines = bytes.chopped(1).toByteArray().split('\n');
    for (const QByteArray& line : lines) {
        if (line.isEmpty())
            continue;
        if (line.startsWith(StartupKey)) {
            r.startupId = Printable(line.mid(StartupKey.size()));
        } else if (line.startsWith(TokenKey)) {
            r.activationToken = Printable(line.mid(TokenKey.size()));
        } else if (line.startsWith(TimeKey)) {
            bool ok = false;
            r.x11Time = line.mid(TimeKey.size()).toUInt(&ok);
            if (!ok)
                return std::nullopt;
        } else {
            return std::nullopt;
        }
    }
    return r;
}
