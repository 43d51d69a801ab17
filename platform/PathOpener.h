#pragma once

// Opens paths (see OpenPath) without ever holding up the event loop.
//
// The desktop may take its time or never answer at all: GIO waits without end
// on a session bus that accepts a connection and then says nothing, and the
// file system may hang on a path. So each open runs on a thread of its own and
// its outcome comes back through the event loop. An open that has not ended
// after WaitSeconds() ends for the user with a message naming what did not
// answer; should the answer come later after all, the thing may still open,
// but nothing more is said. GIO's own asynchronous calls would not do: the
// checks before them (the path's status, a launcher's text) can hang on a
// file system as well, and on a thread OpenPath stays one plain sequence of
// the decisions it documents.
//
// One open at a time: while one is pending, another is refused. The user has
// not yet been told how the first one ended, a desktop that is merely slow
// would otherwise open the same thing twice once it catches up, and a desktop
// that never answers would keep one more thread waiting for every press. The
// wait is bounded, so a refused press costs at most that long.

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <exception>
#include <memory>

class PathOpener final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PathOpener)
public:
    // The wait comes from Trinode's settings (Settings::OpenWaitSeconds).
    explicit PathOpener(QObject* parent = nullptr);
    // Does not wait for an open that does not answer: its thread is left to
    // end with the process, and its outcome goes nowhere.
    ~PathOpener() override;

    // Starts opening the text given as the bytes stored; false, doing
    // nothing, while an earlier open is pending.
    bool Open(const QByteArray& text);
    bool Pending() const { return m_job != nullptr; }
    int WaitSeconds() const { return m_waitSeconds; }

Q_SIGNALS:
    // The open has ended: no failure when it succeeded, otherwise the error
    // (OpenPath's, or the one that names what did not answer in time).
    void Finished(std::exception_ptr failure);

private:
    struct Job;
    void End(const std::shared_ptr<Job>& job, std::exception_ptr failure);
    void GiveUp();
    void Abandon();

    const int m_waitSeconds;
    std::shared_ptr<Job> m_job;
    QTimer m_deadline;
};
