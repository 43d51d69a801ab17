#include "platform/ApplicationCatalogue.h"

#include "platform/GioLibrary.h"
#include "store/WordMatch.h"

#include <QCollator>
#include <QCoreApplication>
#include <QFile>
#include <QPointer>

#include <algorithm>
#include <optional>
#include <thread>

namespace {

using ApplicationFolders::Listing;

const char* const Group = G_KEY_FILE_DESKTOP_GROUP;

QString LocaleString(GKeyFile* keys, const char* key) {
    const GText text(g_key_file_get_locale_string(keys, Group, key, nullptr, nullptr));
    return text ? QString::fromUtf8(text.get()) : QString();
}

bool ProgramFound(const char* program) {
    return GText(g_find_program_in_path(program)) != nullptr;
}

// As GIO loads an entry: an application whose TryExec program and whose
// Exec line's program are there.
bool Launchable(GKeyFile* keys) {
    const GText start(g_key_file_get_start_group(keys));
    const GText type(g_key_file_get_string(keys, Group, G_KEY_FILE_DESKTOP_KEY_TYPE, nullptr));
    if (g_strcmp0(start.get(), Group) != 0 ||
        g_strcmp0(type.get(), G_KEY_FILE_DESKTOP_TYPE_APPLICATION) != 0)
        return false;
    const GText tryExec(
        g_key_file_get_string(keys, Group, G_KEY_FILE_DESKTOP_KEY_TRY_EXEC, nullptr));
    if (tryExec && tryExec.get()[0] != '\0' && !ProgramFound(tryExec.get()))
        return false;
    const GText exec(g_key_file_get_string(keys, Group, G_KEY_FILE_DESKTOP_KEY_EXEC, nullptr));
    if (!exec || exec.get()[0] == '\0')
        return true;
    gchar** parsed = nullptr;
    if (!g_shell_parse_argv(exec.get(), nullptr, &parsed, nullptr))
        return false;
    const GOwned<gchar*> argv(parsed);
    return ProgramFound(argv.get()[0]);
}

bool Names(GKeyFile* keys, const char* key, const QByteArray& desktop) {
    const GOwned<gchar*> names(g_key_file_get_string_list(keys, Group, key, nullptr, nullptr));
    return names && g_strv_contains(names.get(), desktop.constData());
}

// As GIO's g_app_info_should_show: neither Hidden nor NoDisplay, and shown on
// the current desktop by OnlyShowIn and NotShowIn, where the first desktop of
// XDG_CURRENT_DESKTOP that one of them names decides.
bool Shown(GKeyFile* keys) {
    for (const char* key : {G_KEY_FILE_DESKTOP_KEY_HIDDEN, G_KEY_FILE_DESKTOP_KEY_NO_DISPLAY})
        if (g_key_file_get_boolean(keys, Group, key, nullptr))
            return false;
    for (const QByteArray& desktop : qgetenv("XDG_CURRENT_DESKTOP").split(':')) {
        if (Names(keys, G_KEY_FILE_DESKTOP_KEY_ONLY_SHOW_IN, desktop))
            return true;
        if (Names(keys, G_KEY_FILE_DESKTOP_KEY_NOT_SHOW_IN, desktop))
            return false;
    }
    return !g_key_file_has_key(keys, Group, G_KEY_FILE_DESKTOP_KEY_ONLY_SHOW_IN, nullptr);
}

// As GIO names an entry's icon: a file by its path, a theme's icon by its
// name without the image suffix that entries often add by mistake.
QString IconOf(GKeyFile* keys) {
    QString icon = LocaleString(keys, G_KEY_FILE_DESKTOP_KEY_ICON);
    const QString suffix = icon.mid(icon.lastIndexOf(QLatin1Char('.')));
    if (!icon.startsWith(QLatin1Char('/')) && QStringList{".png", ".xpm", ".svg"}.contains(suffix))
        icon.chop(suffix.size());
    return icon;
}

QStringList ListOf(GKeyFile* keys, const char* key) {
    QStringList list;
    const GOwned<gchar*> items(g_key_file_get_string_list(keys, Group, key, nullptr, nullptr));
    for (gchar** item = items.get(); item && *item; ++item)
        list << QString::fromUtf8(*item);
    return list;
}

std::optional<DesktopApplication> Described(const ApplicationFolders::Entry& entry) {
    const QByteArray& file = entry.file;
    const GOwned<GKeyFile> keys(g_key_file_new());
    if (!g_key_file_load_from_file(keys.get(), file.constData(), G_KEY_FILE_NONE, nullptr) ||
        !Launchable(keys.get()) || !Shown(keys.get()))
        return std::nullopt;
    DesktopApplication application;
    application.id = entry.id;
    application.name = LocaleString(keys.get(), G_KEY_FILE_DESKTOP_KEY_NAME);
    if (application.name.isEmpty())
        application.name = QStringLiteral("Unnamed");
    application.genericName = LocaleString(keys.get(), G_KEY_FILE_DESKTOP_KEY_GENERIC_NAME);
    const GOwned<gchar*> keywords(g_key_file_get_locale_string_list(keys.get(), Group, "Keywords",
                                                                    nullptr, nullptr, nullptr));
    for (gchar** keyword = keywords.get(); keyword && *keyword; ++keyword)
        application.keywords << QString::fromUtf8(*keyword);
    // The program is the Exec line's first word, as GIO gives it.
    const GText exec(
        g_key_file_get_string(keys.get(), Group, G_KEY_FILE_DESKTOP_KEY_EXEC, nullptr));
    if (exec)
        application.executable = QFile::decodeName(QByteArray(exec.get()).trimmed().split(' ')[0]);
    application.categories = ListOf(keys.get(), G_KEY_FILE_DESKTOP_KEY_CATEGORIES);
    application.icon = IconOf(keys.get());
    application.desktopFile = file;
    application.searchText = WordMatch::SearchText({application.name, application.genericName,
                                                    application.keywords.join(QLatin1Char(' ')),
                                                    application.executable});
    return application;
}

std::vector<DesktopApplication> ReadApplications(const Listing& listing) {
    std::vector<DesktopApplication> applications;
    for (const ApplicationFolders::Entry& entry : listing.entries)
        if (std::optional<DesktopApplication> application = Described(entry))
            applications.push_back(std::move(*application));
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(true);
    std::stable_sort(applications.begin(), applications.end(),
                     [&collator](const DesktopApplication& a, const DesktopApplication& b) {
                         return collator.compare(a.name, b.name) < 0;
                     });
    return applications;
}

} // namespace

struct ApplicationCatalogue::Reading {
    // What the list shown was read from; the list is read again only when
    // the walk finds other entries.
    Listing before;
    bool readBefore = false;
    Listing listing;
    std::vector<DesktopApplication> applications;
};

ApplicationCatalogue::ApplicationCatalogue(QObject* parent) : QObject(parent) {}

std::vector<DesktopApplication> ApplicationCatalogue::ReadAll(const Listing& listing) {
    return ReadApplications(listing);
}

ApplicationCatalogue::~ApplicationCatalogue() = default;

void ApplicationCatalogue::Read() {
    if (m_reading)
        return;
    m_reading = std::make_shared<Reading>(Reading{m_listing, m_read, {}, {}});
    // The thread is not waited for: a file system that hangs holds it, not
    // the window, and a catalogue gone by the time it ends takes nothing.
    std::thread([reading = m_reading, self = QPointer<ApplicationCatalogue>(this)]() {
        reading->listing = ApplicationFolders::Walk();
        const bool changed = !reading->readBefore || reading->listing != reading->before;
        if (changed)
            reading->applications = ReadApplications(reading->listing);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [reading, self, changed]() {
                if (!self)
                    return;
                self->m_reading.reset();
                if (!changed)
                    return;
                self->m_listing = std::move(reading->listing);
                self->m_applications = std::move(reading->applications);
                self->m_failure = self->m_listing.complete ? QString() : self->m_listing.Obstacle();
                self->m_read = true;
                Q_EMIT self->Ready();
            },
            Qt::QueuedConnection);
    }).detach();
}
