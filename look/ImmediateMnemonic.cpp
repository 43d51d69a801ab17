#include "look/ImmediateMnemonic.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QShortcutEvent>

namespace {

class Filter final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Shortcut)
            return false;
        auto* button = qobject_cast<QAbstractButton*>(watched);
        // A letter that two buttons share moves the focus between them, as
        // Qt does it.
        if (!button || static_cast<QShortcutEvent*>(event)->isAmbiguous())
            return false;
        if (button->isEnabled()) {
            if (button->isCheckable() && (button->focusPolicy() & Qt::ClickFocus))
                button->setFocus(Qt::ShortcutFocusReason);
            button->click();
        }
        return true;
    }
};

} // namespace

namespace ImmediateMnemonic {

void Install(QCoreApplication& application) {
    application.installEventFilter(new Filter(&application));
}

} // namespace ImmediateMnemonic
