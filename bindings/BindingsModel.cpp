#include "bindings/BindingsModel.h"

#include "art/Art.h"
#include "art/PictureTable.h"
#include "store/ButtonCatalogue.h"
#include "store/CombinationRecord.h"
#include "store/CombinationTable.h"

#include <QPixmap>

QString BindingsModel::SocketName(const QString& value) {
    return value.isEmpty() ? QStringLiteral("Empty Socket") : value;
}

BindingsModel::BindingsModel(QObject* parent) : QAbstractTableModel(parent) {}

namespace {

// More changed rows than this are shown as new rows throughout: one by one,
// each would set the sorting and the filter to work again.
constexpr size_t MostChanges = 64;

} // namespace

BindingsModel::Shown BindingsModel::Made(const BoundRecord& record) {
    Shown row;
    for (size_t s = 0; s < 3; ++s)
        row.bound.combination[s] = ButtonCatalogue::ButtonName(record.entries[s]);
    row.bound.binding = {record.info.toByteArray(), record.path.toByteArray()};
    row.search = BindingText::SearchText(row.bound);
    row.record = record.record;
    row.entries = record.entries;
    return row;
}

bool BindingsModel::Same(const Shown& row, const BoundRecord& record) {
    return row.entries == record.entries && row.bound.binding.info == record.info &&
           row.bound.binding.path == record.path;
}

void BindingsModel::Update(const CombinationTable& table) {
    // The table's rows, in its order as the rows are; they stay valid while
    // this runs.
    std::vector<BoundRecord> fresh;
    fresh.reserve(m_rows.size() + 1);
    table.VisitBoundRecords([&fresh](const BoundRecord& record) { fresh.push_back(record); });

    // Walks both in the table's order: a row before the next fresh one went,
    // a fresh one before the next row came, and one at the same place stayed
    // or changed.
    const auto walk = [&](const auto& went, const auto& came, const auto& changed) {
        size_t row = 0;
        for (const BoundRecord& record : fresh) {
            while (row < m_rows.size() && m_rows[row].record < record.record)
                row = went(row);
            if (row < m_rows.size() && m_rows[row].record == record.record) {
                if (!Same(m_rows[row], record))
                    changed(row, record);
                ++row;
            } else {
                row = came(row, record);
            }
        }
        while (row < m_rows.size())
            row = went(row);
    };
    size_t changes = 0;
    walk([&](size_t row) { return ++changes, row + 1; },
         [&](size_t row, const BoundRecord&) { return ++changes, row; },
         [&](size_t, const BoundRecord&) { ++changes; });
    if (changes == 0)
        return;
    if (changes > MostChanges) {
        beginResetModel();
        m_rows.clear();
        m_rows.reserve(fresh.size());
        for (const BoundRecord& record : fresh)
            m_rows.push_back(Made(record));
        endResetModel();
        return;
    }
    walk(
        [this](size_t row) {
            RemoveRow(int(row));
            return row;
        },
        [this](size_t row, const BoundRecord& record) {
            beginInsertRows({}, int(row), int(row));
            m_rows.insert(m_rows.begin() + qsizetype(row), Made(record));
            endInsertRows();
            return row + 1;
        },
        [this](size_t row, const BoundRecord& record) {
            m_rows[row] = Made(record);
            Q_EMIT dataChanged(index(int(row), 0), index(int(row), ColumnCount - 1));
        });
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
