#include "platform/ApplicationFolders.h"

#include <QDir>
#include <QFile>
#include <QList>

#include <memory>
#include <set>
#include <utility>

#include <dirent.h>
#include <sys/stat.h>

namespace ApplicationFolders {
namespace {

using Clock = std::chrono::steady_clock;
using FolderId = std::pair<dev_t, ino_t>;

struct CloseFolder {
    void operator()(DIR* folder) const { ::closedir(folder); }
};
using OpenFolder = std::unique_ptr<DIR, CloseFolder>;

// The applications folders in the order GLib names the data folders: the
// user's own first.
QList<QByteArray> Roots() {
    QByteArray home = qgetenv("XDG_DATA_HOME");
    if (home.isEmpty())
        home = QFile::encodeName(QDir::homePath()) + "/.local/share";
    QByteArray system = qgetenv("XDG_DATA_DIRS");
    if (system.isEmpty())
        system = "/usr/local/share/:/usr/share/";
    QList<QByteArray> roots{home};
    for (const QByteArray& folder : system.split(':'))
        if (!folder.isEmpty())
            roots.append(folder);
    for (QByteArray& root : roots) {
        while (root.size() > 1 && root.endsWith('/'))
            root.chop(1);
        root += "/applications";
    }
    return roots;
}

class Walker final {
public:
    explicit Walker(std::chrono::milliseconds limit) : m_deadline(Clock::now() + limit) {}

    Listing Walk() {
        for (const QByteArray& root : Roots()) {
            struct stat status {};
            if (m_listing.complete && ::stat(root.constData(), &status) == 0 &&
                S_ISDIR(status.st_mode))
                Enter(root, "", {status.st_dev, status.st_ino});
        }
        return std::move(m_listing);
    }

private:
    void Enter(const QByteArray& folder, const QByteArray& prefix, FolderId id) {
        if (m_visited.count(id)) {
            // Two ways to one folder give its entries once; a way back into
            // a folder being walked is a loop, which GIO would follow for ever.
            for (const FolderId& open : m_open)
                if (open == id && m_listing.loop.isEmpty())
                    m_listing.loop = folder;
            return;
        }
        const OpenFolder opened(::opendir(folder.constData()));
        if (!opened)
            return;
        m_visited.insert(id);
        m_open.push_back(id);
        while (const dirent* item = ::readdir(opened.get())) {
            if (Clock::now() > m_deadline) {
                m_listing.complete = false;
                break;
            }
            const QByteArray name(item->d_name);
            if (name == "." || name == "..")
                continue;
            Take(folder + '/' + name, prefix, name);
        }
        m_open.pop_back();
    }

    // As GIO: a name ending in .desktop is an entry, whatever it is; any
    // other name that leads to a folder is walked.
    void Take(const QByteArray& path, const QByteArray& prefix, const QByteArray& name) {
        struct stat status {};
        const bool found = ::stat(path.constData(), &status) == 0;
        if (name.endsWith(".desktop")) {
            const QByteArray id = prefix + name;
            if (m_ids.insert(id).second)
                m_listing.entries.push_back(
                    {id, path,
                     found ? qint64(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec
                           : 0,
                     found ? qint64(status.st_size) : 0});
        } else if (found && S_ISDIR(status.st_mode)) {
            Enter(path, prefix + name + '-', {status.st_dev, status.st_ino});
        }
    }

    Clock::time_point m_deadline;
    Listing m_listing;
    std::set<FolderId> m_visited;
    std::vector<FolderId> m_open;
    std::set<QByteArray> m_ids;
};

} // namespace

QString Listing::Obstacle() const {
    if (!loop.isEmpty())
        return QStringLiteral("The applications folder %1 leads back into a folder it is in")
            .arg(QFile::decodeName(loop));
    if (!complete)
        return QStringLiteral("The applications folders take more than %1 seconds to read")
            .arg(TimeLimit.count());
    return {};
}

Listing Walk(std::chrono::milliseconds limit) {
    return Walker(limit).Walk();
}

} // namespace ApplicationFolders
