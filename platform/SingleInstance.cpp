#include "platform/SingleInstance.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QSocketNotifier>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

constexpr QByteArrayView RaiseRequest("raise\n");
// Sent back once the running instance has handled the request, so that the
// caller knows its event loop is running.
constexpr QByteArrayView RaisedAnswer("raised\n");
constexpr int AnswerWaitMs = 1000;
constexpr int ClaimAttempts = 5;

struct Address {
    sockaddr_un address{};
    socklen_t length = 0;
};

// An abstract address: a NUL byte, then the name, with no terminator.
Address AbstractAddress(const QByteArray& name) {
    Address a;
    a.address.sun_family = AF_UNIX;
    const size_t n = std::min<size_t>(name.size(), sizeof(a.address.sun_path) - 1);
    std::memcpy(a.address.sun_path + 1, name.constData(), n);
    a.length = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + n);
    return a;
}

int NewSocket() {
    return ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
}

bool WaitFor(int fd, short events, int timeoutMs) {
    pollfd p{fd, events, 0};
    int r;
    do {
        r = ::poll(&p, 1, timeoutMs);
    } while (r < 0 && errno == EINTR);
    return r > 0 && (p.revents & events);
}

bool SameUser(int fd) {
    ucred peer{};
    socklen_t length = sizeof(peer);
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) == 0 && peer.uid == ::getuid();
}

} // namespace

SingleInstance::SingleInstance(const QString& combinationFilePath, QObject* parent)
    : QObject(parent), m_address(ServerName(combinationFilePath).toUtf8()) {}

SingleInstance::~SingleInstance() {
    if (m_listener >= 0)
        ::close(m_listener);
}

QString SingleInstance::ServerName(const QString& combinationFilePath) {
    const QString full = QFileInfo(combinationFilePath).absoluteFilePath();
    const QByteArray hash =
        QCryptographicHash::hash(full.toUtf8(), QCryptographicHash::Sha256).toHex().left(24);
    return QStringLiteral("trinode-%1-%2").arg(::getuid()).arg(QString::fromLatin1(hash));
}

bool SingleInstance::HandOverOrClaim() {
    // Two starts at the same moment: one claims the name, the other finds it
    // taken and so finds the first.
    for (int attempt = 0; attempt < ClaimAttempts; ++attempt) {
        if (SignalRunningInstance())
            return true;
        if (Claim())
            return false;
    }
    // Neither answered nor claimable: run rather than refuse to start.
    return false;
}

bool SingleInstance::SignalRunningInstance() {
    const int fd = NewSocket();
    if (fd < 0)
        return false;
    const Address a = AbstractAddress(m_address);
    const bool connected =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&a.address), a.length) == 0;
    if (connected) {
        ::send(fd, RaiseRequest.data(), RaiseRequest.size(), MSG_NOSIGNAL);
        char answer[16] = {};
        m_answered = WaitFor(fd, POLLIN, AnswerWaitMs) &&
                     ::recv(fd, answer, sizeof(answer) - 1, 0) == ssize_t(RaisedAnswer.size()) &&
                     RaisedAnswer == QByteArrayView(answer);
    }
    ::close(fd);
    return connected;
}

bool SingleInstance::Claim() {
    if (m_listener >= 0)
        return true;
    const int fd = NewSocket();
    if (fd < 0)
        return false;
    const Address a = AbstractAddress(m_address);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&a.address), a.length) != 0 ||
        ::listen(fd, 8) != 0) {
        ::close(fd);
        return false;
    }
    m_listener = fd;
    return true;
}

void SingleInstance::Listen(std::function<void()> onActivate) {
    m_onActivate = std::move(onActivate);
    if (!Claim() || m_notifier)
        return;
    m_notifier = new QSocketNotifier(m_listener, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SingleInstance::Accept);
}

void SingleInstance::Accept() {
    const int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (client < 0)
        return;
    if (!SameUser(client)) {
        ::close(client);
        return;
    }
    // The request follows the connection at once; a caller that sends nothing
    // is dropped when it goes quiet.
    auto* reader = new QSocketNotifier(client, QSocketNotifier::Read, this);
    connect(reader, &QSocketNotifier::activated, this, [this, reader, client]() {
        char request[16] = {};
        const ssize_t n = ::recv(client, request, sizeof(request) - 1, 0);
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        reader->setEnabled(false);
        reader->deleteLater();
        if (n == ssize_t(RaiseRequest.size()) && RaiseRequest == QByteArrayView(request)) {
            if (m_onActivate)
                m_onActivate();
            ::send(client, RaisedAnswer.data(), RaisedAnswer.size(), MSG_NOSIGNAL);
        }
        ::close(client);
    });
}
