#include "platform/SingleInstance.h"

#include "store/CombinationFile.h"
#include "store/TrinodeError.h"
#include "store/UserHome.h"

#include <QCryptographicHash>
#include <QFile>
#include <QPointer>
#include <QSocketNotifier>
#include <QSysInfo>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// The first thing an instance says to whoever connects: only a Trinode of
// this protocol says it, so a second start knows whom it is talking to.
constexpr QByteArrayView Greeting("trinode 1\n");
constexpr QByteArrayView ActiveAnswer("active\n");
constexpr QByteArrayView RefusedAnswer("refused ");
constexpr qsizetype MaxRequest = 4096;
// How often a start tries again while the lock's holder does not listen yet.
constexpr int ListenPollMs = 5;
// The running instance answers a summon within ActivationWaitMs; the second
// start gives it this much more, for an instance whose event loop is busy.
constexpr int AnswerMarginMs = 1000;
// After EMFILE with nothing to drop, accepting pauses this long rather than
// spinning on a listener that stays readable.
constexpr int AcceptPauseMs = 100;
constexpr int SweepIntervalMs = 250;

QString Text(const QByteArray& bytes) {
    return QFile::decodeName(bytes);
}

QString Errno(int e) {
    return QString::fromLocal8Bit(std::strerror(e));
}

// A directory that only this user can enter and write, opened: owned by us,
// neither group nor others with any right, and not a link. Not open, with
// the reason in why, otherwise.
FileDescriptor OpenPrivateDirectory(const QByteArray& path, QString* why) {
    FileDescriptor directory(
        ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (!directory.IsOpen() && (errno == ELOOP || errno == ENOTDIR)) {
        *why = QStringLiteral("%1 is not a directory").arg(Text(path));
    } else if (!directory.IsOpen() || ::fstat(directory.Get(), &st) != 0) {
        *why = QStringLiteral("%1: %2").arg(Text(path), Errno(errno));
    } else if (st.st_uid != ::getuid() || (st.st_mode & 077) != 0) {
        *why = QStringLiteral("%1 is not private (owner uid %2, mode %3)")
                   .arg(Text(path))
                   .arg(st.st_uid)
                   .arg(st.st_mode & 07777, 4, 8, QLatin1Char('0'));
    } else {
        return directory;
    }
    return {};
}

int NewSocket() {
    return ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
}

bool PeerOf(int fd, ucred* peer) {
    socklen_t length = sizeof(*peer);
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, peer, &length) == 0;
}

// Reads one line (up to its '\n') before the deadline; empty when none came.
QByteArray ReadLine(int fd, const QDeadlineTimer& deadline) {
    QByteArray line;
    while (!line.endsWith('\n') && line.size() < 1024) {
        pollfd p{fd, POLLIN, 0};
        const int r = ::poll(&p, 1, int(std::max<qint64>(0, deadline.remainingTime())));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return {};
        char buffer[256];
        const ssize_t n = ::recv(fd, buffer, sizeof(buffer), 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (n <= 0)
            return {};
        line.append(buffer, n);
    }
    return line;
}

// Every socket is non-blocking: a peer that reads nothing must not hold us.
bool SendAll(int fd, QByteArrayView bytes, const QDeadlineTimer& deadline = QDeadlineTimer(0)) {
    while (!bytes.isEmpty()) {
        const ssize_t n = ::send(fd, bytes.data(), size_t(bytes.size()), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN && !deadline.hasExpired()) {
            pollfd p{fd, POLLOUT, 0};
            ::poll(&p, 1, int(std::max<qint64>(0, deadline.remainingTime())));
            continue;
        }
        if (n <= 0)
            return false;
        bytes = bytes.sliced(n);
    }
    return true;
}

// Where the socket is kept when $XDG_RUNTIME_DIR is not usable: a folder of
// the user's own cache, made private, which no other user can make first (as
// one in /tmp). As bytes: QStandardPaths' text misnames a non-UTF-8 home.
QByteArray CacheFolder(QString* why) {
    QByteArray cache = qgetenv("XDG_CACHE_HOME");
    if (!cache.startsWith('/')) {
        const QByteArray home = UserHome::LocalPath();
        if (home.isEmpty()) {
            *why = QStringLiteral("no home folder for a cache folder");
            return {};
        }
        cache = home + "/.cache";
    }
    const QByteArray folder = cache + "/trinode";
    for (const QByteArray& path : {cache, folder}) {
        if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST) {
            *why = QStringLiteral("cannot make %1: %2").arg(Text(path), Errno(errno));
            return {};
        }
    }
    return folder;
}

struct InstanceDirectory {
    FileDescriptor directory;
    QByteArray path;
    bool inHome = false;
};

// $XDG_RUNTIME_DIR when it is private; otherwise the cache folder. Not open,
// with the reason in why, when neither is safe.
InstanceDirectory PrivateDirectory(QString* why) {
    QString runtimeWhy;
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (runtime.startsWith('/')) {
        FileDescriptor directory = OpenPrivateDirectory(runtime, &runtimeWhy);
        if (directory.IsOpen())
            return {std::move(directory), runtime, false};
    }
    QString cacheWhy;
    const QByteArray cache = CacheFolder(&cacheWhy);
    FileDescriptor directory =
        cache.isEmpty() ? FileDescriptor() : OpenPrivateDirectory(cache, &cacheWhy);
    if (!directory.IsOpen())
        *why = runtimeWhy.isEmpty() ? cacheWhy : runtimeWhy + QStringLiteral(", and ") + cacheWhy;
    return {std::move(directory), cache, true};
}

// The file's identity is the file that the store reads and replaces, however
// it is named. A path the store cannot resolve (a loop of links) is taken as
// it is: the load says what is wrong with it.
QByteArray FileIdentity(const QByteArray& path) {
    try {
        return CombinationFile::ResolvedPath(path);
    } catch (const TrinodeError&) {
        return path;
    }
}

// Machines that share a home (over NFS) share its cache folder, but not their
// instances: each one's names there are its own.
QByteArray MachineIdentity() {
    const QByteArray id = QSysInfo::machineUniqueId();
    return id.isEmpty() ? QSysInfo::machineHostName().toUtf8() : id;
}

} // namespace

SingleInstance::SingleInstance(const QString& combinationFilePath, QObject* parent)
    : QObject(parent) {
    InstanceDirectory place = PrivateDirectory(&m_unusable);
    if (!place.directory.IsOpen())
        return;
    m_directory = std::move(place.directory);
    m_directoryPath = place.path;
    QByteArray key = FileIdentity(QFile::encodeName(combinationFilePath));
    if (place.inHome)
        key.prepend(MachineIdentity() + '\n');
    m_name =
        "trinode-" + QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(32);
}

SingleInstance::~SingleInstance() {
    // While the lock is ours, so is the socket file.
    if (m_listener.IsOpen())
        ::unlinkat(m_directory.Get(), m_name + ".socket", 0);
}

QString SingleInstance::SocketPath() const {
    return m_name.isEmpty() ? QString() : Text(m_directoryPath + '/' + m_name + ".socket");
}

bool SingleInstance::FillAddress(sockaddr_un* address) const {
    *address = {};
    address->sun_family = AF_UNIX;
    QByteArray path = QFile::encodeName(SocketPath());
    if (path.size() >= qsizetype(sizeof(address->sun_path)))
        path = "/proc/self/fd/" + QByteArray::number(m_directory.Get()) + '/' + m_name + ".socket";
    if (path.size() >= qsizetype(sizeof(address->sun_path)))
        return false;
    std::memcpy(address->sun_path, path.constData(), size_t(path.size()));
    return true;
}

SingleInstance::Outcome SingleInstance::HandOverOrClaim(const RequestMaker& makeRequest,
                                                        const QDeadlineTimer& reachBy) {
    const FileDescriptor connection = ConnectToHolder(reachBy, true);
    if (Holds())
        return Outcome::Claimed;
    return connection.IsOpen() ? HandOver(connection, makeRequest, reachBy) : Outcome::Alone;
}

SingleInstance::Lock SingleInstance::TakeLock() {
    const QByteArray lockName = m_name + ".lock";
    if (!m_lock.IsOpen()) {
        m_lock.Reset(::openat(m_directory.Get(), lockName.constData(),
                              O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
        if (!m_lock.IsOpen()) {
            m_message = QStringLiteral("%1/%2: %3")
                            .arg(Text(m_directoryPath), Text(lockName), Errno(errno));
            return Lock::Failed;
        }
    }
    int r;
    do {
        r = ::flock(m_lock.Get(), LOCK_EX | LOCK_NB);
    } while (r != 0 && errno == EINTR);
    return r == 0 ? Lock::Taken : Lock::Held;
}

bool SingleInstance::HeldElsewhere() {
    if (m_name.isEmpty() || Holds())
        return false;
    const Lock lock = TakeLock();
    // Closed either way: the lock is a running instance's to take, and a
    // second open description of the file in this process would stand in
    // the way of its claim.
    m_lock.Reset();
    m_message.clear();
    return lock == Lock::Held;
}

bool SingleInstance::Claim() {
    if (m_listener.IsOpen())
        return true;
    const QByteArray socketName = m_name + ".socket";
    if (TakeLock() != Lock::Taken)
        return false; // a running instance holds it, or Message says why

    // Whatever sits at the name now is left from an instance that has ended,
    // or was put there by someone else.
    struct stat st {};
    if (::fstatat(m_directory.Get(), socketName.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        if (st.st_uid != ::getuid())
            m_message = QStringLiteral("replaced %1, which belonged to uid %2")
                            .arg(SocketPath())
                            .arg(st.st_uid);
        ::unlinkat(m_directory.Get(), socketName.constData(), 0);
    }
    sockaddr_un address;
    FileDescriptor listener(NewSocket());
    if (!FillAddress(&address) || !listener.IsOpen() ||
        ::bind(listener.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(listener.Get(), SOMAXCONN) != 0) {
        m_message = QStringLiteral("cannot listen on %1: %2").arg(SocketPath(), Errno(errno));
        ::flock(m_lock.Get(), LOCK_UN);
        return false;
    }
    m_listener = std::move(listener);
    return true;
}

SingleInstance::Outcome SingleInstance::Summon(const RequestMaker& makeRequest,
                                               const QDeadlineTimer& reachBy) {
    const FileDescriptor connection = ConnectToHolder(reachBy, false);
    return connection.IsOpen() ? HandOver(connection, makeRequest, reachBy) : Outcome::Alone;
}

SingleInstance::Outcome SingleInstance::HandOver(const FileDescriptor& connection,
                                                 const RequestMaker& makeRequest,
                                                 const QDeadlineTimer& reachBy) {
    ucred peer{};
    if (!PeerOf(connection.Get(), &peer) || peer.uid != ::getuid()) {
        m_message = QStringLiteral("%1 is held by uid %2, not by this user")
                        .arg(SocketPath())
                        .arg(peer.uid);
        return Outcome::Alone;
    }
    if (ReadLine(connection.Get(), reachBy) != Greeting) {
        m_message = QStringLiteral("the process %1 at %2 did not answer as Trinode")
                        .arg(peer.pid)
                        .arg(SocketPath());
        return Outcome::Alone;
    }
    if (!makeRequest) {
        // Closing the connection unasked leaves the instance as it is.
        m_message = QStringLiteral("Trinode already runs (process %1)").arg(peer.pid);
        return Outcome::Running;
    }
    if (!SendAll(connection.Get(), makeRequest().Serialize(), QDeadlineTimer(SendWaitMs))) {
        m_message =
            QStringLiteral("the running Trinode (process %1) closed the connection").arg(peer.pid);
        return Outcome::Refused;
    }
    const QByteArray answer =
        ReadLine(connection.Get(), QDeadlineTimer(ActivationWaitMs + AnswerMarginMs));
    if (answer == ActiveAnswer)
        return Outcome::Activated;
    m_message = answer.startsWith(RefusedAnswer)
                    ? QString::fromUtf8(answer.sliced(RefusedAnswer.size()).chopped(1))
                    : QStringLiteral("the running Trinode (process %1) did not say whether its "
                                     "window became active")
                          .arg(peer.pid);
    return Outcome::Refused;
}

FileDescriptor SingleInstance::ConnectToHolder(const QDeadlineTimer& reachBy, bool mayClaim) {
    m_message.clear();
    sockaddr_un address;
    if (m_name.isEmpty()) {
        m_message = QStringLiteral("%1; not looking for a running Trinode").arg(m_unusable);
        return {};
    }
    if (!FillAddress(&address)) {
        m_message = QStringLiteral("the instance socket's path is too long: %1").arg(SocketPath());
        return {};
    }
    for (;;) {
        // The holder may be a start that only looks (HeldElsewhere): claim once it lets go.
        if (mayClaim && (Claim() || !m_message.isEmpty()))
            return {};
        FileDescriptor connection(NewSocket());
        if (!connection.IsOpen()) {
            m_message = QStringLiteral("cannot make a socket: %1").arg(Errno(errno));
            return {};
        }
        if (::connect(connection.Get(), reinterpret_cast<const sockaddr*>(&address),
                      sizeof(address)) == 0)
            return connection;
        const int e = errno;
        // EAGAIN: its queue of connections is full, which a listener that
        // never accepts causes; that is waited out like one not yet listening.
        if ((e != ENOENT && e != ECONNREFUSED && e != EAGAIN && e != EINTR) ||
            reachBy.hasExpired()) {
            m_message = QStringLiteral("a Trinode holds %1 but cannot be reached: %2")
                            .arg(SocketPath(), Errno(e));
            return {};
        }
        // The instance that holds the lock is about to listen.
        ::poll(nullptr, 0, ListenPollMs);
    }
}

void SingleInstance::Listen(SummonHandler onSummon) {
    m_onSummon = std::move(onSummon);
    if (!m_listener.IsOpen() || m_notifier)
        return;
    m_notifier = new QSocketNotifier(m_listener.Get(), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &SingleInstance::Accept);
    m_sweep = new QTimer(this);
    m_sweep->setInterval(SweepIntervalMs);
    connect(m_sweep, &QTimer::timeout, this, &SingleInstance::DropExpired);
}

void SingleInstance::Accept() {
    for (;;) {
        FileDescriptor fd(
            ::accept4(m_listener.Get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
        if (!fd.IsOpen()) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if ((errno == EMFILE || errno == ENFILE) && DropOldestIdle())
                continue;
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                // Nothing to give back: the listener stays readable, so wait
                // rather than spin on it.
                m_notifier->setEnabled(false);
                QTimer::singleShot(AcceptPauseMs, this, [this]() { m_notifier->setEnabled(true); });
            }
            return;
        }
        // Another user's connection, one too many, or one that takes no
        // greeting is closed as it came.
        ucred peer{};
        if (!PeerOf(fd.Get(), &peer) || peer.uid != ::getuid() ||
            (int(m_connections.size()) >= MaxConnections && !DropOldestIdle()) ||
            !SendAll(fd.Get(), Greeting))
            continue;
        Connection c;
        c.id = m_nextId++;
        c.deadline = QDeadlineTimer(RequestDeadlineMs);
        c.notifier = new QSocketNotifier(fd.Get(), QSocketNotifier::Read, this);
        c.fd = std::move(fd);
        connect(c.notifier, &QSocketNotifier::activated, this, [this, id = c.id]() { Read(id); });
        m_connections.push_back(std::move(c));
        if (!m_sweep->isActive())
            m_sweep->start();
    }
}

SingleInstance::Connection* SingleInstance::Find(quint64 id) {
    const auto it = std::find_if(m_connections.begin(), m_connections.end(),
                                 [id](const Connection& c) { return c.id == id; });
    return it == m_connections.end() ? nullptr : &*it;
}

void SingleInstance::Read(quint64 id) {
    Connection* c = Find(id);
    if (!c)
        return;
    char buffer[1024];
    const ssize_t n = ::recv(c->fd.Get(), buffer, sizeof(buffer), 0);
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (n <= 0) {
        Drop(id);
        return;
    }
    c->received.append(buffer, n);
    if (c->received.size() > MaxRequest) {
        Drop(id);
        return;
    }
    if (c->received != "\n" && !c->received.endsWith("\n\n"))
        return;
    const std::optional<SummonRequest> request = SummonRequest::Parse(c->received);
    if (!request) {
        Drop(id);
        return;
    }
    c->answering = true;
    c->notifier->setEnabled(false);
    QPointer<SingleInstance> self(this);
    auto answer = [self, id](Answer a) {
        if (!self)
            return;
        if (Connection* c = self->Find(id)) {
            QByteArray line = a.active ? ActiveAnswer.toByteArray()
                                       : RefusedAnswer.toByteArray() +
                                             a.message.toUtf8().replace('\n', ' ') + '\n';
            SendAll(c->fd.Get(), line);
        }
        self->Drop(id);
    };
    if (m_onSummon)
        m_onSummon(*request, answer);
    else
        answer({false, QStringLiteral("the running Trinode is not ready")});
}

void SingleInstance::Drop(quint64 id) {
    const auto it = std::find_if(m_connections.begin(), m_connections.end(),
                                 [id](const Connection& c) { return c.id == id; });
    if (it == m_connections.end())
        return;
    it->notifier->setEnabled(false);
    it->notifier->deleteLater();
    m_connections.erase(it);
    if (m_connections.empty() && m_sweep)
        m_sweep->stop();
}

bool SingleInstance::DropOldestIdle() {
    const auto it = std::find_if(m_connections.begin(), m_connections.end(),
                                 [](const Connection& c) { return !c.answering; });
    if (it == m_connections.end())
        return false;
    Drop(it->id);
    return true;
}

void SingleInstance::DropExpired() {
    std::vector<quint64> expired;
    for (const Connection& c : m_connections) {
        if (!c.answering && c.deadline.hasExpired())
            expired.push_back(c.id);
    }
    for (const quint64 id : expired)
        Drop(id);
}
