#include "platform/SessionBusConnection.h"

#include "platform/ChildSignals.h"
#include "platform/SessionBusAddress.h"

#include <QByteArrayList>
#include <QFile>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <future>
#include <thread>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Reached = SessionBusConnection::Reached;

constexpr qsizetype NonceSize = 16;
// A Unix socket whose queue of connections is full turns a non-blocking
// connect away until a connection is taken; tried again this often.
constexpr int FullQueuePauseMs = 10;

int Remaining(const QDeadlineTimer& deadline) {
    return int(std::max<qint64>(deadline.remainingTime(), 0));
}

// Waits for events on fd until the deadline: the events that came, or 0.
short PollFor(int fd, short events, const QDeadlineTimer& deadline) {
    pollfd p{fd, events, 0};
    for (;;) {
        const int ready = ::poll(&p, 1, Remaining(deadline));
        if (ready < 0 && errno == EINTR)
            continue;
        return ready > 0 ? p.revents : 0;
    }
}

// Connects a non-blocking socket: a connection that is neither taken nor
// refused before the deadline is silence.
Reached Connect(int fd, const sockaddr* address, socklen_t length, const QDeadlineTimer& deadline) {
    while (::connect(fd, address, length) != 0) {
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN && !deadline.hasExpired()) {
            ::poll(nullptr, 0, std::min(FullQueuePauseMs, Remaining(deadline)));
            continue;
        }
        if (errno == EAGAIN)
            return Reached::Silent;
        if (errno != EINPROGRESS)
            return Reached::Refused;
        if (PollFor(fd, POLLOUT, deadline) == 0)
            return Reached::Silent;
        int error = 0;
        socklen_t size = sizeof error;
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size);
        return error == 0 ? Reached::Connected : Reached::Refused;
    }
    return Reached::Connected;
}

struct Endpoint {
    sockaddr_storage address{};
    socklen_t length = 0;
    int family = AF_UNSPEC;
};

// The addresses a host name stands for. A lookup can wait on a name server
// for long: it runs on a thread of its own, left to end by itself when the
// deadline comes first (nothing: the bus cannot be reached in time).
std::optional<std::vector<Endpoint>> Resolve(const QByteArray& host, const QByteArray& port,
                                             int family, const QDeadlineTimer& deadline) {
    std::promise<std::vector<Endpoint>> promise;
    std::future<std::vector<Endpoint>> found = promise.get_future();
    std::thread([host, port, family, promise = std::move(promise)]() mutable {
        addrinfo hints{};
        hints.ai_family = family;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* list = nullptr;
        std::vector<Endpoint> endpoints;
        if (::getaddrinfo(host.constData(), port.constData(), &hints, &list) == 0) {
            for (const addrinfo* a = list; a; a = a->ai_next) {
                Endpoint e;
                std::memcpy(&e.address, a->ai_addr, a->ai_addrlen);
                e.length = a->ai_addrlen;
                e.family = a->ai_family;
                endpoints.push_back(e);
            }
            ::freeaddrinfo(list);
        }
        promise.set_value(std::move(endpoints));
    }).detach();
    if (found.wait_for(std::chrono::milliseconds(Remaining(deadline))) != std::future_status::ready)
        return std::nullopt;
    return found.get();
}

// The nonce a nonce-tcp bus expects first: the first bytes of its file, a
// regular file only (a named pipe would hold us). Empty when there is none.
QByteArray ReadNonce(const QByteArray& path) {
    const FileDescriptor file(::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat status {};
    if (!file.IsOpen() || ::fstat(file.Get(), &status) != 0 || !S_ISREG(status.st_mode))
        return {};
    QByteArray nonce(NonceSize, '\0');
    const ssize_t n = ::read(file.Get(), nonce.data(), size_t(NonceSize));
    return n == NonceSize ? nonce : QByteArray();
}

// The program, with the socket as its standard input and output and the
// default signal state. Only calls that are safe between fork and exec, here
// and in its keeper, whose own fork is _Fork: it runs no handlers of the
// libraries in this copy of a threaded process.
[[noreturn]] void RunProgram(int socket, const char* program, char* const* argv) {
    if (::dup2(socket, STDIN_FILENO) < 0 || ::dup2(socket, STDOUT_FILENO) < 0)
        ::_exit(127);
    ChildSignals::Reset();
    ::execv(program, argv);
    ::_exit(127);
}

// In the child: the keeper of a process group of its own, in which it starts
// the program. Trinode ends the group when the check is over; should Trinode
// end first (even killed), the keeper is told and ends the group itself, so
// that neither the program nor anything it started outlives Trinode.
[[noreturn]] void KeepProgram(int socket, pid_t parent, const char* program, char* const* argv) {
    // Without a group of its own, ending its group would end Trinode's.
    if (::setpgid(0, 0) != 0)
        ::_exit(127);
    struct sigaction ending {};
    ending.sa_handler = [](int) { ::kill(0, SIGKILL); };
    ::sigaction(SIGTERM, &ending, nullptr);
    sigset_t terminate;
    ::sigemptyset(&terminate);
    ::sigaddset(&terminate, SIGTERM);
    ::sigprocmask(SIG_UNBLOCK, &terminate, nullptr);
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent)
        ::kill(0, SIGKILL);
    if (::_Fork() == 0)
        RunProgram(socket, program, argv);
    ::close(socket);
    for (;;)
        ::pause();
}

} // namespace

SessionBusConnection::SessionBusConnection(const SessionBusAddress& address,
                                           const QDeadlineTimer& deadline) {
    const QByteArray& transport = address.Transport();
    if (transport == "unix")
        m_state = ConnectUnix(address, deadline);
    else if (transport == "tcp" || transport == "nonce-tcp")
        m_state = ConnectTcp(address, deadline);
    else if (transport == "unixexec")
        m_state = StartProgram(address);
    else if (transport.isEmpty())
        m_state = Reached::Refused;
    else
        m_state = Reached::Unchecked;
}

SessionBusConnection::~SessionBusConnection() {
    m_socket.Reset();
    if (m_program <= 0)
        return;
    // The keeper's group, or the keeper alone should the group never have
    // been made: either way the wait below ends.
    if (::kill(-m_program, SIGKILL) != 0)
        ::kill(m_program, SIGKILL);
    while (::waitpid(m_program, nullptr, 0) < 0 && errno == EINTR) {
    }
}

SessionBusConnection::Reached SessionBusConnection::ConnectUnix(const SessionBusAddress& address,
                                                                const QDeadlineTimer& deadline) {
    const std::optional<QByteArray> path = address.Value("path");
    const std::optional<QByteArray> abstract = address.Value("abstract");
    // Other keys (dir, tmpdir, runtime) name places to listen, not to connect.
    if (path.has_value() == abstract.has_value())
        return Reached::Refused;
    const QByteArray name = path ? *path : *abstract;
    sockaddr_un local{};
    local.sun_family = AF_UNIX;
    const std::size_t offset = abstract ? 1 : 0;
    if (name.isEmpty() || offset + std::size_t(name.size()) >= sizeof local.sun_path)
        return Reached::Refused;
    std::memcpy(local.sun_path + offset, name.constData(), std::size_t(name.size()));
    const auto length =
        socklen_t(offsetof(sockaddr_un, sun_path) + offset + name.size() + (abstract ? 0 : 1));
    m_socket.Reset(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!m_socket.IsOpen())
        return Reached::Refused;
    return Connect(m_socket.Get(), reinterpret_cast<const sockaddr*>(&local), length, deadline);
}

SessionBusConnection::Reached SessionBusConnection::ConnectTcp(const SessionBusAddress& address,
                                                               const QDeadlineTimer& deadline) {
    const QByteArray host = address.Value("host").value_or("localhost");
    const std::optional<QByteArray> port = address.Value("port");
    const std::optional<QByteArray> family = address.Value("family");
    if (address.Transport() == "nonce-tcp") {
        m_nonce = ReadNonce(address.Value("noncefile").value_or(QByteArray()));
        if (m_nonce.isEmpty())
            return Reached::Refused;
    }
    if (!port || (family && *family != "ipv4" && *family != "ipv6"))
        return Reached::Refused;
    const int kind = !family ? AF_UNSPEC : *family == "ipv4" ? AF_INET : AF_INET6;
    const std::optional<std::vector<Endpoint>> endpoints = Resolve(host, *port, kind, deadline);
    if (!endpoints)
        return Reached::Silent;
    // Each address of the host in turn, as the libraries try them.
    Reached reached = Reached::Refused;
    for (const Endpoint& e : *endpoints) {
        m_socket.Reset(::socket(e.family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
        if (!m_socket.IsOpen())
            continue;
        reached = Connect(m_socket.Get(), reinterpret_cast<const sockaddr*>(&e.address), e.length,
                          deadline);
        if (reached != Reached::Refused)
            return reached;
    }
    return reached;
}

SessionBusConnection::Reached SessionBusConnection::StartProgram(const SessionBusAddress& address) {
    const std::optional<QByteArray> path = address.Value("path");
    if (!path || path->isEmpty())
        return Reached::Refused;
    // The libraries look a bare name up in PATH.
    const QByteArray program =
        path->contains('/')
            ? *path
            : QFile::encodeName(QStandardPaths::findExecutable(QFile::decodeName(*path)));
    if (program.isEmpty())
        return Reached::Refused;
    QByteArrayList arguments{address.Value("argv0").value_or(*path)};
    for (int i = 1;; ++i) {
        const std::optional<QByteArray> argument = address.Value("argv" + QByteArray::number(i));
        if (!argument)
            break;
        arguments.append(*argument);
    }
    std::vector<char*> argv;
    for (QByteArray& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0)
        return Reached::Silent;
    m_socket.Reset(ends[0]);
    const FileDescriptor theirs(ends[1]);
    const pid_t parent = ::getpid();
    const pid_t child = ::fork();
    if (child == 0)
        KeepProgram(theirs.Get(), parent, program.constData(), argv.data());
    if (child < 0)
        return Reached::Silent;
    // Made here as well as in the child, so that the group exists whichever
    // runs first; the child's own call is the one that counts.
    ::setpgid(child, child);
    m_program = child;
    return Reached::Connected;
}

bool SessionBusConnection::Answers(const QDeadlineTimer& deadline) {
    static constexpr char Knock[] = "\0AUTH\r\n";
    const QByteArray knock = m_nonce + QByteArray(Knock, sizeof Knock - 1);
    if (::send(m_socket.Get(), knock.constData(), size_t(knock.size()), MSG_NOSIGNAL) < 0)
        return true;
    return PollFor(m_socket.Get(), POLLIN, deadline) != 0;
}
