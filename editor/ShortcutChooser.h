#pragma once

#include <QString>

#include <optional>

class QWidget;

// The editor's open-file dialog: one filter entry, "Shortcuts & Programs"
// (see LaunchableFilter), no title of its own and no default extension; a
// typed name need not exist. It starts at the path given, or in the home
// folder when none is, and returns the confirmed full path, or nothing when
// cancelled.
//
// It is Qt's own dialog, not the desktop's: only that one takes the proxy
// model that recognises executable files.
namespace ShortcutChooser {

std::optional<QString> Show(QWidget* parent, const QString& startPath);

} // namespace ShortcutChooser
