#include "platform/ApplicationCatalogue.h"

#include "platform/GioLibrary.h"
#include "store/TrinodeError.h"
#include "store/WordMatch.h"

#include <QCollator>
#include <QCoreApplication>
#include <QFile>
#include <QPointer>

#include <algorithm>
#include <thread>

namespace {

QString Text(const char* utf8) {
    return utf8 ? QString::fromUtf8(utf8) : QString();
}

DesktopApplication Described(GAppInfo* info, const char* file) {
    const GioFunctions& gio = Gio();
    auto* entry = reinterpret_cast<GDesktopAppInfo*>(info);
    DesktopApplication application;
    application.name = Text(gio.app_info_get_name(info));
    application.genericName = Text(gio.desktop_app_info_get_generic_name(entry));
    for (const char* const* keyword = gio.desktop_app_info_get_keywords(entry); keyword && *keyword;
         ++keyword)
        application.keywords << Text(*keyword);
    if (const char* executable = gio.app_info_get_executable(info))
        application.executable = QFile::decodeName(executable);
    if (GIcon* icon = gio.app_info_get_icon(info)) {
        const GText text(gio.icon_to_string(icon));
        application.icon = Text(text.get());
    }
    application.desktopFile = QByteArray(file);
    application.searchText = WordMatch::SearchText({application.name, application.genericName,
                                                    application.keywords.join(QLatin1Char(' ')),
                                                    application.executable});
    return application;
}

std::vector<DesktopApplication> ReadApplications() {
    const GioFunctions& gio = Gio();
    GList* all = gio.app_info_get_all();
    std::vector<DesktopApplication> applications;
    for (GList* item = all; item; item = item->next) {
        auto* info = static_cast<GAppInfo*>(item->data);
        // Hidden entries GIO leaves out by itself; this leaves out NoDisplay
        // and those meant for other desktops, as the desktop's menus do.
        if (!gio.app_info_should_show(info))
            continue;
        const char* file =
            gio.desktop_app_info_get_filename(reinterpret_cast<GDesktopAppInfo*>(info));
        if (file)
            applications.push_back(Described(info, file));
    }
    g_list_free_full(all, gio.object_unref);
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
    std::vector<DesktopApplication> applications;
    QString failure;
};

ApplicationCatalogue::ApplicationCatalogue(QObject* parent) : QObject(parent) {}

ApplicationCatalogue::~ApplicationCatalogue() = default;

void ApplicationCatalogue::Read() {
    if (m_reading || m_read)
        return;
    m_reading = std::make_shared<Reading>();
    // The thread is not waited for: a file system that hangs holds it, not
    // the window, and a catalogue gone by the time it ends takes nothing.
    std::thread([reading = m_reading, self = QPointer<ApplicationCatalogue>(this)]() {
        try {
            reading->applications = ReadApplications();
        } catch (const TrinodeError& error) {
            reading->failure = error.Message();
        }
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [reading, self]() {
                if (!self)
                    return;
                self->m_applications = std::move(reading->applications);
                self->m_failure = reading->failure;
                self->m_read = true;
                self->m_reading.reset();
                Q_EMIT self->Ready();
            },
            Qt::QueuedConnection);
    }).detach();
}
