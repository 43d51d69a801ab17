#pragma once

// Helpers shared by the tests: a home of the test's own, and driving modal
// windows the way a person would.
//
// Every modal window that opens during a test must be taken by a handler the
// test set up (a ModalWatcher, or a ModalHandler of its own). The ModalGuard
// that the test program installs fails the test at once on any other, naming
// its caption and text, and closes it, so that an unplanned box never blocks
// a run. A handler acts only when its window is exposed, active and painted:
// a window that is merely visible may not take focus or paint yet.

#include "store/AssignProgress.h"
#include "store/Combination.h"
#include "store/FileDescriptor.h"

#include <QBasicTimer>
#include <QDeadlineTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <list>
#include <optional>
#include <ostream>

#include <sys/stat.h>

// A window the test made, handed to the main window as the one it makes
// when it first needs it.
template <class Window> std::function<Window*()> Given(Window& window) {
    return [&window] { return &window; };
}

class QImage;
class QWidget;

// Sets an environment variable (unsets it, given nothing) while it lives, and
// puts the old value back afterwards. Given no value at all, only restores.
class ScopedVariable final {
public:
    explicit ScopedVariable(const char* name);
    ScopedVariable(const char* name, const std::optional<QByteArray>& value);
    ~ScopedVariable();
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* m_name;
    std::optional<QByteArray> m_old;
};

// A temporary directory that stands in for the user's home while it lives:
// HOME points at it (XDG_CONFIG_HOME and XDG_RUNTIME_DIR at private
// directories beside it), and it is removed afterwards.
class TemporaryHome final {
public:
    TemporaryHome();

    QString Path() const { return m_dir.path(); }
    QString FilePath(const QString& name) const { return m_dir.filePath(name); }
    QString CombinationFile() const { return FilePath(QStringLiteral("TrinodeRun.cmb")); }

private:
    QTemporaryDir m_dir;
    QTemporaryDir m_runtime;
    QTemporaryDir m_config;
    ScopedVariable m_home;
    ScopedVariable m_runtimeVariable;
    ScopedVariable m_configVariable;
};

// Watches every window that the test program shows; one lives in main().
class ModalGuard final : public QObject {
public:
    ModalGuard();
    ~ModalGuard() override;

private:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// While it lives, may take the modal windows that open (newest handler asked
// first) and acts on each one it took once that window is ready for input.
class ModalHandler : public QObject {
public:
    ModalHandler();
    ~ModalHandler() override;

    // Whether this handler takes a modal window that has just been shown.
    virtual bool Takes(QWidget* window) = 0;
    void Track(QWidget* window);

protected:
    virtual void Handle(QWidget* window) = 0;

private:
    void timerEvent(QTimerEvent*) override;
    struct Waiting {
        QPointer<QWidget> window;
        QDeadlineTimer deadline;
    };
    QList<Waiting> m_waiting;
    QBasicTimer m_timer;
};

// While it lives, runs action once on the next modal window that opens, from
// inside that window's own event loop.
class ModalWatcher final : public ModalHandler {
public:
    explicit ModalWatcher(std::function<void(QWidget*)> action);
    bool Seen() const { return m_seen; }
    bool Takes(QWidget* window) override;

private:
    void Handle(QWidget* window) override;
    std::function<void(QWidget*)> m_action;
    bool m_taken = false;
    bool m_seen = false;
};

// Whether the window is exposed, active and painted: ready for input.
bool ReadyForInput(QWidget* window);

// Gives the widget the keyboard focus and waits until it has it; false when it
// never comes.
[[nodiscard]] bool FocusOn(QWidget* widget);

// A whole file's bytes, and a whole file written (failing the test when they
// cannot be).
QByteArray ReadAll(const QString& path);
void WriteAll(const QString& path, const QByteArray& bytes);

// The text of the error box that the action raises, or an empty text when none
// opened; the box is closed with OK.
QString ErrorBoxTextOf(const std::function<void()>& action);
// The message of the error that action raises, or "no error".
QString ErrorOf(const std::function<void()>& action);

// The sockets' values as the main window shows them, in their hints.
Combination ShownSockets(const QWidget& form);

// The colours of two images of the same size differ by this much on average
// per channel (0 to 255).
double MeanDifference(const QImage& a, const QImage& b);

// --- The store's file ----------------------------------------------------

// A record as it lies in the file, spelled out apart from the store's builder:
// the length byte, then every field right-justified in its width.
QByteArray SpelledRecord(const QByteArray& s1, const QByteArray& s2, const QByteArray& s3,
                         const QByteArray& info, const QByteArray& path, char length = char(175));

// A path's lstat (the link itself, not what it names), failing the test when
// there is none.
struct stat StatOf(const QString& path);

// Everything an assignment tells its observer, in order, as text.
class RecordingProgress final : public AssignProgress {
public:
    void Stage(const QString& text) override { events << text; }
    void Position(int position) override { events << QString::number(position); }
    QStringList events;
};

// --- Processes and the environment ----------------------------------------

// A uid and gid that no account, group or process uses: "another user" for a
// test that runs as root. 0 when there is none.
uid_t UnusedId();

// Readable failures: texts print as text, not as arrays of UTF-16 units.
void PrintTo(const QString& text, std::ostream* out);

// A temporary tree, "{root}" in a text, that stands in for the desktop's
// folders while it lives: XDG_DATA_HOME, XDG_CONFIG_HOME, XDG_CACHE_HOME,
// XDG_DATA_DIRS and XDG_CONFIG_DIRS at its data, config, cache, data-dirs and
// config-dirs, local files only for GIO, and a session bus at {root}/bus
// that nothing answers unless a test listens there.
class TemporaryDesktop final {
public:
    TemporaryDesktop();
    QString Rooted(QString text) const { return text.replace("{root}", m_root.path()); }
    // Sets the variable to the rooted value while the tree lives.
    void Set(const char* name, const QString& value);
    // Writes the file at the name in the tree, its folders made, the content
    // rooted; executable by its owner when asked.
    void Write(const QString& name, const QByteArray& content, bool executable = false) const;

private:
    QTemporaryDir m_root;
    std::list<ScopedVariable> m_variables;
};

// A Unix socket bound at path ("@name": at an abstract name) and listening,
// or none with the test failed.
FileDescriptor ListenAt(const QByteArray& path, int backlog = 16);
// A connection to the Unix socket at path, or none when refused.
FileDescriptor ConnectTo(const QByteArray& path);

// The real trinode (TRINODE_BIN) on the offscreen platform, in the current
// environment with HOME set to home when one is given, started under the
// wrapper program when one is given; killed when it goes.
class TrinodeProcess final {
public:
    explicit TrinodeProcess(const QString& home = {}, const QStringList& wrapper = {},
                            const QString& workingDirectory = {});
    ~TrinodeProcess();
    QProcess& Process() { return m_process; }
    // Waits until standard error holds the text, or the process ends.
    bool SaysOnStandardError(const QString& text);
    QString StandardError() const { return m_stderr; }

private:
    QProcess m_process;
    QString m_stderr;
};

// Asks the instance that serves the file to come to the front: whether it
// answered. Its answer comes from its running event loop, so by then start-up
// has loaded or created the file.
bool Summoned(const QString& combinationFile);
// Asks again until it answers (true) or 20 s have passed.
bool WaitUntilSummoned(const QString& combinationFile);

// A child process whose standard output is read line by line; run as another
// user (through setpriv) when given one, and killed when it goes.
class LineChild {
public:
    LineChild(const QString& program, const QStringList& arguments, uid_t asUser = 0);
    ~LineChild();
    LineChild(const LineChild&) = delete;
    LineChild& operator=(const LineChild&) = delete;

    // Reads lines until one equals line (true) or the child ends (false).
    bool WaitFor(const QString& line);
    // Lets a child that stopped itself go on, once it has really stopped:
    // a SIGCONT that came before its SIGSTOP would be lost.
    void Continue();
    void Kill();
    // QProcess learns of the end only when asked to wait.
    bool Running();
    // The lines up to the end.
    QStringList Finish();
    int ExitCode() const { return m_process.exitCode(); }

private:
    QProcess m_process;
    QStringList m_lines;
};
