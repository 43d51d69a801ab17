#include "platform/OpenPath.h"

#include "platform/ApplicationFolders.h"
#include "platform/ChildSignals.h"
#include "platform/GioLibrary.h"
#include "platform/SessionBus.h"
#include "store/FileDescriptor.h"
#include "store/TrinodeError.h"

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QUrl>

#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Where the open running on this thread notes what it waits on (see
// OpenWait); nowhere when the caller does not ask.
thread_local std::atomic<OpenWait>* t_waiting = nullptr;
std::atomic<int> g_running{0};

void NoteWait(OpenWait wait) {
    if (t_waiting)
        t_waiting->store(wait);
}

[[noreturn]] void Fail(const QString& message) {
    throw TrinodeError(message);
}

[[noreturn]] void FailWith(GError* error) {
    const GOwned<GError> owned(error);
    Fail(QString::fromUtf8(error->message));
}

QString SystemText(int errorNumber) {
    return QString::fromLocal8Bit(std::strerror(errorNumber));
}

bool HasUrlScheme(const QString& text) {
    // RFC 3986 scheme syntax, but at least two characters: a drive letter is
    // a path, not a URL.
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    return scheme.match(text).hasMatch();
}

// A launch context whose environment has lost what only Trinode needed; every
// program GIO starts for us gets it.
GOwned<GAppLaunchContext> CleanLaunchContext() {
    GOwned<GAppLaunchContext> context(Gio().app_launch_context_new());
    const QStringList names = QProcessEnvironment::systemEnvironment().keys();
    for (const QString& name : names) {
        if (IsTrinodeOnlyVariable(name))
            Gio().app_launch_context_unsetenv(context.get(), QFile::encodeName(name).constData());
    }
    return context;
}

QProcessEnvironment CleanEnvironment() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QStringList names = environment.keys();
    for (const QString& name : names) {
        if (IsTrinodeOnlyVariable(name))
            environment.remove(name);
    }
    return environment;
}

void ResetSignals(gpointer) {
    ChildSignals::Reset();
}

// Starts an application with the URIs given (none: nullptr), in the clean
// environment, its program with the default signal state. Only a desktop
// entry's launch takes a step in the child; any other kind of application
// is started as GIO starts it.
bool Launch(GAppInfo* application, GList* uris, GError** error) {
    const GOwned<GAppLaunchContext> context = CleanLaunchContext();
    if (!Gio().type_check_instance_is_a(reinterpret_cast<GTypeInstance*>(application),
                                        Gio().desktop_app_info_get_type()))
        return Gio().app_info_launch_uris(application, uris, context.get(), error);
    return Gio().desktop_app_info_launch_uris_as_manager(
        reinterpret_cast<GDesktopAppInfo*>(application), uris, context.get(), G_SPAWN_SEARCH_PATH,
        &ResetSignals, nullptr, nullptr, nullptr, error);
}

// The default application for a URI, found as GIO's own launch for a URI
// finds it: the handler of its scheme, else its file's default handler.

// GIO walks every applications folder before it looks up a default
// application or reads a launcher, and that walk never ends where a link
// leads back into a folder (GLib 2.74): the folders are walked here first, by
// a walk that ends. Empty when GIO may go ahead.
QString FoldersObstacle() {
    NoteWait(OpenWait::FileSystem);
    return ApplicationFolders::Walk().Obstacle();
}

GError* TryLaunchDefaultForUri(const QByteArray& uri) {
    const QString obstacle = FoldersObstacle();
    if (!obstacle.isEmpty())
        Fail(obstacle + QStringLiteral(", so no default application can be looked up"));
    NoteWait(OpenWait::Desktop);
    GError* error = nullptr;
    const GText scheme(g_uri_parse_scheme(uri.constData()));
    GOwned<GAppInfo> handler(scheme && scheme.get()[0] != '\0'
                                 ? Gio().app_info_get_default_for_uri_scheme(scheme.get())
                                 : nullptr);
    if (!handler) {
        const GOwned<GFile> file(Gio().file_new_for_uri(uri.constData()));
        handler.reset(Gio().file_query_default_handler(file.get(), nullptr, &error));
    }
    if (!handler)
        return error;
    GList uris{};
    uris.data = const_cast<char*>(uri.constData());
    Launch(handler.get(), &uris, &error);
    return error;
}

void LaunchDefaultForUri(const QByteArray& uri) {
    if (GError* error = TryLaunchDefaultForUri(uri))
        FailWith(error);
}

// With no handler for a URL's scheme GIO falls back to asking the URL's file
// system, which for an unknown scheme only answers "Operation not supported";
// the user is told what is really missing.
void LaunchDefaultForUrl(const QByteArray& uri) {
    GError* error = TryLaunchDefaultForUri(uri);
    if (!error)
        return;
    const GText scheme(g_uri_parse_scheme(uri.constData()));
    const GOwned<GAppInfo> handler(scheme ? Gio().app_info_get_default_for_uri_scheme(scheme.get())
                                          : nullptr);
    if (g_error_matches(error, Gio().io_error_quark(), G_IO_ERROR_NOT_SUPPORTED) && !handler) {
        g_error_free(error);
        Fail(QStringLiteral("No application is registered as handling this URL"));
    }
    FailWith(error);
}

// A URL as typed may hold spaces or other characters that a URI must escape;
// the handler is given its encoded form, still one argument.
QByteArray UriOfUrlText(const QString& text) {
    const QUrl url(text, QUrl::TolerantMode);
    return url.isValid() ? url.toEncoded() : text.toUtf8();
}

void LaunchDefaultForFile(const QByteArray& localPath) {
    const GOwned<GFile> file(Gio().file_new_for_path(localPath.constData()));
    const GText uri(Gio().file_get_uri(file.get()));
    LaunchDefaultForUri(QByteArray(uri.get()));
}

[[noreturn]] void FailMissingProgram(const QString& program) {
    // A bare name was looked for in PATH; a path names the file itself, which
    // may exist but not be executable.
    int errorNumber = ENOENT;
    const QByteArray local = QFile::encodeName(program);
    struct stat status {};
    if (program.contains(QLatin1Char('/')) && ::stat(local.constData(), &status) == 0 &&
        S_ISDIR(status.st_mode))
        errorNumber = EISDIR; // a folder has the execute bit, but is no program
    else if (program.contains(QLatin1Char('/')) && ::access(local.constData(), X_OK) != 0)
        errorNumber = errno;
    Fail(QStringLiteral("%1: %2").arg(program, SystemText(errorNumber)));
}

bool ProgramExists(const char* program) {
    const GText found(g_find_program_in_path(program));
    return found != nullptr;
}

// GIO refuses an application launcher without saying why; the reasons it
// checks are the program named by TryExec, and the program and quoting of Exec.
[[noreturn]] void FailUnlaunchable(GKeyFile* keys) {
    const GText tryExec(g_key_file_get_string(keys, G_KEY_FILE_DESKTOP_GROUP,
                                              G_KEY_FILE_DESKTOP_KEY_TRY_EXEC, nullptr));
    if (tryExec && tryExec.get()[0] != '\0' && !ProgramExists(tryExec.get()))
        FailMissingProgram(QFile::decodeName(tryExec.get()));

    GError* error = nullptr;
    const GText exec(
        g_key_file_get_string(keys, G_KEY_FILE_DESKTOP_GROUP, G_KEY_FILE_DESKTOP_KEY_EXEC, &error));
    if (!exec)
        FailWith(error);
    gchar** parsed = nullptr;
    if (!g_shell_parse_argv(exec.get(), nullptr, &parsed, &error))
        FailWith(error);
    const GOwned<gchar*> argv(parsed);
    if (!ProgramExists(argv.get()[0]))
        FailMissingProgram(QFile::decodeName(argv.get()[0]));
    Fail(QStringLiteral("The launcher cannot be started"));
}

// Where GIO cannot read a launcher (see FoldersObstacle), GIO still starts its
// program from the launcher's own Exec line, with its name and the terminal
// and start-up notice it asks for; it starts in Trinode's folder, since only
// GIO's reading knows the launcher's Path.
GOwned<GAppInfo> ProgramOfLauncher(GKeyFile* keys) {
    GError* error = nullptr;
    const GText exec(
        g_key_file_get_string(keys, G_KEY_FILE_DESKTOP_GROUP, G_KEY_FILE_DESKTOP_KEY_EXEC, &error));
    if (!exec)
        FailWith(error);
    gchar** parsed = nullptr;
    if (!g_shell_parse_argv(exec.get(), nullptr, &parsed, &error))
        FailWith(error);
    const GOwned<gchar*> argv(parsed);
    const GText tryExec(g_key_file_get_string(keys, G_KEY_FILE_DESKTOP_GROUP,
                                              G_KEY_FILE_DESKTOP_KEY_TRY_EXEC, nullptr));
    if ((tryExec && tryExec.get()[0] != '\0' && !ProgramExists(tryExec.get())) ||
        !ProgramExists(argv.get()[0]))
        FailUnlaunchable(keys);
    const GText name(g_key_file_get_locale_string(keys, G_KEY_FILE_DESKTOP_GROUP,
                                                  G_KEY_FILE_DESKTOP_KEY_NAME, nullptr, nullptr));
    int flags = G_APP_INFO_CREATE_NONE;
    if (g_key_file_get_boolean(keys, G_KEY_FILE_DESKTOP_GROUP, G_KEY_FILE_DESKTOP_KEY_TERMINAL,
                               nullptr))
        flags |= G_APP_INFO_CREATE_NEEDS_TERMINAL;
    if (g_key_file_get_boolean(keys, G_KEY_FILE_DESKTOP_GROUP,
                               G_KEY_FILE_DESKTOP_KEY_STARTUP_NOTIFY, nullptr))
        flags |= G_APP_INFO_CREATE_SUPPORTS_STARTUP_NOTIFICATION;
    GOwned<GAppInfo> program(Gio().app_info_create_from_commandline(
        exec.get(), name.get(), GAppInfoCreateFlags(flags), &error));
    if (!program)
        FailWith(error);
    return program;
}

GOwned<GAppInfo> ApplicationOfLauncher(const QByteArray& localPath, GKeyFile* keys) {
    if (!FoldersObstacle().isEmpty())
        return ProgramOfLauncher(keys);
    // Loaded from the file rather than from the parsed keys so that %k and the
    // application's identity refer to the launcher itself.
    GDesktopAppInfo* application = Gio().desktop_app_info_new_from_filename(localPath.constData());
    if (!application)
        FailUnlaunchable(keys);
    return GOwned<GAppInfo>(reinterpret_cast<GAppInfo*>(application));
}

// A link launcher names what to open in its URL key; a plain path there is a
// local file.
QByteArray UriOfLinkTarget(const QByteArray& target) {
    if (!target.startsWith('/'))
        return target;
    const GOwned<GFile> file(Gio().file_new_for_path(target.constData()));
    const GText uri(Gio().file_get_uri(file.get()));
    return QByteArray(uri.get());
}

void OpenLauncher(const QByteArray& localPath) {
    const GOwned<GKeyFile> keys(g_key_file_new());
    GError* error = nullptr;
    if (!g_key_file_load_from_file(keys.get(), localPath.constData(), G_KEY_FILE_NONE, &error))
        FailWith(error);
    const GText type(g_key_file_get_string(keys.get(), G_KEY_FILE_DESKTOP_GROUP,
                                           G_KEY_FILE_DESKTOP_KEY_TYPE, &error));
    if (!type)
        FailWith(error);

    if (std::strcmp(type.get(), G_KEY_FILE_DESKTOP_TYPE_LINK) == 0) {
        const GText url(g_key_file_get_string(keys.get(), G_KEY_FILE_DESKTOP_GROUP,
                                              G_KEY_FILE_DESKTOP_KEY_URL, &error));
        if (!url)
            FailWith(error);
        LaunchDefaultForUrl(UriOfLinkTarget(QByteArray(url.get())));
        return;
    }
    if (std::strcmp(type.get(), G_KEY_FILE_DESKTOP_TYPE_APPLICATION) != 0)
        Fail(QStringLiteral("A launcher of type \u201c%1\u201d cannot be opened")
                 .arg(QString::fromUtf8(type.get())));

    const GOwned<GAppInfo> application = ApplicationOfLauncher(localPath, keys.get());
    NoteWait(OpenWait::Desktop);
    if (!Launch(reinterpret_cast<GAppInfo*>(application.get()), nullptr, &error))
        FailWith(error);
}

// A program started by the bytes of its name: no arguments, no shell (a
// file that is no program the system knows stays unstarted), the clean
// environment. It starts in Trinode's own folder, the home folder (see
// UserHome::EnterHome), as every program the desktop starts for Trinode
// does. Forked twice, so that the program is nobody's child here and is never
// waited for; the system's answer to the start comes back through a pipe
// that closes as the program starts. Between fork and start only calls that
// are safe in a copy of a threaded process are made: the second fork is
// _Fork, which runs no handlers of the libraries, and the program gets the
// default signal state.
void StartProgram(const QByteArray& path) {
    NoteWait(OpenWait::Program);
    const QProcessEnvironment environment = CleanEnvironment();
    QList<QByteArray> variables;
    for (const QString& name : environment.keys())
        variables << QFile::encodeName(name) + '=' + QFile::encodeName(environment.value(name));
    std::vector<char*> envp;
    for (QByteArray& variable : variables)
        envp.push_back(variable.data());
    envp.push_back(nullptr);
    QByteArray program = path;
    char* argv[] = {program.data(), nullptr};

    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        Fail(SystemText(errno));
    const FileDescriptor reading(ends[0]);
    FileDescriptor writing(ends[1]);
    const pid_t middle = ::fork();
    if (middle < 0)
        Fail(SystemText(errno));
    if (middle == 0) {
        ::setsid();
        const pid_t started = ::_Fork();
        if (started > 0)
            ::_exit(0);
        if (started == 0) {
            ChildSignals::Reset();
            ::execve(program.constData(), argv, envp.data());
        }
        // The start, or the second fork, failed.
        const int failure = errno;
        [[maybe_unused]] const ssize_t told = ::write(writing.Get(), &failure, sizeof failure);
        ::_exit(127);
    }
    writing.Reset();
    while (::waitpid(middle, nullptr, 0) < 0 && errno == EINTR) {
    }
    int failure = 0;
    ssize_t n;
    do {
        n = ::read(reading.Get(), &failure, sizeof failure);
    } while (n < 0 && errno == EINTR);
    if (n == sizeof failure)
        Fail(SystemText(failure));
}

// Relative texts are joined to the current directory without any cleaning of
// "." or "..", so that symbolic links resolve as the kernel resolves them.
QByteArray AbsolutePathOf(const QByteArray& text) {
    if (text.startsWith('/'))
        return text;
    return QFile::encodeName(QDir::currentPath()) + '/' + text;
}

} // namespace

bool IsTrinodeOnlyVariable(const QString& name) {
    static const QStringList startTokens = {
        QStringLiteral("DESKTOP_STARTUP_ID"),
        QStringLiteral("DESKTOP_AUTOSTART_ID"),
        QStringLiteral("XDG_ACTIVATION_TOKEN"),
    };
    if (startTokens.contains(name))
        return true;
    if (name == QLatin1String("DBUS_SESSION_BUS_ADDRESS"))
        return SessionBus::AutolaunchPrevented();
    if (name.startsWith(QLatin1String("QT_QPA_")))
        return name != QLatin1String("QT_QPA_PLATFORMTHEME");
    return name.startsWith(QLatin1String("TRINODE_"));
}

void OpenPath(const QByteArray& text) {
    if (text.isEmpty())
        return;
    // Only a text can be a URL: bytes that are not UTF-8 name a file.
    const QString decoded = QFile::decodeName(text);
    if (QFile::encodeName(decoded) == text && HasUrlScheme(decoded)) {
        LaunchDefaultForUrl(UriOfUrlText(decoded));
        return;
    }
    // A file name cannot hold a NUL; the system would see a shorter name.
    if (text.contains('\0'))
        Fail(SystemText(EINVAL));

    const QByteArray localPath = AbsolutePathOf(text);
    struct stat status {};
    if (::stat(localPath.constData(), &status) != 0)
        Fail(SystemText(errno));
    if (!StartsItself(localPath))
        LaunchDefaultForFile(localPath);
    else if (localPath.endsWith(".desktop"))
        OpenLauncher(localPath);
    else
        StartProgram(localPath);
}

bool StartsItself(const QByteArray& localPath) {
    struct stat status {};
    return ::stat(localPath.constData(), &status) == 0 && S_ISREG(status.st_mode) &&
           (localPath.endsWith(".desktop") || ::access(localPath.constData(), X_OK) == 0);
}

bool OpenRunning() {
    return g_running.load() > 0;
}

void OpenPath(const QByteArray& text, std::atomic<OpenWait>& waiting) {
    struct Noting {
        explicit Noting(std::atomic<OpenWait>& waiting) : previous(t_waiting) {
            waiting.store(OpenWait::FileSystem);
            t_waiting = &waiting;
            ++g_running;
        }
        ~Noting() {
            --g_running;
            t_waiting = previous;
        }
        Noting(const Noting&) = delete;
        Noting& operator=(const Noting&) = delete;
        std::atomic<OpenWait>* previous;
    } noting(waiting);
    OpenPath(text);
}
