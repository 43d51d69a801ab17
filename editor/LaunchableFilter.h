#pragma once

#include <QSortFilterProxyModel>

class QFileInfo;

// What the file chooser offers under "Shortcuts & Programs": folders to walk
// into, the files that Run starts (executable files and desktop launchers),
// and the Windows kinds *.lnk, *.exe, *.bat and *.com, which Run hands to
// the application the desktop opens them with, as any document. It sits
// between the chooser and its file-system model, since a name pattern alone
// cannot tell an executable file.
class LaunchableFilter final : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit LaunchableFilter(QObject* parent);

    static bool Shows(const QFileInfo& file);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
};
