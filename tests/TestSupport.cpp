#include "tests/TestSupport.h"

#include "store/TrinodeError.h"

#include "platform/SingleInstance.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <QWindow>

#include <cstddef>
#include <cstring>
#include <memory>
#include <vector>

#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Generous: the tests run under sanitizers on a machine that is busy.
constexpr int ReadyTimeoutMs = 30000;

const char* const PaintedProperty = "trinodeTestPainted";

std::vector<ModalHandler*>& Handlers() {
    static std::vector<ModalHandler*> handlers;
    return handlers;
}

// The caption and the texts that a window shows, for a failure message.
QString Describe(QWidget* window) {
    QString text =
        QStringLiteral("\"%1\" (%2)").arg(window->windowTitle(), window->metaObject()->className());
    if (auto* box = qobject_cast<QMessageBox*>(window)) {
        text += QStringLiteral(": \"%1\"").arg(box->text());
        if (!box->informativeText().isEmpty())
            text += QStringLiteral(" \"%1\"").arg(box->informativeText());
        return text;
    }
    const QList<QLabel*> labels = window->findChildren<QLabel*>();
    for (QLabel* label : labels)
        if (label->isVisible() && !label->text().isEmpty())
            text += QStringLiteral(" \"%1\"").arg(label->text());
    return text;
}

// Closes the window from its own event loop, so that the call that opened it
// returns and the test goes on to its end.
void CloseModal(QWidget* window) {
    QMetaObject::invokeMethod(
        window,
        [window] {
            if (auto* dialog = qobject_cast<QDialog*>(window))
                dialog->done(QDialog::Rejected);
            else
                window->close();
        },
        Qt::QueuedConnection);
}

} // namespace

TemporaryHome::TemporaryHome()
    : m_home("HOME", QFile::encodeName(m_dir.path())),
      // A temporary directory is made private (0700).
      m_runtimeVariable("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path())),
      // Trinode's settings beside the home (whose entries tests count), saying
      // that the first start's offer of the desktop's applications was made.
      m_configVariable("XDG_CONFIG_HOME", QFile::encodeName(m_config.path())) {
    QDir().mkpath(m_config.filePath(QStringLiteral("trinode")));
    WriteAll(m_config.filePath(QStringLiteral("trinode/trinode.conf")),
             "[General]\nStarterBindingsOffered=true\n");
}

ModalGuard::ModalGuard() {
    qApp->installEventFilter(this);
}

ModalGuard::~ModalGuard() {
    qApp->removeEventFilter(this);
}

bool ModalGuard::eventFilter(QObject* watched, QEvent* event) {
    if (!watched->isWidgetType())
        return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (event->type() == QEvent::Paint && widget->isWindow()) {
        widget->setProperty(PaintedProperty, true);
    } else if (event->type() == QEvent::Show && widget->isWindow() && widget->isModal()) {
        widget->setProperty(PaintedProperty, false);
        const std::vector<ModalHandler*>& handlers = Handlers();
        for (auto handler = handlers.rbegin(); handler != handlers.rend(); ++handler) {
            if ((*handler)->Takes(widget)) {
                (*handler)->Track(widget);
                return false;
            }
        }
        ADD_FAILURE() << "A modal window opened that the test did not expect: "
                      << Describe(widget).toStdString();
        CloseModal(widget);
    }
    return false;
}

ModalHandler::ModalHandler() {
    Handlers().push_back(this);
}

ModalHandler::~ModalHandler() {
    std::erase(Handlers(), this);
}

void ModalHandler::Track(QWidget* window) {
    m_waiting.append({window, QDeadlineTimer(ReadyTimeoutMs)});
    if (!m_timer.isActive())
        m_timer.start(5, this);
}

// Polls from inside the modal window's own event loop, which is the only loop
// that runs while it is open.
void ModalHandler::timerEvent(QTimerEvent*) {
    for (qsizetype i = 0; i < m_waiting.size(); ++i) {
        const Waiting waiting = m_waiting[i];
        QWidget* window = waiting.window;
        if (window && !ReadyForInput(window) && !waiting.deadline.hasExpired())
            continue;
        m_waiting.removeAt(i);
        if (m_waiting.isEmpty())
            m_timer.stop();
        if (!window)
            return;
        if (ReadyForInput(window)) {
            Handle(window);
        } else {
            ADD_FAILURE() << "A modal window never became exposed, active and painted: "
                          << Describe(window).toStdString();
            CloseModal(window);
        }
        return;
    }
}

ModalWatcher::ModalWatcher(std::function<void(QWidget*)> action) : m_action(std::move(action)) {}

bool ModalWatcher::Takes(QWidget*) {
    if (m_taken)
        return false;
    m_taken = true;
    return true;
}

void ModalWatcher::Handle(QWidget* window) {
    m_seen = true;
    m_action(window);
}

bool ReadyForInput(QWidget* window) {
    return window && window->isVisible() && window->windowHandle() &&
           window->windowHandle()->isExposed() && QApplication::activeWindow() == window &&
           window->property(PaintedProperty).toBool();
}

bool FocusOn(QWidget* widget) {
    widget->setFocus(Qt::OtherFocusReason);
    return QTest::qWaitFor([widget] { return QApplication::focusWidget() == widget; },
                           ReadyTimeoutMs);
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QString ErrorOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const TrinodeError& e) {
        return e.Message();
    }
    return QStringLiteral("no error");
}

QString ErrorBoxTextOf(const std::function<void()>& action) {
    auto text = std::make_shared<QString>();
    ModalWatcher watcher([text](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            *text = box->text();
            box->accept();
        }
    });
    action();
    return *text;
}

QByteArray SpelledRecord(const QByteArray& s1, const QByteArray& s2, const QByteArray& s3,
                         const QByteArray& info, const QByteArray& path, char length) {
    return length + s1.rightJustified(15) + s2.rightJustified(15) + s3.rightJustified(15) +
           info.rightJustified(30) + path.rightJustified(100);
}

struct stat StatOf(const QString& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(QFile::encodeName(path).constData(), &st), 0) << path.toStdString();
    return st;
}

void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

ScopedVariable::ScopedVariable(const char* name) : m_name(name) {
    if (qEnvironmentVariableIsSet(name))
        m_old = qgetenv(name);
}

ScopedVariable::ScopedVariable(const char* name, const std::optional<QByteArray>& value)
    : ScopedVariable(name) {
    if (value)
        qputenv(name, *value);
    else
        qunsetenv(name);
}

ScopedVariable::~ScopedVariable() {
    if (m_old)
        qputenv(m_name, *m_old);
    else
        qunsetenv(m_name);
}

TemporaryDesktop::TemporaryDesktop() {
    for (const char* folder : {"data", "config", "cache", "data-dirs", "config-dirs"})
        QDir(m_root.path()).mkpath(QLatin1String(folder));
    Set("XDG_DATA_HOME", "{root}/data");
    Set("XDG_CONFIG_HOME", "{root}/config");
    Set("XDG_CACHE_HOME", "{root}/cache");
    Set("XDG_DATA_DIRS", "{root}/data-dirs");
    Set("XDG_CONFIG_DIRS", "{root}/config-dirs");
    // No remote file systems: GIO spawns handlers itself.
    Set("GIO_USE_VFS", "local");
    Set("DBUS_SESSION_BUS_ADDRESS", "unix:path={root}/bus");
}

void TemporaryDesktop::Set(const char* name, const QString& value) {
    m_variables.emplace_back(name, QFile::encodeName(Rooted(value)));
}

void TemporaryDesktop::Write(const QString& name, const QByteArray& content,
                             bool executable) const {
    const QString path = m_root.filePath(name);
    QDir().mkpath(QFileInfo(path).path());
    WriteAll(path, QByteArray(content).replace("{root}", QFile::encodeName(m_root.path())));
    if (executable)
        QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner);
}

FileDescriptor ListenAt(const QByteArray& path, int backlog) {
    FileDescriptor fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    EXPECT_LT(size_t(path.size()), sizeof address.sun_path) << path.toStdString();
    std::memcpy(address.sun_path, path.constData(),
                std::min(size_t(path.size()), sizeof address.sun_path - 1));
    // "@name": the abstract name, which is its bytes after a null one.
    const bool abstract = path.startsWith('@');
    address.sun_path[0] = abstract ? '\0' : address.sun_path[0];
    const auto length = abstract ? socklen_t(offsetof(sockaddr_un, sun_path) + path.size())
                                 : socklen_t(sizeof address);
    if (!fd.IsOpen() || ::bind(fd.Get(), reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(fd.Get(), backlog) != 0) {
        ADD_FAILURE() << "cannot listen at " << path.toStdString() << ": " << std::strerror(errno);
        return {};
    }
    return fd;
}

FileDescriptor ConnectTo(const QByteArray& path) {
    FileDescriptor fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(),
                std::min(size_t(path.size()), sizeof address.sun_path - 1));
    if (fd.IsOpen() &&
        ::connect(fd.Get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0)
        return fd;
    return {};
}

TrinodeProcess::TrinodeProcess(const QString& home, const QStringList& wrapper,
                               const QString& workingDirectory) {
    const QString bin = QString::fromLocal8Bit(qgetenv("TRINODE_BIN"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!home.isEmpty())
        env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    m_process.setProcessEnvironment(env);
    m_process.setReadChannel(QProcess::StandardError);
    if (!workingDirectory.isEmpty())
        m_process.setWorkingDirectory(workingDirectory);
    if (wrapper.isEmpty())
        m_process.start(bin, {});
    else
        m_process.start(wrapper.first(), wrapper.mid(1) + QStringList{bin});
    EXPECT_TRUE(m_process.waitForStarted()) << m_process.errorString().toStdString();
}

TrinodeProcess::~TrinodeProcess() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

bool TrinodeProcess::SaysOnStandardError(const QString& text) {
    QDeadlineTimer deadline(20000);
    while (!m_stderr.contains(text) && !deadline.hasExpired() &&
           m_process.state() == QProcess::Running) {
        m_process.waitForReadyRead(int(deadline.remainingTime()));
        m_stderr += QString::fromLocal8Bit(m_process.readAllStandardError());
    }
    return m_stderr.contains(text);
}

bool Summoned(const QString& combinationFile) {
    SingleInstance probe(combinationFile);
    return probe.Summon([]() { return SummonRequest{}; }) == SingleInstance::Outcome::Activated;
}

bool WaitUntilSummoned(const QString& combinationFile) {
    QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()) {
        if (Summoned(combinationFile))
            return true;
        // Start-up goes on meanwhile: the instance claims its name first and
        // answers once its event loop runs.
        ::poll(nullptr, 0, 20);
    }
    return false;
}

LineChild::LineChild(const QString& program, const QStringList& arguments, uid_t asUser) {
    if (asUser != 0) {
        const QString id = QString::number(asUser);
        m_process.start(QStringLiteral("setpriv"),
                        QStringList{"--reuid", id, "--regid", id, "--clear-groups", program} +
                            arguments);
    } else {
        m_process.start(program, arguments);
    }
    if (!m_process.waitForStarted())
        ADD_FAILURE() << "child did not start: " << m_process.errorString().toStdString();
}

LineChild::~LineChild() {
    if (m_process.state() != QProcess::NotRunning)
        Kill();
}

bool LineChild::WaitFor(const QString& line) {
    const QDeadlineTimer deadline(60000);
    for (;;) {
        while (m_process.canReadLine()) {
            m_lines << QString::fromUtf8(m_process.readLine()).trimmed();
            if (m_lines.last() == line)
                return true;
        }
        if (m_process.state() == QProcess::NotRunning && !m_process.canReadLine())
            return false;
        if (deadline.hasExpired()) {
            ADD_FAILURE() << "child hangs after " << m_lines.size() << " lines";
            return false;
        }
        m_process.waitForReadyRead(100);
    }
}

void LineChild::Continue() {
    siginfo_t info{};
    ::waitid(P_PID, id_t(m_process.processId()), &info, WSTOPPED | WNOWAIT);
    ::kill(pid_t(m_process.processId()), SIGCONT);
}

void LineChild::Kill() {
    m_process.kill();
    m_process.waitForFinished();
}

bool LineChild::Running() {
    return !m_process.waitForFinished(0) && m_process.state() != QProcess::NotRunning;
}

QStringList LineChild::Finish() {
    WaitFor(QString());
    m_process.waitForFinished();
    return m_lines;
}

double MeanDifference(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int column = 0; column < x.width(); ++column) {
            const QRgb p = x.pixel(column, row);
            const QRgb q = y.pixel(column, row);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                   std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * x.width() * x.height());
}

uid_t UnusedId() {
    for (uid_t id = 61000; id < 65000; ++id) {
        if (::getpwuid(id) || ::getgrgid(gid_t(id)))
            continue;
        struct stat st {};
        bool running = false;
        for (const QString& pid : QDir("/proc").entryList(QDir::Dirs)) {
            if (::stat(QFile::encodeName("/proc/" + pid).constData(), &st) == 0 && st.st_uid == id)
                running = true;
        }
        if (!running)
            return id;
    }
    return 0;
}

Combination ShownSockets(const QWidget& form) {
    Combination shown;
    for (int n = 1; n <= 3; ++n) {
        const QString hint =
            form.findChild<QWidget*>(QStringLiteral("EmptySocket%1").arg(n))->toolTip();
        shown[n - 1] = hint == QLatin1String("Empty Socket") ? QString() : hint;
    }
    return shown;
}
