#pragma once

// One Trinode per user and combination file. A second start finds the first
// through a socket file named after the file's real identity, hands over what
// it was started with (SummonRequest) and leaves with the first one's answer;
// so no second process keeps a stale table and writes over the first one's
// work.
//
// Only the user can reach the socket: it lives in $XDG_RUNTIME_DIR, or in a
// folder of the user's own cache (${XDG_CACHE_HOME:-~/.cache}/trinode, which
// no other user can make first, as they could a name in /tmp), and a
// directory that anyone else could enter or write to is refused. The
// directory is held open and the socket reached through it, so that a
// runtime directory whose path leaves no room in a socket address still
// works. A lock held for the running instance's life says which instance
// owns the name, so a crashed one leaves nothing that blocks the next start.
// A second start hands over only to a server of the same uid that greets it
// as Trinode; anything else, and it runs on its own and says why.
//
// Hand-written rather than QLocalServer: QLocalServer cannot check the
// peer's uid, refuse a directory others can write, or bound how long an idle
// client is kept; and one QLocalSocket connection attempt cost a bare Qt Core
// process 6.3 ms more (14.8 ms against 8.5 ms, median of 60 starts).
//
// Qt Core only: a second start uses it before any GUI exists.

#include "platform/SummonRequest.h"
#include "store/FileDescriptor.h"

#include <QDeadlineTimer>
#include <QObject>
#include <QString>

#include <functional>
#include <vector>

class QSocketNotifier;
class QTimer;
struct sockaddr_un;

class SingleInstance final : public QObject {
public:
    // What a second start learnt from the running instance.
    enum class Outcome {
        Claimed,   // no instance ran: this one now holds the name
        Activated, // the running instance's window became the active one
        Refused,   // the running instance answered, its window did not become active
        Alone,     // nothing usable answered: run on our own (Message says why)
        Running,   // a Trinode answered and was asked nothing (Message names it)
    };

    // The answer a listener sends back for a summon.
    struct Answer {
        bool active = false;
        QString message; // why not, when not active
    };
    using SummonHandler = std::function<void(const SummonRequest&, std::function<void(Answer)>)>;
    // Makes what a summon hands over. An empty one only asks whether a
    // Trinode runs, and leaves it as it is (--background).
    using RequestMaker = std::function<SummonRequest()>;

    explicit SingleInstance(const QString& combinationFilePath, QObject* parent = nullptr);
    ~SingleInstance() override;
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // The socket's path; empty when no private directory exists. The file's
    // identity is the store's resolution of its path: every link followed,
    // and its folder given without links.
    QString SocketPath() const;

    // Hands over to a running instance or claims the name. makeRequest runs
    // only once a genuine instance has greeted us, so that what it costs
    // (an X server round trip) is paid only by a summon. Reaching the
    // instance, until it listens and greets, ends by reachBy: a start shares
    // one such wait between its front and its GUI part.
    Outcome HandOverOrClaim(const RequestMaker& makeRequest,
                            const QDeadlineTimer& reachBy = QDeadlineTimer(ReachWaitMs));
    // The hand-over alone, once the name is found held: Alone when no
    // instance answers there.
    Outcome Summon(const RequestMaker& makeRequest,
                   const QDeadlineTimer& reachBy = QDeadlineTimer(ReachWaitMs));
    // Whether another process holds the name (a running Trinode, or one about
    // to listen), found without claiming it: a start that only hands over
    // looks first, and never waits for a listener that nobody is.
    bool HeldElsewhere();
    // Why the last hand-over ended as it did (for Refused and Alone), or a
    // note about what was found (a foreign socket that was replaced).
    const QString& Message() const { return m_message; }
    bool Holds() const { return m_listener.IsOpen(); }

    // Answers later starts; the handler answers each summon through its
    // callback, within ActivationWaitMs.
    void Listen(SummonHandler onSummon);

    // How long a start waits for the running instance to listen and greet
    // it (a user who pressed a key waits no longer for a busy one before a
    // window of its own shows), and for its answer to a summon.
    static constexpr int ReachWaitMs = 1000;
    static constexpr int SendWaitMs = 1000;
    static constexpr int ActivationWaitMs = 1000;
    // A connection that has not sent its whole request by then is dropped;
    // beyond MaxConnections the oldest idle one makes room.
    static constexpr int RequestDeadlineMs = 2000;
    static constexpr int MaxConnections = 16;

private:
    struct Connection {
        FileDescriptor fd;
        QSocketNotifier* notifier = nullptr;
        QDeadlineTimer deadline;
        QByteArray received;
        bool answering = false;
        quint64 id = 0;
    };

    enum class Lock { Taken, Held, Failed };
    // Takes the name's lock unless a running instance holds it; Failed, with
    // the reason in Message(), when the lock file cannot be opened.
    Lock TakeLock();
    bool Claim();
    // A connection to the instance that holds the name, made once it listens
    // and before reachBy; not open, with the reason in Message(), when none
    // could be made, or when mayClaim and the name came free and is now ours.
    FileDescriptor ConnectToHolder(const QDeadlineTimer& reachBy, bool mayClaim);
    Outcome HandOver(const FileDescriptor& connection, const RequestMaker& makeRequest,
                     const QDeadlineTimer& reachBy);
    // The socket's address: its path, or, where that does not fit in an
    // address, the socket reached through the open directory.
    bool FillAddress(sockaddr_un* address) const;
    void Accept();
    void Read(quint64 id);
    void Drop(quint64 id);
    bool DropOldestIdle();
    void DropExpired();
    Connection* Find(quint64 id);

    FileDescriptor m_directory;
    QByteArray m_directoryPath;
    QByteArray m_name;  // of the socket and the lock, without their endings
    QString m_unusable; // why no directory could hold the socket
    QString m_message;
    FileDescriptor m_lock;
    FileDescriptor m_listener;
    QSocketNotifier* m_notifier = nullptr;
    QTimer* m_sweep = nullptr;
    SummonHandler m_onSummon;
    std::vector<Connection> m_connections;
    quint64 m_nextId = 1;
};
