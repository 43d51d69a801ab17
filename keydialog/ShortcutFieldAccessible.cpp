#include "keydialog/ShortcutFieldAccessible.h"

#include "keydialog/ShortcutField.h"

#include <QLineEdit>

namespace {

QAccessibleInterface* MakeInterface(const QString& className, QObject* object) {
    if (className == QLatin1String("ShortcutField") && object && object->isWidgetType())
        return new ShortcutFieldAccessible(static_cast<ShortcutField*>(object));
    return nullptr;
}

} // namespace

ShortcutFieldAccessible::ShortcutFieldAccessible(ShortcutField* field)
    : QAccessibleWidget(field, QAccessible::EditableText) {}

void ShortcutFieldAccessible::Install() {
    static const bool installed = [] {
        QAccessible::installFactory(&MakeInterface);
        return true;
    }();
    Q_UNUSED(installed);
}

QAccessibleTextInterface* ShortcutFieldAccessible::Line() const {
    auto* line = widget()->findChild<QLineEdit*>();
    QAccessibleInterface* shown = line ? QAccessible::queryAccessibleInterface(line) : nullptr;
    return shown ? shown->textInterface() : nullptr;
}

void* ShortcutFieldAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::TextInterface)
        return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

QAccessible::State ShortcutFieldAccessible::state() const {
    QAccessible::State state = QAccessibleWidget::state();
    // Typing does not edit it: a key pressed while it records replaces it.
    state.readOnly = true;
    return state;
}

void ShortcutFieldAccessible::selection(int selectionIndex, int* startOffset,
                                        int* endOffset) const {
    *startOffset = *endOffset = 0;
    if (QAccessibleTextInterface* line = Line())
        line->selection(selectionIndex, startOffset, endOffset);
}

int ShortcutFieldAccessible::selectionCount() const {
    QAccessibleTextInterface* line = Line();
    return line ? line->selectionCount() : 0;
}

void ShortcutFieldAccessible::addSelection(int startOffset, int endOffset) {
    if (QAccessibleTextInterface* line = Line())
        line->addSelection(startOffset, endOffset);
}

void ShortcutFieldAccessible::removeSelection(int selectionIndex) {
    if (QAccessibleTextInterface* line = Line())
        line->removeSelection(selectionIndex);
}

void ShortcutFieldAccessible::setSelection(int selectionIndex, int startOffset, int endOffset) {
    if (QAccessibleTextInterface* line = Line())
        line->setSelection(selectionIndex, startOffset, endOffset);
}

int ShortcutFieldAccessible::cursorPosition() const {
    QAccessibleTextInterface* line = Line();
    return line ? line->cursorPosition() : 0;
}

void ShortcutFieldAccessible::setCursorPosition(int position) {
    if (QAccessibleTextInterface* line = Line())
        line->setCursorPosition(position);
}

QString ShortcutFieldAccessible::text(int startOffset, int endOffset) const {
    QAccessibleTextInterface* line = Line();
    return line ? line->text(startOffset, endOffset) : QString();
}

QString ShortcutFieldAccessible::textBeforeOffset(int offset,
                                                  QAccessible::TextBoundaryType boundaryType,
                                                  int* startOffset, int* endOffset) const {
    *startOffset = *endOffset = -1;
    QAccessibleTextInterface* line = Line();
    return line ? line->textBeforeOffset(offset, boundaryType, startOffset, endOffset) : QString();
}

QString ShortcutFieldAccessible::textAfterOffset(int offset,
                                                 QAccessible::TextBoundaryType boundaryType,
                                                 int* startOffset, int* endOffset) const {
    *startOffset = *endOffset = -1;
    QAccessibleTextInterface* line = Line();
    return line ? line->textAfterOffset(offset, boundaryType, startOffset, endOffset) : QString();
}

QString ShortcutFieldAccessible::textAtOffset(int offset,
                                              QAccessible::TextBoundaryType boundaryType,
                                              int* startOffset, int* endOffset) const {
    *startOffset = *endOffset = -1;
    QAccessibleTextInterface* line = Line();
    return line ? line->textAtOffset(offset, boundaryType, startOffset, endOffset) : QString();
}

int ShortcutFieldAccessible::characterCount() const {
    QAccessibleTextInterface* line = Line();
    return line ? line->characterCount() : 0;
}

QRect ShortcutFieldAccessible::characterRect(int offset) const {
    QAccessibleTextInterface* line = Line();
    return line ? line->characterRect(offset) : QRect();
}

int ShortcutFieldAccessible::offsetAtPoint(const QPoint& point) const {
    QAccessibleTextInterface* line = Line();
    return line ? line->offsetAtPoint(point) : -1;
}

void ShortcutFieldAccessible::scrollToSubstring(int startIndex, int endIndex) {
    if (QAccessibleTextInterface* line = Line())
        line->scrollToSubstring(startIndex, endIndex);
}

QString ShortcutFieldAccessible::attributes(int, int* startOffset, int* endOffset) const {
    // The key is one run of text without attributes of its own; a screen
    // reader that asks per character otherwise loses the last one.
    *startOffset = 0;
    *endOffset = characterCount();
    return {};
}
