#pragma once

// The custom keyboard shortcuts of the desktops that keep them in GSettings:
// GNOME (and Budgie and Unity) in org.gnome.settings-daemon.plugins.media-keys,
// Cinnamon in org.cinnamon.desktop.keybindings, MATE in
// org.mate.control-center.keybinding under /org/mate/desktop/keybindings/. An
// entry is Trinode's when it is named "Trinode" and runs this Trinode; a
// shortcut is taken when the desktop's own keybinding schemas or another
// custom entry hold it.

#include "summon/DesktopKeys.h"
#include "summon/GSettingsLibrary.h"

#include <QStringList>

#include <array>
#include <span>
#include <vector>

class GSettingsKeys final : public DesktopKeys {
public:
    // A shortcut that a holder's schema gives by default, for a desktop whose
    // session may run that holder while its schema is not installed where
    // Trinode looks (MATE's window manager): the shortcut is taken then too.
    struct KnownDefault {
        const char* schema;
        const char* key;
        const char* summary;
        const char* accelerator;
    };
    struct Layout {
        const char* desktop;    // as the messages name it
        const char* listSchema; // null: entries are found at customN under pathBase
        const char* listKey;
        bool listHoldsPaths; // else names of folders under pathBase
        const char* entrySchema;
        const char* pathBase;
        const char* commandKey;
        bool bindingIsList;
        std::array<const char*, 5> takenSchemas; // null-padded
        std::span<const KnownDefault> knownDefaults;
    };
    static const Layout Gnome;
    static const Layout Cinnamon;
    static const Layout Mate;

    explicit GSettingsKeys(const Layout& layout, const QString& desktopName);
    Outcome Bind(const Shortcut& shortcut) override;
    Outcome Unbind() override;

private:
    struct Entry {
        QString id; // as the list holds it
        QString path;
        QString name;
        QString command;
        QStringList bindings;
    };

    QString Unavailable();
    std::vector<Entry> Entries();
    QString Holder(const Shortcut& shortcut, const std::vector<Entry>& entries);
    QString SchemaHolder(const char* schemaId, const Shortcut& shortcut);
    QString DefaultHolder(const char* schemaId, const Shortcut& shortcut) const;
    bool IsOurs(const Entry& entry) const;
    QString NewId(const std::vector<Entry>& entries) const;
    GSettingsOwned<GSettings> Open(const char* schemaId, const QString& path = QString());
    bool Write(const QString& path, const Shortcut& shortcut);
    void Erase(const Entry& entry);
    void SetList(const QStringList& ids);
    QString Where(const QString& path) const;

    const Layout& m_layout;
    QString m_desktop;
    QString m_command;
    const GSettingsLibrary* m_gio = nullptr;
};
