#include "summon/GSettingsKeys.h"

#include "summon/TrinodeCommand.h"

#include <QDBusConnection>
#include <QRegularExpression>

#include <cstring>

namespace {

const QString EntryName = QStringLiteral("Trinode");
constexpr int ProbedEntries = 100;

QStringList Strings(GVariant* value) {
    if (!value)
        return {};
    if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING))
        return {QString::fromUtf8(g_variant_get_string(value, nullptr))};
    QStringList list;
    if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING_ARRAY) ||
        g_variant_is_of_type(value, G_VARIANT_TYPE_OBJECT_PATH_ARRAY)) {
        const gsize n = g_variant_n_children(value);
        for (gsize i = 0; i < n; ++i) {
            const GSettingsOwned<GVariant> item(g_variant_get_child_value(value, i));
            list.append(QString::fromUtf8(g_variant_get_string(item.get(), nullptr)));
        }
    }
    return list;
}

// GSettings ends the program on a malformed path; a hand-edited list may
// hold one.
bool ValidPath(const QString& path) {
    static const QRegularExpression form(QStringLiteral("^(/[A-Za-z0-9_.-]+)+/$"));
    return form.match(path).hasMatch();
}

GVariant* StringList(const QStringList& list) {
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE_STRING_ARRAY);
    for (const QString& item : list)
        g_variant_builder_add(&builder, "s", item.toUtf8().constData());
    return g_variant_builder_end(&builder);
}

// The shortcuts that MATE's window manager, Marco, holds by default.
constexpr GSettingsKeys::KnownDefault MarcoDefaults[] = {
    {"org.mate.Marco.global-keybindings", "switch-to-workspace-left",
     "Switch to workspace on the left of the current workspace", "<Control><Alt>Left"},
    {"org.mate.Marco.global-keybindings", "switch-to-workspace-right",
     "Switch to workspace on the right of the current workspace", "<Control><Alt>Right"},
    {"org.mate.Marco.global-keybindings", "switch-to-workspace-up",
     "Switch to workspace above the current workspace", "<Control><Alt>Up"},
    {"org.mate.Marco.global-keybindings", "switch-to-workspace-down",
     "Switch to workspace below the current workspace", "<Control><Alt>Down"},
    {"org.mate.Marco.global-keybindings", "switch-group",
     "Move between windows of an application, using a popup window", "<Alt>grave"},
    {"org.mate.Marco.global-keybindings", "switch-windows",
     "Move between windows, using a popup window", "<Alt>Tab"},
    {"org.mate.Marco.global-keybindings", "switch-panels",
     "Move between panels and the desktop, using a popup window", "<Control><Alt>Tab"},
    {"org.mate.Marco.global-keybindings", "cycle-group",
     "Move between windows of an application immediately", "<Alt>F6"},
    {"org.mate.Marco.global-keybindings", "cycle-windows", "Move between windows immediately",
     "<Alt>Escape"},
    {"org.mate.Marco.global-keybindings", "cycle-panels",
     "Move between panels and the desktop immediately", "<Control><Alt>Escape"},
    {"org.mate.Marco.global-keybindings", "show-desktop",
     "Hide all normal windows and set focus to the desktop", "<Control><Alt>d"},
    {"org.mate.Marco.global-keybindings", "panel-main-menu", "Show the panel's main menu",
     "<Alt>F1"},
    {"org.mate.Marco.global-keybindings", "panel-run-dialog",
     "Show the panel's \"Run Application\" dialog box", "<Alt>F2"},
    {"org.mate.Marco.global-keybindings", "run-command-screenshot", "Take a screenshot", "Print"},
    {"org.mate.Marco.global-keybindings", "run-command-window-screenshot",
     "Take a screenshot of a window", "<Alt>Print"},
    {"org.mate.Marco.window-keybindings", "activate-window-menu", "Activate the window menu",
     "<Alt>space"},
    {"org.mate.Marco.window-keybindings", "toggle-maximized", "Toggle maximization state",
     "<Alt>F10"},
    {"org.mate.Marco.window-keybindings", "unmaximize", "Restore window", "<Alt>F5"},
    {"org.mate.Marco.window-keybindings", "minimize", "Minimize window", "<Alt>F9"},
    {"org.mate.Marco.window-keybindings", "close", "Close window", "<Alt>F4"},
    {"org.mate.Marco.window-keybindings", "begin-move", "Move window", "<Alt>F7"},
    {"org.mate.Marco.window-keybindings", "begin-resize", "Resize window", "<Alt>F8"},
    {"org.mate.Marco.window-keybindings", "move-to-workspace-left",
     "Move window one workspace to the left", "<Control><Shift><Alt>Left"},
    {"org.mate.Marco.window-keybindings", "move-to-workspace-right",
     "Move window one workspace to the right", "<Control><Shift><Alt>Right"},
    {"org.mate.Marco.window-keybindings", "move-to-workspace-up", "Move window one workspace up",
     "<Control><Shift><Alt>Up"},
    {"org.mate.Marco.window-keybindings", "move-to-workspace-down",
     "Move window one workspace down", "<Control><Shift><Alt>Down"},
};

} // namespace

const GSettingsKeys::Layout GSettingsKeys::Gnome{
    "GNOME",
    "org.gnome.settings-daemon.plugins.media-keys",
    "custom-keybindings",
    true,
    "org.gnome.settings-daemon.plugins.media-keys.custom-keybinding",
    "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/",
    "command",
    false,
    {"org.gnome.desktop.wm.keybindings", "org.gnome.mutter.keybindings",
     "org.gnome.mutter.wayland.keybindings", "org.gnome.shell.keybindings",
     "org.gnome.settings-daemon.plugins.media-keys"},
    {},
};

const GSettingsKeys::Layout GSettingsKeys::Cinnamon{
    "Cinnamon",
    "org.cinnamon.desktop.keybindings",
    "custom-list",
    false,
    "org.cinnamon.desktop.keybindings.custom-keybinding",
    "/org/cinnamon/desktop/keybindings/custom-keybindings/",
    "command",
    true,
    {"org.cinnamon.desktop.keybindings", "org.cinnamon.desktop.keybindings.wm",
     "org.cinnamon.desktop.keybindings.media-keys", nullptr, nullptr},
    {},
};

const GSettingsKeys::Layout GSettingsKeys::Mate{
    "MATE",
    nullptr,
    nullptr,
    false,
    "org.mate.control-center.keybinding",
    "/org/mate/desktop/keybindings/",
    "action",
    false,
    {"org.mate.Marco.global-keybindings", "org.mate.Marco.window-keybindings",
     "org.mate.SettingsDaemon.plugins.media-keys", nullptr, nullptr},
    MarcoDefaults,
};

GSettingsKeys::GSettingsKeys(const Layout& layout, const QString& desktopName)
    : m_layout(layout), m_desktop(desktopName), m_command(TrinodeCommand::ShellText()) {}

// Why the desktop's settings cannot be changed from here, or nothing.
QString GSettingsKeys::Unavailable() {
    QString why;
    m_gio = GSettingsLibrary::Load(&why);
    if (!m_gio)
        return QStringLiteral("GIO cannot be loaded: %1").arg(why);
    for (const char* id : {m_layout.listSchema, m_layout.entrySchema}) {
        if (id && !GSettingsOwned<GSettingsSchema>(
                      m_gio->schema_source_lookup(m_gio->schema_source_get_default(), id, TRUE)))
            return QStringLiteral("the settings schema %1 is not installed").arg(QLatin1String(id));
    }
    const GSettingsOwned<GSettingsBackend> backend(m_gio->settings_backend_get_default());
    const QByteArray type =
        m_gio->type_name_from_instance(reinterpret_cast<GTypeInstance*>(backend.get()));
    if (type != "DConfSettingsBackend")
        return QStringLiteral("GSettings keeps its settings in %1, not in the desktop's store "
                              "(is dconf-gsettings-backend installed?)")
            .arg(QString::fromLatin1(type));
    if (!QDBusConnection::sessionBus().isConnected())
        return QStringLiteral("there is no session bus to reach the settings store (dconf) on");
    return {};
}

GSettingsOwned<GSettings> GSettingsKeys::Open(const char* schemaId, const QString& path) {
    const GSettingsOwned<GSettingsSchema> schema(
        m_gio->schema_source_lookup(m_gio->schema_source_get_default(), schemaId, TRUE));
    if (!schema)
        return nullptr;
    return GSettingsOwned<GSettings>(m_gio->settings_new_full(
        schema.get(), nullptr, path.isEmpty() ? nullptr : path.toUtf8().constData()));
}

std::vector<GSettingsKeys::Entry> GSettingsKeys::Entries() {
    QStringList ids;
    if (m_layout.listSchema) {
        const auto list = Open(m_layout.listSchema);
        ids = Strings(
            GSettingsOwned<GVariant>(m_gio->settings_get_value(list.get(), m_layout.listKey))
                .get());
    } else {
        for (int i = 0; i < ProbedEntries; ++i)
            ids.append(QStringLiteral("custom%1").arg(i));
    }
    std::vector<Entry> entries;
    for (const QString& id : ids) {
        Entry entry{
            id,
            m_layout.listHoldsPaths ? id : QLatin1String(m_layout.pathBase) + id + QLatin1Char('/'),
            {},
            {},
            {}};
        // Kept in the list as it is, but not read.
        if (!ValidPath(entry.path)) {
            entries.push_back(entry);
            continue;
        }
        const auto settings = Open(m_layout.entrySchema, entry.path);
        const auto read = [&](const char* key) {
            return Strings(
                GSettingsOwned<GVariant>(m_gio->settings_get_value(settings.get(), key)).get());
        };
        entry.name = read("name").value(0);
        entry.command = read(m_layout.commandKey).value(0);
        entry.bindings = read("binding");
        // Without a list, a folder is an entry once anything is set in it.
        if (!m_layout.listSchema && entry.name.isEmpty() && entry.command.isEmpty())
            continue;
        entries.push_back(entry);
    }
    return entries;
}

bool GSettingsKeys::IsOurs(const Entry& entry) const {
    return entry.name == EntryName && entry.command == m_command;
}

QString GSettingsKeys::SchemaHolder(const char* schemaId, const Shortcut& shortcut) {
    const GSettingsOwned<GSettingsSchema> schema(
        m_gio->schema_source_lookup(m_gio->schema_source_get_default(), schemaId, TRUE));
    if (!schema)
        return {};
    const auto settings = Open(schemaId);
    const GSettingsOwned<gchar*> keys(m_gio->schema_list_keys(schema.get()));
    for (gchar** key = keys.get(); *key; ++key) {
        const GSettingsOwned<GSettingsSchemaKey> described(
            m_gio->schema_get_key(schema.get(), *key));
        const GVariantType* type = m_gio->schema_key_get_value_type(described.get());
        if (!g_variant_type_equal(type, G_VARIANT_TYPE_STRING) &&
            !g_variant_type_equal(type, G_VARIANT_TYPE_STRING_ARRAY))
            continue;
        const GSettingsOwned<GVariant> value(m_gio->settings_get_value(settings.get(), *key));
        for (const QString& text : Strings(value.get())) {
            if (Shortcut::FromAccelerator(text) != shortcut)
                continue;
            const char* summary = m_gio->schema_key_get_summary(described.get());
            return QStringLiteral("\"%1\" (%2 %3)")
                .arg(summary ? QString::fromUtf8(summary) : QString::fromUtf8(*key),
                     QLatin1String(schemaId), QString::fromUtf8(*key));
        }
    }
    return {};
}

// A holder's default for the shortcut, when its schema is not installed.
QString GSettingsKeys::DefaultHolder(const char* schemaId, const Shortcut& shortcut) const {
    for (const KnownDefault& known : m_layout.knownDefaults) {
        if (std::strcmp(known.schema, schemaId) == 0 &&
            Shortcut::FromAccelerator(QLatin1String(known.accelerator)) == shortcut)
            return QStringLiteral("\"%1\" (%2 %3, its default; the schema is not installed here)")
                .arg(QLatin1String(known.summary), QLatin1String(schemaId),
                     QLatin1String(known.key));
    }
    return {};
}

// What holds the shortcut already, in words; empty when it is free.
QString GSettingsKeys::Holder(const Shortcut& shortcut, const std::vector<Entry>& entries) {
    for (const char* schemaId : m_layout.takenSchemas) {
        if (!schemaId)
            break;
        const bool installed = GSettingsOwned<GSettingsSchema>(m_gio->schema_source_lookup(
                                   m_gio->schema_source_get_default(), schemaId, TRUE)) != nullptr;
        const QString holder =
            installed ? SchemaHolder(schemaId, shortcut) : DefaultHolder(schemaId, shortcut);
        if (!holder.isEmpty())
            return holder;
    }
    for (const Entry& entry : entries) {
        if (IsOurs(entry))
            continue;
        for (const QString& text : entry.bindings)
            if (Shortcut::FromAccelerator(text) == shortcut)
                return QStringLiteral("the custom shortcut \"%1\" (%2)")
                    .arg(entry.name, entry.command);
    }
    return {};
}

QString GSettingsKeys::NewId(const std::vector<Entry>& entries) const {
    for (int i = 0;; ++i) {
        const QString name = QStringLiteral("custom%1").arg(i);
        const QString path = QLatin1String(m_layout.pathBase) + name + QLatin1Char('/');
        const bool used = std::any_of(entries.begin(), entries.end(),
                                      [&](const Entry& entry) { return entry.path == path; });
        if (!used)
            return m_layout.listHoldsPaths ? path : name;
    }
}

bool GSettingsKeys::Write(const QString& path, const Shortcut& shortcut) {
    const auto settings = Open(m_layout.entrySchema, path);
    const QString accelerator = shortcut.Accelerator(QStringLiteral("Control"));
    m_gio->settings_set_value(settings.get(), "name",
                              g_variant_new_string(EntryName.toUtf8().constData()));
    m_gio->settings_set_value(settings.get(), m_layout.commandKey,
                              g_variant_new_string(m_command.toUtf8().constData()));
    m_gio->settings_set_value(settings.get(), "binding",
                              m_layout.bindingIsList
                                  ? StringList({accelerator})
                                  : g_variant_new_string(accelerator.toUtf8().constData()));
    m_gio->settings_sync();
    // dconf drops a change that its service did not take: read it back.
    const GSettingsOwned<GVariant> kept(m_gio->settings_get_value(settings.get(), "binding"));
    return Strings(kept.get()).value(0) == accelerator;
}

void GSettingsKeys::Erase(const Entry& entry) {
    const auto settings = Open(m_layout.entrySchema, entry.path);
    for (const char* key : {"name", m_layout.commandKey, "binding"})
        m_gio->settings_reset(settings.get(), key);
}

void GSettingsKeys::SetList(const QStringList& ids) {
    if (!m_layout.listSchema)
        return;
    const auto list = Open(m_layout.listSchema);
    // The last entry gone, the list is the desktop's default again.
    if (ids.isEmpty())
        m_gio->settings_reset(list.get(), m_layout.listKey);
    else
        m_gio->settings_set_value(list.get(), m_layout.listKey, StringList(ids));
}

QString GSettingsKeys::Where(const QString& path) const {
    return QStringLiteral("%1's custom keyboard shortcuts (GSettings %2 at %3)")
        .arg(m_desktop, QLatin1String(m_layout.entrySchema), path);
}

DesktopKeys::Outcome GSettingsKeys::Bind(const Shortcut& shortcut) {
    const QString why = Unavailable();
    if (!why.isEmpty())
        return {Outcome::Kind::Refused,
                QStringLiteral("cannot set a %1 shortcut: %2").arg(m_desktop, why),
                {}};
    const std::vector<Entry> entries = Entries();
    const QString holder = Holder(shortcut, entries);
    if (!holder.isEmpty())
        return {Outcome::Kind::Refused,
                QStringLiteral("%1 is already taken on %2 by %3; choose another shortcut")
                    .arg(shortcut.PortableText(), m_desktop, holder),
                {}};
    QStringList ids;
    QString path;
    for (const Entry& entry : entries) {
        if (IsOurs(entry) && path.isEmpty())
            path = entry.path;
        else if (IsOurs(entry))
            Erase(entry);
        if (!IsOurs(entry) || path == entry.path)
            ids.append(entry.id);
    }
    if (path.isEmpty()) {
        const QString id = NewId(entries);
        ids.append(id);
        path =
            m_layout.listHoldsPaths ? id : QLatin1String(m_layout.pathBase) + id + QLatin1Char('/');
    }
    SetList(ids);
    if (!Write(path, shortcut))
        return {
            Outcome::Kind::Refused,
            QStringLiteral("%1's settings store (dconf) did not keep the shortcut").arg(m_desktop),
            {}};
    return {
        Outcome::Kind::Done,
        QStringLiteral("Bound %1 to %2 in %3").arg(shortcut.PortableText(), m_command, Where(path)),
        Where(path)};
}

DesktopKeys::Outcome GSettingsKeys::Unbind() {
    const QString why = Unavailable();
    if (!why.isEmpty())
        return {Outcome::Kind::Refused,
                QStringLiteral("cannot change %1's shortcuts: %2").arg(m_desktop, why),
                {}};
    QStringList ids;
    QStringList removed;
    for (const Entry& entry : Entries()) {
        if (IsOurs(entry)) {
            Erase(entry);
            removed.append(entry.path);
        } else {
            ids.append(entry.id);
        }
    }
    if (removed.isEmpty())
        return {Outcome::Kind::Done,
                QStringLiteral("No Trinode shortcut was found among %1's custom keyboard shortcuts")
                    .arg(m_desktop),
                {}};
    SetList(ids);
    m_gio->settings_sync();
    return {Outcome::Kind::Done,
            QStringLiteral("Removed Trinode's shortcut from %1")
                .arg(Where(removed.join(QLatin1String(", ")))),
            {}};
}
