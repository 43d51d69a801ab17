#include "platform/OpenPath.h"

#include "platform/SessionBus.h"
#include "store/TrinodeError.h"
#include "store/UserHome.h"

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QUrl>

#include <cerrno>
#include <cstring>
#include <memory>
#include <type_traits>
#include <vector>

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Where the open running on this thread notes what it waits on (see
// OpenWait); nowhere when the caller does not ask.
thread_local std::atomic<OpenWait>* t_waiting = nullptr;

void NoteWait(OpenWait wait) {
    if (t_waiting)
        t_waiting->store(wait);
}

// GIO is loaded the first time something is opened, not with the program:
// loading it and the libraries it pulls in is a noticeable share of start-up,
// and a start opens nothing before the user presses Run. GLib itself is
// loaded with Qt already.
struct GioFunctions {
    decltype(&::g_object_unref) object_unref;
    decltype(&::g_app_launch_context_new) app_launch_context_new;
    decltype(&::g_app_launch_context_unsetenv) app_launch_context_unsetenv;
    decltype(&::g_app_info_launch_default_for_uri) app_info_launch_default_for_uri;
    decltype(&::g_app_info_get_default_for_uri_scheme) app_info_get_default_for_uri_scheme;
    decltype(&::g_file_new_for_path) file_new_for_path;
    decltype(&::g_file_get_uri) file_get_uri;
    decltype(&::g_desktop_app_info_new_from_filename) desktop_app_info_new_from_filename;
    decltype(&::g_app_info_launch) app_info_launch;
    decltype(&::g_io_error_quark) io_error_quark;
};

const GioFunctions& Gio() {
    static const GioFunctions functions = [] {
        void* gio = ::dlopen("libgio-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
        if (!gio)
            throw TrinodeError(QString::fromLocal8Bit(::dlerror()));
        GioFunctions f{};
        const auto Load = [gio](auto& slot, const char* name) {
            slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(::dlsym(gio, name));
            if (!slot)
                throw TrinodeError(QString::fromLocal8Bit(::dlerror()));
        };
        Load(f.object_unref, "g_object_unref");
        Load(f.app_launch_context_new, "g_app_launch_context_new");
        Load(f.app_launch_context_unsetenv, "g_app_launch_context_unsetenv");
        Load(f.app_info_launch_default_for_uri, "g_app_info_launch_default_for_uri");
        Load(f.app_info_get_default_for_uri_scheme, "g_app_info_get_default_for_uri_scheme");
        Load(f.file_new_for_path, "g_file_new_for_path");
        Load(f.file_get_uri, "g_file_get_uri");
        Load(f.desktop_app_info_new_from_filename, "g_desktop_app_info_new_from_filename");
        Load(f.app_info_launch, "g_app_info_launch");
        Load(f.io_error_quark, "g_io_error_quark");
        return f;
    }();
    return functions;
}

// Owning handles for the GLib objects used here, released on every path out,
// exceptions included.
struct GLibFree {
    void operator()(gpointer memory) const { g_free(memory); }
    void operator()(gchar** vector) const { g_strfreev(vector); }
    void operator()(GKeyFile* keys) const { g_key_file_free(keys); }
    void operator()(GError* error) const { g_error_free(error); }
    void operator()(GAppLaunchContext* object) const { Gio().object_unref(object); }
    void operator()(GDesktopAppInfo* object) const { Gio().object_unref(object); }
    void operator()(GAppInfo* object) const { Gio().object_unref(object); }
    void operator()(GFile* object) const { Gio().object_unref(object); }
};
template <class T> using GOwned = std::unique_ptr<T, GLibFree>;
using GText = GOwned<gchar>;

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

GError* TryLaunchDefaultForUri(const QByteArray& uri) {
    NoteWait(OpenWait::Desktop);
    const GOwned<GAppLaunchContext> context = CleanLaunchContext();
    GError* error = nullptr;
    Gio().app_info_launch_default_for_uri(uri.constData(), context.get(), &error);
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

    // Loaded from the file rather than from the parsed keys so that %k and the
    // application's identity refer to the launcher itself.
    const GOwned<GDesktopAppInfo> application(
        Gio().desktop_app_info_new_from_filename(localPath.constData()));
    if (!application)
        FailUnlaunchable(keys.get());
    NoteWait(OpenWait::Desktop);
    const GOwned<GAppLaunchContext> context = CleanLaunchContext();
    if (!Gio().app_info_launch(reinterpret_cast<GAppInfo*>(application.get()), nullptr,
                               context.get(), &error))
        FailWith(error);
}

// QProcess names the failing call before the system's text ("execv: Exec
// format error"); the user is shown only the system's part.
QString SystemPartOf(const QString& processError) {
    static const QRegularExpression callPrefix(QStringLiteral("^[a-z_]+: "));
    QString text = processError;
    return text.remove(callPrefix);
}

void StartExecutable(const QString& path) {
    NoteWait(OpenWait::Program);
    QProcess process;
    process.setProgram(path);
    process.setArguments({});
    // As from a desktop, the program starts in the user's home folder, not
    // in whatever folder Trinode was started from (where a home's name is
    // not UTF-8, Qt could not name it, and the program starts in Trinode's).
    const QByteArray home = UserHome::LocalPath();
    if (!home.isEmpty() && QFile::encodeName(QFile::decodeName(home)) == home)
        process.setWorkingDirectory(QFile::decodeName(home));
    process.setProcessEnvironment(CleanEnvironment());
    if (!process.startDetached())
        Fail(SystemPartOf(process.errorString()));
}

// A program whose name Qt cannot hold as text, started by its bytes: no
// arguments, no shell, the clean environment, in the home folder.
void StartExecutableByBytes(const QByteArray& path) {
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
    QByteArray home = UserHome::LocalPath();
    GError* error = nullptr;
    if (!g_spawn_async(home.isEmpty() ? nullptr : home.constData(), argv, envp.data(),
                       G_SPAWN_DEFAULT, nullptr, nullptr, nullptr, &error))
        FailWith(error);
}

// Relative texts are joined to the current directory without any cleaning of
// "." or "..", so that symbolic links resolve as the kernel resolves them.
QString AbsolutePathOf(const QString& text) {
    if (text.startsWith(QLatin1Char('/')))
        return text;
    return QDir::currentPath() + QLatin1Char('/') + text;
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

void OpenPath(const QString& text) {
    if (text.isEmpty())
        return;
    if (HasUrlScheme(text)) {
        LaunchDefaultForUrl(UriOfUrlText(text));
        return;
    }
    // A file name cannot hold a NUL; the system would see a shorter name.
    if (text.contains(QChar(0)))
        Fail(SystemText(EINVAL));

    const QString path = AbsolutePathOf(text);
    const QByteArray localPath = QFile::encodeName(path);
    struct stat status {};
    if (::stat(localPath.constData(), &status) != 0)
        Fail(SystemText(errno));

    const bool regular = S_ISREG(status.st_mode);
    if (regular && path.endsWith(QLatin1String(".desktop")))
        OpenLauncher(localPath);
    else if (regular && ::access(localPath.constData(), X_OK) == 0)
        StartExecutable(path);
    else
        LaunchDefaultForFile(localPath);
}

void OpenPath(const QByteArray& text) {
    const QString decoded = QFile::decodeName(text);
    if (QFile::encodeName(decoded) == text) {
        OpenPath(decoded);
        return;
    }
    // Not UTF-8, so no URL: a file named by these bytes.
    if (text.contains('\0'))
        Fail(SystemText(EINVAL));
    const QByteArray localPath =
        text.startsWith('/') ? text : QFile::encodeName(QDir::currentPath()) + '/' + text;
    struct stat status {};
    if (::stat(localPath.constData(), &status) != 0)
        Fail(SystemText(errno));
    const bool regular = S_ISREG(status.st_mode);
    if (regular && localPath.endsWith(".desktop"))
        OpenLauncher(localPath);
    else if (regular && ::access(localPath.constData(), X_OK) == 0)
        StartExecutableByBytes(localPath);
    else
        LaunchDefaultForFile(localPath);
}

void OpenPath(const QByteArray& text, std::atomic<OpenWait>& waiting) {
    struct Noting {
        explicit Noting(std::atomic<OpenWait>& waiting) : previous(t_waiting) {
            waiting.store(OpenWait::FileSystem);
            t_waiting = &waiting;
        }
        ~Noting() { t_waiting = previous; }
        Noting(const Noting&) = delete;
        Noting& operator=(const Noting&) = delete;
        std::atomic<OpenWait>* previous;
    } noting(waiting);
    OpenPath(text);
}
