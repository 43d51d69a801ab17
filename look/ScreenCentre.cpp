#include "look/ScreenCentre.h"

#include <QScreen>
#include <QWidget>

namespace ScreenCentre {

void Centre(QWidget& window) {
    const QWidget* parent = window.parentWidget();
    const QScreen* screen = parent ? parent->screen() : window.screen();
    if (!screen)
        return;
    QRect frame = window.frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window.move(frame.topLeft());
}

} // namespace ScreenCentre
