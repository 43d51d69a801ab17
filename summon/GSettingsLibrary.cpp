#include "summon/GSettingsLibrary.h"

#include <dlfcn.h>

#include <type_traits>

namespace {

const GSettingsLibrary* g_loaded = nullptr;

} // namespace

const GSettingsLibrary* GSettingsLibrary::Load(QString* why) {
    static const QString failure = [] {
        void* gio = ::dlopen("libgio-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
        if (!gio)
            return QString::fromLocal8Bit(::dlerror());
        static GSettingsLibrary f{};
        QString missing;
        const auto Load = [gio, &missing](auto& slot, const char* name) {
            slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(::dlsym(gio, name));
            if (!slot && missing.isEmpty())
                missing = QString::fromLocal8Bit(::dlerror());
        };
        Load(f.object_unref, "g_object_unref");
        Load(f.schema_source_get_default, "g_settings_schema_source_get_default");
        Load(f.schema_source_lookup, "g_settings_schema_source_lookup");
        Load(f.schema_unref, "g_settings_schema_unref");
        Load(f.schema_list_keys, "g_settings_schema_list_keys");
        Load(f.schema_get_key, "g_settings_schema_get_key");
        Load(f.schema_key_unref, "g_settings_schema_key_unref");
        Load(f.schema_key_get_value_type, "g_settings_schema_key_get_value_type");
        Load(f.schema_key_get_summary, "g_settings_schema_key_get_summary");
        Load(f.settings_new_full, "g_settings_new_full");
        Load(f.settings_get_value, "g_settings_get_value");
        Load(f.settings_get_user_value, "g_settings_get_user_value");
        Load(f.settings_set_value, "g_settings_set_value");
        Load(f.settings_reset, "g_settings_reset");
        Load(f.settings_sync, "g_settings_sync");
        Load(f.settings_backend_get_default, "g_settings_backend_get_default");
        Load(f.type_name_from_instance, "g_type_name_from_instance");
        if (missing.isEmpty())
            g_loaded = &f;
        return missing;
    }();
    if (!g_loaded && why)
        *why = failure;
    return g_loaded;
}

void GSettingsFree::operator()(GSettingsSchema* schema) const {
    g_loaded->schema_unref(schema);
}

void GSettingsFree::operator()(GSettingsSchemaKey* key) const {
    g_loaded->schema_key_unref(key);
}

void GSettingsFree::operator()(GSettings* settings) const {
    g_loaded->object_unref(settings);
}

void GSettingsFree::operator()(GSettingsBackend* backend) const {
    g_loaded->object_unref(backend);
}
