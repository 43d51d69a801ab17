#pragma once

// What a screen reader finds of a ShortcutField: a text field named by the
// field's accessible name whose text is the key it shows, so that the key is
// read out as the focus reaches it. The field's own line of text does the
// reading; the field keeps the focus, which a plain widget would give no
// text.

#include <QAccessibleWidget>

class ShortcutField;

class ShortcutFieldAccessible final : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit ShortcutFieldAccessible(ShortcutField* field);

    // Makes every ShortcutField answer through this class; safe to call again.
    static void Install();

    void* interface_cast(QAccessible::InterfaceType type) override;
    QAccessible::State state() const override;

    void selection(int selectionIndex, int* startOffset, int* endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QString text(int startOffset, int endOffset) const override;
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                             int* startOffset, int* endOffset) const override;
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                            int* startOffset, int* endOffset) const override;
    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                         int* endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint& point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;
    QString attributes(int offset, int* startOffset, int* endOffset) const override;

    using QAccessibleWidget::text;

private:
    // The field's line of text, which draws what it shows.
    QAccessibleTextInterface* Line() const;
};
