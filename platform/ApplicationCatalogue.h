#pragma once

// The desktop's applications, as its menus show them: every desktop entry in
// the applications folders of XDG_DATA_HOME and XDG_DATA_DIRS (and so the
// entries that Flatpak and Snap export there), less the hidden ones, those
// marked NoDisplay and those meant for other desktops, sorted by name.
//
// The folders are walked by ApplicationFolders, which always ends, and each
// entry is read by GLib's key-file reader under GIO's rules; GIO's own
// GDesktopAppInfo cannot read an entry without first walking every folder
// itself, which never ends where a link leads back into a folder.
//
// Reading takes every entry's file, so it runs on a thread of its own: the
// window that asks shows at once and fills its list when Ready comes. Each
// time it is asked again (each opening of a window that lists them), the
// folders are walked anew, and the entries read again only when an entry
// came, went or changed.

#include "platform/ApplicationFolders.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

struct DesktopApplication {
    // The entry's desktop ID, as GIO names it (see ApplicationFolders).
    QByteArray id;
    QString name;
    QString genericName;
    QStringList keywords;
    QString executable;
    // The entry's Categories, as written.
    QStringList categories;
    // A theme icon's name, or an icon file's path; empty when it has none.
    QString icon;
    // The entry's file, as the system names it.
    QByteArray desktopFile;
    // What a filter looks in: the name, the generic name, the keywords and the
    // executable.
    QString searchText;
};

class ApplicationCatalogue final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ApplicationCatalogue)
public:
    explicit ApplicationCatalogue(QObject* parent = nullptr);
    ~ApplicationCatalogue() override;

    // Every application of the folders listed, read on this thread, sorted
    // by name: for a caller with no window to keep answering.
    static std::vector<DesktopApplication> ReadAll(const ApplicationFolders::Listing& listing);

    // Looks whether the folders changed since the last reading, and reads
    // them again if so (the first time, reads them); unless a look is
    // under way.
    void Read();
    bool IsRead() const { return m_read; }
    // Empty until read; then every application, sorted by name.
    const std::vector<DesktopApplication>& Applications() const { return m_applications; }
    // What kept the last reading from being whole; empty when it was.
    const QString& Failure() const { return m_failure; }

Q_SIGNALS:
    // A reading has ended with another list than before.
    void Ready();

private:
    struct Reading;
    std::shared_ptr<Reading> m_reading;
    ApplicationFolders::Listing m_listing;
    std::vector<DesktopApplication> m_applications;
    QString m_failure;
    bool m_read = false;
};
