#include "launcher/ImageButtonAccessible.h"

#include "launcher/ImageButton.h"

#include <QPointer>

namespace {

QAccessibleInterface* MakeInterface(const QString& className, QObject* object) {
    if (className == QLatin1String("ImageButton") && object && object->isWidgetType())
        return new ImageButtonAccessible(static_cast<ImageButton*>(object));
    return nullptr;
}

} // namespace

ImageButtonAccessible::ImageButtonAccessible(ImageButton* button)
    : QAccessibleWidget(button, QAccessible::PushButton) {}

void ImageButtonAccessible::Install() {
    static const bool installed = [] {
        QAccessible::installFactory(&MakeInterface);
        return true;
    }();
    Q_UNUSED(installed);
}

ImageButton* ImageButtonAccessible::Button() const {
    return static_cast<ImageButton*>(widget());
}

QString ImageButtonAccessible::text(QAccessible::Text kind) const {
    if (kind == QAccessible::Name) {
        const QString name = Button()->accessibleName();
        return name.isEmpty() ? Button()->toolTip() : name;
    }
    return QAccessibleWidget::text(kind);
}

QStringList ImageButtonAccessible::actionNames() const {
    return QStringList{pressAction()} + QAccessibleWidget::actionNames();
}

void ImageButtonAccessible::doAction(const QString& action) {
    if (action != pressAction()) {
        QAccessibleWidget::doAction(action);
        return;
    }
    // The press may open a modal window; the screen reader's call returns
    // first, as it does for a push button.
    QPointer<ImageButton> button = Button();
    QMetaObject::invokeMethod(
        button,
        [button] {
            if (button && button->isVisible())
                button->Click();
        },
        Qt::QueuedConnection);
}
