#pragma once

// One attempt to reach the session bus at one address, made the way the
// D-Bus libraries make it, but never waiting past a deadline: a Unix socket
// by path or abstract name, TCP (and TCP with a nonce) by host, port and
// family, or a program started on a socket pair (unixexec). The program is
// started so that neither it nor anything it starts can outlive Trinode, and
// they end, and are reaped, when the attempt goes.
//
// Then a knock: the protocol's opening null byte and a request that every bus
// answers at once with the ways it accepts to authenticate someone, without
// authenticating anyone.

#include "store/FileDescriptor.h"

#include <QByteArray>
#include <QDeadlineTimer>

#include <sys/types.h>

class SessionBusAddress;

class SessionBusConnection final {
public:
    enum class Reached {
        Refused,   // failed at once, as it fails for the libraries: they go on to the next
        Connected, // it took the connection
        Silent,    // neither took nor refused it before the deadline
        Unchecked, // of a kind that cannot be tried without acting on it (autolaunch:)
    };

    SessionBusConnection(const SessionBusAddress& address, const QDeadlineTimer& deadline);
    ~SessionBusConnection();
    SessionBusConnection(const SessionBusConnection&) = delete;
    SessionBusConnection& operator=(const SessionBusConnection&) = delete;

    Reached State() const { return m_state; }
    // Knocks on a connected bus: true unless it said nothing at all, not even
    // goodbye, before the deadline. A bus that hangs up is for the libraries
    // to find out, at once.
    bool Answers(const QDeadlineTimer& deadline);

private:
    Reached ConnectUnix(const SessionBusAddress& address, const QDeadlineTimer& deadline);
    Reached ConnectTcp(const SessionBusAddress& address, const QDeadlineTimer& deadline);
    Reached StartProgram(const SessionBusAddress& address);

    FileDescriptor m_socket;
    QByteArray m_nonce; // what a nonce-tcp bus must read before anything else
    pid_t m_program = -1;
    Reached m_state = Reached::Refused;
};
