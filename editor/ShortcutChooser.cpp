#include "editor/ShortcutChooser.h"

#include "editor/LaunchableFilter.h"
#include "store/UserHome.h"

#include <QFile>
#include <QFileDialog>

namespace ShortcutChooser {

std::optional<QString> Show(QWidget* parent, const QString& startPath) {
    QFileDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("OpenDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    // Every name passes the pattern; the proxy decides what is shown.
    dialog.setNameFilter(QStringLiteral("Shortcuts & Programs (*)"));
    dialog.setProxyModel(new LaunchableFilter(&dialog));
    dialog.setSizeGripEnabled(true);
    // Like the desktop, it starts in the user's home, not in whatever folder
    // Trinode was started from; a remembered path takes it to that path.
    dialog.setDirectory(QFile::decodeName(UserHome::LocalPath()));
    if (!startPath.isEmpty())
        dialog.selectFile(startPath);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty())
        return std::nullopt;
    return chosen.first();
}

} // namespace ShortcutChooser
