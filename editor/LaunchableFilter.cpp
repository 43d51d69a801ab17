#include "editor/LaunchableFilter.h"

#include "platform/OpenPath.h"

#include <QFile>
#include <QFileInfo>
#include <QFileSystemModel>

LaunchableFilter::LaunchableFilter(QObject* parent) : QSortFilterProxyModel(parent) {}

bool LaunchableFilter::Shows(const QFileInfo& file) {
    if (file.isDir())
        return true;
    static const QStringList suffixes{QStringLiteral("lnk"), QStringLiteral("exe"),
                                      QStringLiteral("bat"), QStringLiteral("com")};
    if (suffixes.contains(file.suffix(), Qt::CaseInsensitive))
        return true;
    return StartsItself(QFile::encodeName(file.absoluteFilePath()));
}

bool LaunchableFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
    const auto* files = qobject_cast<const QFileSystemModel*>(sourceModel());
    if (!files)
        return true;
    return Shows(files->fileInfo(files->index(sourceRow, 0, sourceParent)));
}
