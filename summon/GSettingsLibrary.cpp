#include "summon/GSettingsLibrary.h"

#include "platform/GioLibrary.h"
#include "store/TrinodeError.h"

#include <type_traits>

namespace {

const GSettingsLibrary* g_loaded = nullptr;

} // namespace

const GSettingsLibrary* GSettingsLibrary::Load(QString* why) {
    static const QString failure = [] {
        static GSettingsLibrary f{};
        const auto load = [](auto& slot, const char* name) {
            slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(GioSymbol(name));
        };
        try {
            load(f.object_unref, "g_object_unref");
            load(f.schema_source_get_default, "g_settings_schema_source_get_default");
            load(f.schema_source_lookup, "g_settings_schema_source_lookup");
            load(f.schema_unref, "g_settings_schema_unref");
            load(f.schema_list_keys, "g_settings_schema_list_keys");
            load(f.schema_get_key, "g_settings_schema_get_key");
            load(f.schema_key_unref, "g_settings_schema_key_unref");
            load(f.schema_key_get_value_type, "g_settings_schema_key_get_value_type");
            load(f.schema_key_get_summary, "g_settings_schema_key_get_summary");
            load(f.settings_new_full, "g_settings_new_full");
            load(f.settings_get_value, "g_settings_get_value");
            load(f.settings_get_user_value, "g_settings_get_user_value");
            load(f.settings_set_value, "g_settings_set_value");
            load(f.settings_reset, "g_settings_reset");
            load(f.settings_sync, "g_settings_sync");
            load(f.settings_backend_get_default, "g_settings_backend_get_default");
            load(f.type_name_from_instance, "g_type_name_from_instance");
        } catch (const TrinodeError& error) {
            return error.Message();
        }
        g_loaded = &f;
        return QString();
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
