#include "look/ListWindow.h"

#include "look/ClassicColours.h"
#include "look/PixelFont.h"

#include <QDialog>
#include <QIcon>

namespace ListWindow {

void Dress(QDialog& window, const QString& objectName, const QString& title, QSize startSize) {
    window.setObjectName(objectName);
    window.setWindowTitle(title);
    window.setFont(PixelFont::Named("Tahoma", 13));
    window.setPalette(ClassicColours::WithWindow(Qt::black, Qt::white));
    window.setAutoFillBackground(true);
    window.resize(startSize);
}

void UseIconTheme() {
    if (QIcon::themeName().isEmpty())
        QIcon::setThemeName(QStringLiteral("hicolor"));
}

} // namespace ListWindow
