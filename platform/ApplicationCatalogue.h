#pragma once

// The desktop's applications, as its menus show them: every desktop entry
// that GIO finds in XDG_DATA_HOME and XDG_DATA_DIRS (and so the entries that
// Flatpak and Snap export there), less the hidden ones and those marked
// NoDisplay, sorted by name. GIO reads them, never a parser of our own.
//
// Reading loads GIO and every entry's file, so it is done once, when first
// asked for, on a thread of its own: the window that asks shows at once and
// fills its list when Ready comes.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

struct DesktopApplication {
    QString name;
    QString genericName;
    QStringList keywords;
    QString executable;
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

    // Starts reading, unless it has started already.
    void Read();
    bool IsRead() const { return m_read; }
    // Empty until read; then every application, sorted by name.
    const std::vector<DesktopApplication>& Applications() const { return m_applications; }
    // Why nothing could be read (GIO missing), once read.
    const QString& Failure() const { return m_failure; }

Q_SIGNALS:
    void Ready();

private:
    struct Reading;
    std::shared_ptr<Reading> m_reading;
    std::vector<DesktopApplication> m_applications;
    QString m_failure;
    bool m_read = false;
};
