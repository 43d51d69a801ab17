#include "bindings/BindingsModel.h"

#include "art/Art.h"
#include "art/PictureTable.h"
#include "store/ButtonCatalogue.h"
#include "store/CombinationRecord.h"

#include <QPixmap>

QString BindingsModel::SocketName(const QString& value) {
    return value.isEmpty() ? QStringLiteral("Empty Socket") : value;
}

BindingsModel::BindingsModel(QObject* parent) : QAbstractTableModel(parent) {}

void BindingsModel::SetRows(std::vector<BoundCombination> rows) {
    beginResetModel();
    m_rows.clear();
    m_rows.reserve(rows.size());
    for (BoundCombination& bound : rows) {
        QString search = BindingText::SearchText(bound);
        m_rows.push_back({std::move(bound), std::move(search), std::nullopt});
    }
    endResetModel();
}

void BindingsModel::RemoveRow(int row) {
    beginRemoveRows({}, row, row);
    m_rows.erase(m_rows.begin() + row);
    endRemoveRows();
}

int BindingsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int BindingsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QString BindingsModel::Spoken(const BoundCombination& bound) {
    return SpokenChord(bound) + QStringLiteral(", ") +
           CombinationRecord::Decode(bound.binding.path);
}

QString BindingsModel::SpokenChord(const BoundCombination& bound) {
    const Combination& c = bound.combination;
    return QStringLiteral("%1, %2, %3: %4")
        .arg(SocketName(c[0]), SocketName(c[1]), SocketName(c[2]),
             CombinationRecord::Decode(bound.binding.info));
}

QIcon BindingsModel::SocketPicture(const QString& value) {
    // The pictures the main window's sockets show.
    const QString picture = PictureTable::SocketPictureOf(
        ButtonCatalogue::ButtonIndex(value).value_or(ButtonCatalogue::EmptyIndex));
    QIcon icon;
    for (const int scale : {1, 2})
        icon.addPixmap(QPixmap::fromImage(Art::Load(picture, scale)));
    return icon;
}

const QIcon& BindingsModel::SocketIcon(const QString& value) const {
    const int entry = ButtonCatalogue::ButtonIndex(value).value_or(ButtonCatalogue::EmptyIndex);
    QIcon& icon = m_icons[size_t(entry)];
    if (icon.isNull())
        icon = SocketPicture(value);
    return icon;
}

QVariant BindingsModel::SocketData(const Shown& row, int socket, int role) const {
    const QString& value = row.bound.combination[size_t(socket)];
    switch (role) {
    case Qt::DecorationRole:
        return SocketIcon(value);
    case Qt::ToolTipRole:
        return SocketName(value);
    case Qt::AccessibleTextRole:
        // The first cell is where the row's focus stands: it reads the row.
        return socket == 0 ? Spoken(row.bound) : SocketName(value);
    case SortRole:
        return value;
    default:
        return {};
    }
}

const QString& BindingsModel::TextOf(const Shown& row, int column) const {
    if (!row.texts)
        row.texts = {CombinationRecord::Decode(row.bound.binding.info),
                     CombinationRecord::Decode(row.bound.binding.path)};
    return (*row.texts)[column == Information ? 0 : 1];
}

QVariant BindingsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= int(m_rows.size()))
        return {};
    const Shown& row = m_rows[size_t(index.row())];
    if (role == SearchRole)
        return row.search;
    switch (Column(index.column())) {
    case Socket1:
    case Socket2:
    case Socket3:
        return SocketData(row, index.column(), role);
    case Information:
    case Path: {
        const QString& text = TextOf(row, index.column());
        if (role == Qt::DisplayRole || role == Qt::ToolTipRole || role == Qt::AccessibleTextRole ||
            role == SortRole)
            return text;
        return {};
    }
    case ColumnCount:
        break;
    }
    return {};
}

QVariant BindingsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    switch (Column(section)) {
    case Socket1:
    case Socket2:
    case Socket3:
        return role == Qt::DisplayRole ? QString::number(section + 1)
                                       : QStringLiteral("Socket %1").arg(section + 1);
    case Information:
        return QStringLiteral("Information");
    case Path:
        return QStringLiteral("Path");
    case ColumnCount:
        break;
    }
    return {};
}
