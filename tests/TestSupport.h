#pragma once

// Helpers shared by the tests: a home of the test's own, and driving modal
// windows the way a person would.

#include <QBasicTimer>
#include <QObject>
#include <QString>
#include <QTemporaryDir>

#include <functional>

class QWidget;

// A temporary directory that stands in for the user's home while it lives:
// HOME points at it (and XDG_RUNTIME_DIR at a private directory beside it),
// and it is removed afterwards.
class TemporaryHome final {
public:
    TemporaryHome();
    ~TemporaryHome();
    TemporaryHome(const TemporaryHome&) = delete;
    TemporaryHome& operator=(const TemporaryHome&) = delete;

    QString Path() const { return m_dir.path(); }
    QString FilePath(const QString& name) const { return m_dir.filePath(name); }
    QString CombinationFile() const { return FilePath(QStringLiteral("TrinodeRun.cmb")); }

private:
    QTemporaryDir m_dir;
    QTemporaryDir m_runtime;
    QByteArray m_previousHome;
    QByteArray m_previousRuntime;
};

// While it lives, runs action once on the next modal window that opens, from
// inside that window's own event loop.
class ModalWatcher final : public QObject {
public:
    explicit ModalWatcher(std::function<void(QWidget*)> action);
    bool Seen() const { return m_seen; }

private:
    void timerEvent(QTimerEvent*) override;
    std::function<void(QWidget*)> m_action;
    QBasicTimer m_timer;
    bool m_seen = false;
};

// A whole file's bytes, and a whole file written (failing the test when they
// cannot be).
QByteArray ReadAll(const QString& path);
void WriteAll(const QString& path, const QByteArray& bytes);

// The text of the error box that the action raises, or an empty text when none
// opened; the box is closed with OK.
QString ErrorBoxTextOf(const std::function<void()>& action);
