#pragma once

#include "store/BindingText.h"

#include <QAbstractTableModel>
#include <QIcon>

#include <array>
#include <optional>
#include <vector>

class CombinationTable;

// The bound combinations as rows of five columns: the three socket pictures,
// the information and the path, in the file's order. Each row keeps the text
// the filter looks in, made once, so that a keystroke only compares.
class BindingsModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { Socket1, Socket2, Socket3, Information, Path, ColumnCount };
    // The row's key for sorting, and the text a filter is matched against.
    static constexpr int SortRole = Qt::UserRole;
    static constexpr int SearchRole = Qt::UserRole + 1;

    explicit BindingsModel(QObject* parent = nullptr);

    // Brings the rows to the table's bound combinations. A row that stayed
    // as it was is kept as it is, with its search text; a view is told of
    // each row that came, went or changed, or, when most did, of new rows
    // throughout.
    void Update(const CombinationTable& table);
    const BoundCombination& Row(int row) const { return m_rows[size_t(row)].bound; }
    void RemoveRow(int row);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // A row as a screen reader reads it: "Files, Personal, Music: Media
    // Player, /usr/bin/player"; and the same up to the path.
    static QString Spoken(const BoundCombination& bound);
    static QString SpokenChord(const BoundCombination& bound);
    // A socket value as the pictures show it, at both scales, and as it is
    // named ("Empty Socket" for the empty value).
    static QIcon SocketPicture(const QString& value);
    static QString SocketName(const QString& value);

private:
    // The texts shown are read from the bytes when a row is drawn: only the
    // rows on the screen pay for them.
    struct Shown {
        BoundCombination bound;
        QString search;
        int record = 0; // its place in the table: the rows' order
        std::array<int, 3> entries{};
        qsizetype stored = 0; // where its information and path follow in m_stored
        mutable std::optional<std::array<QString, 2>> texts; // information, path
    };
    Shown Made(const BoundRecord& record);
    bool Same(const Shown& row, const BoundRecord& record) const;
    const QString& TextOf(const Shown& row, int column) const;
    QVariant SocketData(const Shown& row, int socket, int role) const;
    const QIcon& SocketIcon(const QString& value) const;

    std::vector<Shown> m_rows;
    // Every row's information and path bytes once more, one after another in
    // the rows' order: comparing them with the table's runs through memory
    // in order instead of visiting each row's own two texts. A row made
    // again leaves its old bytes behind until the rows are made anew.
    QByteArray m_stored;
    qsizetype m_storedGone = 0;
    // The table's version when the rows were last brought to it.
    std::optional<quint64> m_updatedAt;
    mutable std::array<QIcon, 23> m_icons;
};
