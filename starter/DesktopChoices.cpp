#include "starter/DesktopChoices.h"

#include "platform/GioLibrary.h"

#include <QFile>
#include <QFileInfo>

#include <type_traits>

namespace DesktopChoices {
namespace {

// The kinds a desktop keeps a default application for, by the content type
// or URL scheme that GIO looks it up under.
struct DefaultKind {
    const char* button;
    const char* contentType;
};
constexpr DefaultKind Defaults[] = {
    {"Internet", "x-scheme-handler/https"},
    {"Mail", "x-scheme-handler/mailto"},
    {"Files", "inode/directory"},
    {"Music", "audio/mpeg"},
    {"Videos", "video/mp4"},
    {"Pictures", "image/png"},
    {"Office", "application/vnd.oasis.opendocument.text"},
    {"Office", "text/plain"},
};

// Where a desktop names its terminal, as a program.
struct SettingKey {
    const char* schema;
    const char* key;
};
constexpr SettingKey TerminalSettings[] = {
    {"org.gnome.desktop.default-applications.terminal", "exec"},
    {"org.cinnamon.desktop.default-applications.terminal", "exec"},
    {"org.mate.applications-terminal", "exec"},
};
constexpr SettingKey Favourites = {"org.gnome.shell", "favorite-apps"};

// Each desktop's settings application, by the desktop IDs it has had.
struct SettingsEntry {
    const char* desktop;
    const char* id;
};
constexpr SettingsEntry SettingsApplications[] = {
    {"GNOME", "org.gnome.Settings.desktop"},   {"GNOME", "gnome-control-center.desktop"},
    {"Unity", "unity-control-center.desktop"}, {"Budgie", "budgie-control-center.desktop"},
    {"KDE", "systemsettings.desktop"},         {"XFCE", "xfce-settings-manager.desktop"},
    {"MATE", "mate-control-center.desktop"},   {"X-Cinnamon", "cinnamon-settings.desktop"},
    {"LXQt", "lxqt-config.desktop"},
};

// The first of these that an application's categories name decides its
// button: the most telling first (a browser is also a Network program).
struct CategoryButton {
    const char* category;
    const char* button;
};
constexpr CategoryButton CategoryButtons[] = {
    {"WebBrowser", "Internet"},      {"Email", "Mail"},      {"FileManager", "Files"},
    {"TerminalEmulator", "System"},  {"Game", "Games"},      {"Settings", "Settings"},
    {"DesktopSettings", "Settings"}, {"Audio", "Music"},     {"Video", "Videos"},
    {"Graphics", "Pictures"},        {"Office", "Office"},   {"TextEditor", "Office"},
    {"Development", "Projects"},     {"Network", "Network"}, {"System", "System"},
};

// GSettings' reading of a string or a list, where its schema is installed.
class DesktopSettings final {
public:
    DesktopSettings() {
        const auto load = [](auto& slot, const char* name) {
            slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(GioSymbol(name));
        };
        load(m_sourceDefault, "g_settings_schema_source_get_default");
        load(m_lookup, "g_settings_schema_source_lookup");
        load(m_hasKey, "g_settings_schema_has_key");
        load(m_unrefSchema, "g_settings_schema_unref");
        load(m_newFull, "g_settings_new_full");
        load(m_getStrv, "g_settings_get_strv");
        load(m_getString, "g_settings_get_string");
    }

    QStringList List(const SettingKey& setting) const {
        QStringList list;
        WithSettings(setting, [&](GSettings* settings) {
            const GOwned<gchar*> items(m_getStrv(settings, setting.key));
            for (gchar** item = items.get(); item && *item; ++item)
                list << QString::fromUtf8(*item);
        });
        return list;
    }

    QString Text(const SettingKey& setting) const {
        QString text;
        WithSettings(setting, [&](GSettings* settings) {
            text = QString::fromUtf8(GText(m_getString(settings, setting.key)).get());
        });
        return text;
    }

private:
    template <class Use> void WithSettings(const SettingKey& setting, Use use) const {
        GSettingsSchemaSource* source = m_sourceDefault();
        GSettingsSchema* schema = source ? m_lookup(source, setting.schema, TRUE) : nullptr;
        if (!schema)
            return;
        if (m_hasKey(schema, setting.key)) {
            GSettings* settings = m_newFull(schema, nullptr, nullptr);
            use(settings);
            Gio().object_unref(settings);
        }
        m_unrefSchema(schema);
    }

    decltype(&::g_settings_schema_source_get_default) m_sourceDefault;
    decltype(&::g_settings_schema_source_lookup) m_lookup;
    decltype(&::g_settings_schema_has_key) m_hasKey;
    decltype(&::g_settings_schema_unref) m_unrefSchema;
    decltype(&::g_settings_new_full) m_newFull;
    decltype(&::g_settings_get_strv) m_getStrv;
    decltype(&::g_settings_get_string) m_getString;
};

QByteArray DefaultFor(const char* contentType) {
    const GOwned<GAppInfo> info(Gio().app_info_get_default_for_type(contentType, FALSE));
    const char* id = info ? Gio().app_info_get_id(info.get()) : nullptr;
    return id ? QByteArray(id) : QByteArray();
}

// A program as the system finds it, links followed to the file.
QString ProgramFile(const QString& program) {
    const GText found(g_find_program_in_path(QFile::encodeName(program).constData()));
    return found ? QFileInfo(QFile::decodeName(found.get())).canonicalFilePath() : QString();
}

// The application that runs the desktop's terminal.
QByteArray Terminal(const DesktopSettings& settings,
                    const std::vector<DesktopApplication>& applications) {
    QString program;
    for (const SettingKey& setting : TerminalSettings)
        if (program.isEmpty())
            program =
                settings.Text(setting).section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty);
    const QString file =
        ProgramFile(program.isEmpty() ? QStringLiteral("x-terminal-emulator") : program);
    if (file.isEmpty())
        return {};
    for (const DesktopApplication& application : applications)
        if (!application.executable.isEmpty() && ProgramFile(application.executable) == file)
            return application.id;
    return {};
}

// The desktop's settings application: the current desktop's, else the first
// one of any desktop that is there.
QByteArray SettingsApplication(const std::vector<DesktopApplication>& applications) {
    const auto present = [&](const char* id) { return WithId(applications, id) != nullptr; };
    for (const QByteArray& desktop : qgetenv("XDG_CURRENT_DESKTOP").split(':'))
        for (const SettingsEntry& known : SettingsApplications)
            if (desktop == known.desktop && present(known.id))
                return known.id;
    for (const SettingsEntry& known : SettingsApplications)
        if (present(known.id))
            return known.id;
    return {};
}

} // namespace

const DesktopApplication* WithId(const std::vector<DesktopApplication>& applications,
                                 const QByteArray& id) {
    for (const DesktopApplication& application : applications)
        if (application.id == id)
            return &application;
    return nullptr;
}

QString ButtonOfCategories(const QStringList& categories) {
    for (const CategoryButton& known : CategoryButtons)
        if (categories.contains(QLatin1String(known.category)))
            return QString::fromLatin1(known.button);
    return QStringLiteral("Applications");
}

std::vector<Choice> Read(const std::vector<DesktopApplication>& applications) {
    std::vector<Choice> choices;
    for (const DefaultKind& kind : Defaults)
        choices.push_back({QString::fromLatin1(kind.button), DefaultFor(kind.contentType)});
    const DesktopSettings settings;
    choices.push_back({QStringLiteral("System"), Terminal(settings, applications)});
    choices.push_back({QStringLiteral("Settings"), SettingsApplication(applications)});
    for (const QString& favourite : settings.List(Favourites)) {
        const QByteArray id = favourite.toUtf8();
        if (const DesktopApplication* application = WithId(applications, id))
            choices.push_back({ButtonOfCategories(application->categories), id});
    }
    std::erase_if(choices, [](const Choice& choice) { return choice.id.isEmpty(); });
    return choices;
}

} // namespace DesktopChoices
