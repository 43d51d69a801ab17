#include "summon/Autostart.h"

#include "summon/TrinodeCommand.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <glib.h>

#include <memory>

namespace {

struct KeyFileFree {
    void operator()(GKeyFile* keys) const { g_key_file_free(keys); }
    void operator()(gchar* text) const { g_free(text); }
};

// GLib writes the desktop entry's escapes (a backslash, a line break).
QByteArray EntryText() {
    const std::unique_ptr<GKeyFile, KeyFileFree> keys(g_key_file_new());
    const char* group = G_KEY_FILE_DESKTOP_GROUP;
    g_key_file_set_string(keys.get(), group, G_KEY_FILE_DESKTOP_KEY_TYPE, "Application");
    g_key_file_set_string(keys.get(), group, G_KEY_FILE_DESKTOP_KEY_NAME, "Trinode");
    g_key_file_set_string(keys.get(), group, G_KEY_FILE_DESKTOP_KEY_COMMENT,
                          "Starts Trinode hidden, so that its key brings it up at once");
    const QByteArray exec = TrinodeCommand::DesktopExec(QStringLiteral("--background")).toUtf8();
    g_key_file_set_string(keys.get(), group, G_KEY_FILE_DESKTOP_KEY_EXEC, exec.constData());
    g_key_file_set_string(keys.get(), group, G_KEY_FILE_DESKTOP_KEY_ICON, "trinode");
    g_key_file_set_boolean(keys.get(), group, G_KEY_FILE_DESKTOP_KEY_TERMINAL, FALSE);
    g_key_file_set_boolean(keys.get(), group, G_KEY_FILE_DESKTOP_KEY_NO_DISPLAY, TRUE);
    g_key_file_set_boolean(keys.get(), group, "X-GNOME-Autostart-enabled", TRUE);
    gsize length = 0;
    const std::unique_ptr<gchar, KeyFileFree> text(
        g_key_file_to_data(keys.get(), &length, nullptr));
    return QByteArray(text.get(), qsizetype(length));
}

} // namespace

QString Autostart::FilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/trinode.desktop");
}

bool Autostart::Enabled() {
    return QFileInfo::exists(FilePath());
}

QString Autostart::Enable() {
    const QString path = FilePath();
    if (!QDir().mkpath(QFileInfo(path).path()))
        return QStringLiteral("cannot make the folder %1").arg(QFileInfo(path).path());
    QSaveFile file(path);
    const QByteArray text = EntryText();
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        return QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
    return {};
}

QString Autostart::Disable() {
    QFile file(FilePath());
    if (file.exists() && !file.remove())
        return QStringLiteral("cannot remove %1: %2").arg(file.fileName(), file.errorString());
    return {};
}

QString Autostart::Caveat() {
    const QString build = TrinodeCommand::BuildFolder();
    if (build.isEmpty())
        return {};
    return QStringLiteral("This Trinode runs from its build folder %1: the entry stops working "
                          "when that folder is removed. Install Trinode and turn autostart on "
                          "again from the installed trinode.")
        .arg(build);
}
