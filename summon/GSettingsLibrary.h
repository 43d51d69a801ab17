#pragma once

// GIO's GSettings, loaded the first time a key is set (see GioLibrary): only
// --bind-key and the key dialog need it. GLib's own GVariant comes with Qt
// already.

#include <gio/gio.h>
// Which store GSettings writes to is part of its backend interface.
#define G_SETTINGS_ENABLE_BACKEND
#include <gio/gsettingsbackend.h>

#include <QString>

#include <memory>

struct GSettingsLibrary final {
    decltype(&::g_object_unref) object_unref;
    decltype(&::g_settings_schema_source_get_default) schema_source_get_default;
    decltype(&::g_settings_schema_source_lookup) schema_source_lookup;
    decltype(&::g_settings_schema_unref) schema_unref;
    decltype(&::g_settings_schema_list_keys) schema_list_keys;
    decltype(&::g_settings_schema_get_key) schema_get_key;
    decltype(&::g_settings_schema_key_unref) schema_key_unref;
    decltype(&::g_settings_schema_key_get_value_type) schema_key_get_value_type;
    decltype(&::g_settings_schema_key_get_summary) schema_key_get_summary;
    decltype(&::g_settings_new_full) settings_new_full;
    decltype(&::g_settings_get_value) settings_get_value;
    decltype(&::g_settings_get_user_value) settings_get_user_value;
    decltype(&::g_settings_set_value) settings_set_value;
    decltype(&::g_settings_reset) settings_reset;
    decltype(&::g_settings_sync) settings_sync;
    decltype(&::g_settings_backend_get_default) settings_backend_get_default;
    decltype(&::g_type_name_from_instance) type_name_from_instance;

    // Null, with the reason in why, when GIO cannot be loaded.
    static const GSettingsLibrary* Load(QString* why);
};

// Owning handles: every path out releases what it took.
struct GSettingsFree {
    void operator()(GSettingsSchema* schema) const;
    void operator()(GSettingsSchemaKey* key) const;
    void operator()(GSettings* settings) const;
    void operator()(GSettingsBackend* backend) const;
    void operator()(GVariant* value) const { g_variant_unref(value); }
    void operator()(gchar** vector) const { g_strfreev(vector); }
};
template <class T> using GSettingsOwned = std::unique_ptr<T, GSettingsFree>;
