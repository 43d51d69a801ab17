#pragma once

// The windows that list things to choose among (the bindings window, the
// application chooser, Bind Applications) look alike: a title bar with only a
// close box, the editor's black window with white captions and the classic
// palette for every control, readable under any theme, in 13-pixel Tahoma.

#include <QSize>
#include <QString>
#include <Qt>

class QDialog;

namespace ListWindow {

inline constexpr Qt::WindowFlags Flags =
    Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;

void Dress(QDialog& window, const QString& objectName, const QString& title, QSize startSize);

// The list's icons come from the desktop's icon theme, or from the
// freedesktop one, which still names every application's icon.
void UseIconTheme();

} // namespace ListWindow
