#pragma once

// One Trinode per user and combination file. A second start finds the first
// through a local socket named after the user and the file's full path, asks
// it to come to the front and leaves; so no second process can keep a stale
// table and write over the first one's work.

#include <QObject>
#include <QString>

#include <functional>

class QLocalServer;

class SingleInstance final : public QObject {
public:
    explicit SingleInstance(const QString& combinationFilePath, QObject* parent = nullptr);

    static QString ServerName(const QString& combinationFilePath);

    // True when another instance answers; it has been asked to come to the
    // front.
    bool SignalRunningInstance();
    // After SignalRunningInstance: the instance answered that it came to the
    // front.
    bool Answered() const { return m_answered; }

    // Starts answering later starts; onActivate runs for each of them.
    void Listen(std::function<void()> onActivate);

private:
    QString m_name;
    QLocalServer* m_server = nullptr;
    bool m_answered = false;
};
