#include "platform/GioLibrary.h"

#include "store/TrinodeError.h"

#include <QString>

#include <type_traits>

#include <dlfcn.h>

void* GioSymbol(const char* name) {
    // The loader tells why only once: a failed load keeps its text for every
    // later use.
    static QString failure;
    static void* const gio = [] {
        void* library = ::dlopen("libgio-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
        if (!library)
            failure = QString::fromLocal8Bit(::dlerror());
        return library;
    }();
    if (!gio)
        throw TrinodeError(failure);
    void* symbol = ::dlsym(gio, name);
    if (!symbol)
        throw TrinodeError(QString::fromLocal8Bit(::dlerror()));
    return symbol;
}

const GioFunctions& Gio() {
    static const GioFunctions functions = [] {
        GioFunctions f{};
        const auto load = [](auto& slot, const char* name) {
            slot = reinterpret_cast<std::remove_reference_t<decltype(slot)>>(GioSymbol(name));
        };
        load(f.object_unref, "g_object_unref");
        load(f.app_launch_context_new, "g_app_launch_context_new");
        load(f.app_launch_context_unsetenv, "g_app_launch_context_unsetenv");
        load(f.app_info_get_default_for_uri_scheme, "g_app_info_get_default_for_uri_scheme");
        load(f.file_new_for_path, "g_file_new_for_path");
        load(f.file_get_uri, "g_file_get_uri");
        load(f.desktop_app_info_new_from_filename, "g_desktop_app_info_new_from_filename");
        load(f.app_info_launch_uris, "g_app_info_launch_uris");
        load(f.desktop_app_info_launch_uris_as_manager,
             "g_desktop_app_info_launch_uris_as_manager");
        load(f.desktop_app_info_get_type, "g_desktop_app_info_get_type");
        load(f.type_check_instance_is_a, "g_type_check_instance_is_a");
        load(f.file_new_for_uri, "g_file_new_for_uri");
        load(f.file_query_default_handler, "g_file_query_default_handler");
        load(f.app_info_create_from_commandline, "g_app_info_create_from_commandline");
        load(f.io_error_quark, "g_io_error_quark");
        load(f.app_info_get_default_for_type, "g_app_info_get_default_for_type");
        load(f.app_info_get_id, "g_app_info_get_id");
        return f;
    }();
    return functions;
}

void GLibFree::operator()(gpointer memory) const {
    g_free(memory);
}
void GLibFree::operator()(gchar** vector) const {
    g_strfreev(vector);
}
void GLibFree::operator()(GKeyFile* keys) const {
    g_key_file_free(keys);
}
void GLibFree::operator()(GError* error) const {
    g_error_free(error);
}
void GLibFree::operator()(GAppLaunchContext* object) const {
    Gio().object_unref(object);
}
void GLibFree::operator()(GDesktopAppInfo* object) const {
    Gio().object_unref(object);
}
void GLibFree::operator()(GAppInfo* object) const {
    Gio().object_unref(object);
}
void GLibFree::operator()(GFile* object) const {
    Gio().object_unref(object);
}
