#pragma once

#include <QListWidget>

// One of the editor's three socket lists: the empty value first, then the 22
// catalogue names, one selected at a time. Like the main window's sockets it
// always holds a value, so the user can move the selection but not empty it.
class SocketList final : public QListWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SocketList)
public:
    static constexpr int ItemHeight = 13;

    explicit SocketList(QWidget* parent);

    // The text of the selected item; empty when nothing is selected.
    QString SelectedValue() const;
    // Selects the item equal to the value without telling anyone; a value
    // that is no item leaves nothing selected.
    void SelectValue(const QString& value);

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override;
};
