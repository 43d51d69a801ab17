#pragma once

#include <QString>
#include <QStringList>

// Observer of an assignment: stage texts and a position counting up from 0.
// It is called on the thread that assigns, with no events processed in
// between, so whatever it shows it must paint itself, before it returns.
// While the store waits for a lock that another program holds, it calls
// Waiting between its tries: there the caller may keep its window answering.
class AssignProgress {
public:
    virtual ~AssignProgress() = default;
    virtual void Stage(const QString& text) = 0;
    virtual void Position(int position) = 0;
    virtual void Waiting() {}
};

// For callers that show nothing.
class NoProgress final : public AssignProgress {
public:
    void Stage(const QString&) override {}
    void Position(int) override {}
};

// The observer of an assignment whose save may start over: the caller's
// hears each stage and position once, however often the save starts, and
// every wait for the lock.
class TellingOnce final : public AssignProgress {
public:
    explicit TellingOnce(AssignProgress& caller) : m_caller(caller) {}
    void Stage(const QString& text) override;
    void Position(int position) override;
    void Waiting() override { m_caller.Waiting(); }

private:
    AssignProgress& m_caller;
    QStringList m_stages;
    int m_position = -1;
};
