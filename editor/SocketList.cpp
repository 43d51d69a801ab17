#include "editor/SocketList.h"

#include "store/ButtonCatalogue.h"

#include <QSignalBlocker>

SocketList::SocketList(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTextElideMode(Qt::ElideNone);
    // The catalogue keeps the empty value last; the lists offer it first.
    QStringList values{QString()};
    for (int i = 0; i < ButtonCatalogue::ButtonCount; ++i)
        values.append(ButtonCatalogue::ButtonName(i));
    for (const QString& value : values) {
        auto* item = new QListWidgetItem(value, this);
        item->setSizeHint(QSize(1, ItemHeight));
    }
}

QString SocketList::SelectedValue() const {
    const QList<QListWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text();
}

void SocketList::SelectValue(const QString& value) {
    const QSignalBlocker blocker(this);
    const QList<QListWidgetItem*> matches =
        findItems(value, Qt::MatchExactly | Qt::MatchCaseSensitive);
    // findItems never matches the empty text, which is always the first row.
    const int found = value.isEmpty() ? 0 : matches.isEmpty() ? -1 : row(matches.first());
    setCurrentRow(found, QItemSelectionModel::ClearAndSelect);
    if (found < 0)
        clearSelection();
}

QItemSelectionModel::SelectionFlags SocketList::selectionCommand(const QModelIndex& index,
                                                                 const QEvent* event) const {
    const QItemSelectionModel::SelectionFlags flags = QListWidget::selectionCommand(index, event);
    if (flags.testFlag(QItemSelectionModel::Deselect))
        return index.isValid() ? QItemSelectionModel::ClearAndSelect
                               : QItemSelectionModel::NoUpdate;
    return flags;
}
