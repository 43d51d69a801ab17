#pragma once

// The box that finds by typing, over a list: every word typed narrows the
// list (its WordFilter) and the first row left is selected at once, so that
// Enter can act on it; the box keeps the focus while Up, Down, Page Up and
// Page Down move in the list. It comes with its label, "&Find:", is named
// "Find" for a screen reader (its clear button "Clear") and takes the
// classic colours.

#include <QLineEdit>

class QAbstractItemView;
class QLayout;
class WordFilter;

class FilterBox final : public QLineEdit {
    Q_OBJECT
public:
    FilterBox(QAbstractItemView& list, WordFilter& filter, QWidget* parent);

    // The label and the box, side by side, for the window's layout.
    QLayout* WithLabel();
    // Selects the first row the filter leaves, and shows it.
    void SelectFirst();

Q_SIGNALS:
    // The rows left changed.
    void Narrowed();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QAbstractItemView& m_list;
    WordFilter& m_filter;
};
