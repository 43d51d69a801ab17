#pragma once

// GIO, loaded the first time something needs it rather than with the
// program: loading it and the libraries it pulls in is a noticeable share of
// start-up, and a start neither opens a path nor lists the desktop's
// applications or sets a key. GLib itself is loaded with Qt already. Its
// users need GIO's headers (the folder does not give them).

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include <memory>

struct GioFunctions {
    decltype(&::g_object_unref) object_unref;
    decltype(&::g_app_launch_context_new) app_launch_context_new;
    decltype(&::g_app_launch_context_unsetenv) app_launch_context_unsetenv;
    decltype(&::g_app_info_get_default_for_uri_scheme) app_info_get_default_for_uri_scheme;
    decltype(&::g_file_new_for_path) file_new_for_path;
    decltype(&::g_file_get_uri) file_get_uri;
    decltype(&::g_desktop_app_info_new_from_filename) desktop_app_info_new_from_filename;
    decltype(&::g_app_info_launch_uris) app_info_launch_uris;
    decltype(&::g_desktop_app_info_launch_uris_as_manager) desktop_app_info_launch_uris_as_manager;
    decltype(&::g_desktop_app_info_get_type) desktop_app_info_get_type;
    decltype(&::g_type_check_instance_is_a) type_check_instance_is_a;
    decltype(&::g_file_new_for_uri) file_new_for_uri;
    decltype(&::g_file_query_default_handler) file_query_default_handler;
    decltype(&::g_app_info_create_from_commandline) app_info_create_from_commandline;
    decltype(&::g_io_error_quark) io_error_quark;
    decltype(&::g_app_info_get_default_for_type) app_info_get_default_for_type;
    decltype(&::g_app_info_get_id) app_info_get_id;
};

// The functions, GIO loaded at the first call; a TrinodeError with the
// loader's text when it cannot be.
const GioFunctions& Gio();

// One function of GIO (or of a library GIO brings: GObject), GIO loaded at
// the first call: a TrinodeError with the loader's text when GIO cannot be
// loaded or has no such function. Every table of GIO's functions is filled
// through it.
void* GioSymbol(const char* name);

// Owning handles for the GLib objects, released on every path out,
// exceptions included.
struct GLibFree {
    void operator()(gpointer memory) const;
    void operator()(gchar** vector) const;
    void operator()(GKeyFile* keys) const;
    void operator()(GError* error) const;
    void operator()(GAppLaunchContext* object) const;
    void operator()(GDesktopAppInfo* object) const;
    void operator()(GAppInfo* object) const;
    void operator()(GFile* object) const;
};
template <class T> using GOwned = std::unique_ptr<T, GLibFree>;
using GText = GOwned<gchar>;
