#pragma once

// One Trinode per user and combination file. A second start finds the first
// through a local socket named after the user and the file's full path, asks
// it to come to the front and leaves; so no second process can keep a stale
// table and write over the first one's work.
//
// The socket lives in Linux's abstract namespace: it needs no file, vanishes
// with the process that holds it, and a crash leaves nothing stale behind.
// Only requests from the same user are heard.

#include <QObject>
#include <QString>

#include <functional>

class QSocketNotifier;

class SingleInstance final : public QObject {
public:
    explicit SingleInstance(const QString& combinationFilePath, QObject* parent = nullptr);
    ~SingleInstance() override;
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    static QString ServerName(const QString& combinationFilePath);

    // True when another instance holds the name: it has been asked to come to
    // the front. Otherwise this instance now holds the name.
    bool HandOverOrClaim();

    // True when an instance holds the name and has been asked to come to the
    // front; claims nothing.
    bool SignalRunningInstance();
    // After a successful signal: the instance answered that it came to the
    // front.
    bool Answered() const { return m_answered; }

    // Answers later starts; onActivate runs for each of them.
    void Listen(std::function<void()> onActivate);

private:
    bool Claim();
    void Accept();

    QByteArray m_address;
    int m_listener = -1;
    QSocketNotifier* m_notifier = nullptr;
    std::function<void()> m_onActivate;
    bool m_answered = false;
};
