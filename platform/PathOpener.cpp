#include "platform/PathOpener.h"

#include "platform/OpenPath.h"
#include "platform/Settings.h"
#include "store/TrinodeError.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

// What the open's thread and the opener share. The opener may be gone, or
// may have given up, long before the thread ends.
struct PathOpener::Job {
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    // Who hears the outcome; nobody once the opener gave up or was destroyed.
    PathOpener* receiver = nullptr;
    std::atomic<OpenWait> waiting{OpenWait::FileSystem};
};

namespace {

// How long the end of the program waits for an open that is still going.
constexpr std::chrono::seconds BusyOpenAtExit(1);

QString NoAnswerText(OpenWait waiting, int seconds) {
    switch (waiting) {
    case OpenWait::FileSystem:
        return QStringLiteral("The file system did not answer within %1 seconds").arg(seconds);
    case OpenWait::Desktop:
        return QStringLiteral("The desktop session did not answer within %1 seconds").arg(seconds);
    case OpenWait::Program:
        return QStringLiteral("The program did not start within %1 seconds").arg(seconds);
    }
    return QString();
}

} // namespace

PathOpener::PathOpener(QObject* parent)
    : QObject(parent), m_waitSeconds(Settings::OpenWaitSeconds()) {
    m_deadline.setSingleShot(true);
    m_deadline.setInterval(std::chrono::seconds(m_waitSeconds));
    connect(&m_deadline, &QTimer::timeout, this, &PathOpener::GiveUp);
}

PathOpener::~PathOpener() {
    if (!m_job)
        return;
    std::unique_lock lock(m_job->mutex);
    m_job->receiver = nullptr;
    // An open that is merely busy (the user pressed Exit right after Run)
    // ends in moments, before the process tears down what it uses; one that
    // waits on an answer that does not come must not hold up the exit.
    m_job->ended.wait_for(lock, BusyOpenAtExit, [this] { return m_job->done; });
}

bool PathOpener::Open(const QByteArray& text) {
    if (Pending())
        return false;
    auto job = std::make_shared<Job>();
    job->receiver = this;
    std::thread([job, text] {
        std::exception_ptr failure;
        try {
            OpenPath(text, job->waiting);
        } catch (...) {
            failure = std::current_exception();
        }
        const std::lock_guard lock(job->mutex);
        job->done = true;
        // Posted while the receiver cannot go away (its destructor takes the
        // lock); a receiver destroyed later drops the posted call with it.
        if (PathOpener* receiver = job->receiver)
            QMetaObject::invokeMethod(
                receiver, [receiver, job, failure] { receiver->End(job, failure); },
                Qt::QueuedConnection);
        job->ended.notify_all();
    }).detach();
    m_job = std::move(job);
    m_deadline.start();
    return true;
}

void PathOpener::End(const std::shared_ptr<Job>& job, std::exception_ptr failure) {
    // An outcome posted just before the opener gave up on it is not news.
    if (job != m_job)
        return;
    m_deadline.stop();
    m_job.reset();
    Q_EMIT Finished(failure);
}

void PathOpener::GiveUp() {
    if (!m_job)
        return;
    const OpenWait waiting = m_job->waiting.load();
    Abandon();
    Q_EMIT Finished(std::make_exception_ptr(TrinodeError(NoAnswerText(waiting, m_waitSeconds))));
}

void PathOpener::Abandon() {
    {
        const std::lock_guard lock(m_job->mutex);
        m_job->receiver = nullptr;
    }
    m_job.reset();
}
