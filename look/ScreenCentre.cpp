#include "look/ScreenCentre.h"

#include <QScreen>
#include <QWidget>

namespace ScreenCentre {

void Centre(QWidget& window) {
    const QWidget* parent = window.parentWidget();
    const QScreen* screen = parent ? parent->screen() : window.screen();
    if (screen)
        Centre(window, *screen);
}

// The window's own area is centred, not its frame: before its first showing
// the window manager has not yet given it one, and a position set through
// move() means the frame's corner once it has, so the same window would open
// lower from its second showing on. A geometry asks the same every time.
void Centre(QWidget& window, const QScreen& screen) {
    QRect area = window.geometry();
    area.moveCenter(screen.availableGeometry().center());
    window.setGeometry(area);
}

} // namespace ScreenCentre
