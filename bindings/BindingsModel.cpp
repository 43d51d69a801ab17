#include "bindings/BindingsModel.h"

#include "art/Art.h"
#include "art/PictureTable.h"
#include "store/ButtonCatalogue.h"
#include "store/CombinationRecord.h"
#include "store/CombinationTable.h"

#include <QPixmap>

#include <algorithm>

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
    row.stored = m_stored.size();
    m_stored.append(record.info).append(record.path);
    for (size_t s = 0; s < 3; ++s)
        row.bound.combination[s] = ButtonCatalogue::ButtonName(record.entries[s]);
    row.bound.binding = {record.info.toByteArray(), record.path.toByteArray()};
    row.search = BindingText::SearchText(row.bound);
    row.record = record.record;
    row.entries = record.entries;
    return row;
}

bool BindingsModel::Same(const Shown& row, const BoundRecord& record) const {
    const qsizetype info = row.bound.binding.info.size();
    return row.entries == record.entries && info == record.info.size() &&
           row.bound.binding.path.size() == record.path.size() &&
           QByteArrayView(m_stored).sliced(row.stored, info) == record.info &&
           QByteArrayView(m_stored).sliced(row.stored + info, record.path.size()) == record.path;
}

void BindingsModel::Update(const CombinationTable& table) {
    // What changed, found in one walk of the table and the rows together,
    // both in the table's order: a row before the next bound record went,
    // a record before the next row came, and one at the same place stayed
    // or changed. Rows are named by their place before the update.
    enum class Kind { Went, Came, Changed };
    struct Change {
        Kind kind;
        size_t row;
        Shown made;
    };
    std::vector<Change> changes;
    bool many = false;
    const std::optional<std::vector<int>> changed =
        m_updatedAt ? table.ChangedSince(*m_updatedAt) : std::nullopt;
    if (changed) {
        // Saves changed only these records, and no record's combination:
        // only their rows can have come, gone or changed.
        many = changed->size() > MostChanges;
        for (size_t i = 0; !many && i < changed->size(); ++i) {
            const int number = (*changed)[i];
            const auto at = std::lower_bound(
                m_rows.begin(), m_rows.end(), number,
                [](const Shown& shown, int record) { return shown.record < record; });
            const size_t row = size_t(at - m_rows.begin());
            const bool shown = at != m_rows.end() && at->record == number;
            const std::optional<BoundRecord> record = table.BoundAt(number);
            if (record && shown && !Same(*at, *record))
                changes.push_back({Kind::Changed, row, Made(*record)});
            else if (record && !shown)
                changes.push_back({Kind::Came, row, Made(*record)});
            else if (!record && shown)
                changes.push_back({Kind::Went, row, {}});
        }
    } else {
        size_t row = 0;
        table.VisitBoundRecords([&](const BoundRecord& record) {
            if (many)
                return;
            for (; row < m_rows.size() && m_rows[row].record < record.record; ++row)
                changes.push_back({Kind::Went, row, {}});
            if (row < m_rows.size() && m_rows[row].record == record.record) {
                if (!Same(m_rows[row], record))
                    changes.push_back({Kind::Changed, row, Made(record)});
                ++row;
            } else {
                changes.push_back({Kind::Came, row, Made(record)});
            }
            many = changes.size() > MostChanges;
        });
        for (; !many && row < m_rows.size(); ++row)
            changes.push_back({Kind::Went, row, {}});
    }
    m_updatedAt = table.Version();
    if (many || changes.size() > MostChanges) {
        beginResetModel();
        m_rows.clear();
        m_stored.clear();
        m_storedGone = 0;
        table.VisitBoundRecords([this](const BoundRecord& record) { m_rows.push_back(Made(record)); });
        endResetModel();
        return;
    }
    // Each row that came or went moves the places of those after it.
    qsizetype shift = 0;
    for (Change& change : changes) {
        const int at = int(qsizetype(change.row) + shift);
        switch (change.kind) {
        case Kind::Went:
            RemoveRow(at);
            --shift;
            break;
        case Kind::Came:
            beginInsertRows({}, at, at);
            m_rows.insert(m_rows.begin() + at, std::move(change.made));
            endInsertRows();
            ++shift;
            break;
        case Kind::Changed: {
            // A new binding for the same combination changes its texts
            // alone: a view sorted by a socket need not sort again.
            Shown& shown = m_rows[size_t(at)];
            const int first = shown.entries == change.made.entries ? Information : 0;
            m_storedGone += shown.bound.binding.info.size() + shown.bound.binding.path.size();
            shown = std::move(change.made);
            Q_EMIT dataChanged(index(at, first), index(at, ColumnCount - 1));
            break;
        }
        }
    }
    // The bytes left behind by rows made again or gone go once they are
    // most of them.
    if (m_storedGone > m_stored.size() / 2 + 4096) {
        QByteArray stored;
        stored.reserve(m_stored.size() - m_storedGone);
        for (Shown& row : m_rows) {
            row.stored = stored.size();
            stored.append(row.bound.binding.info).append(row.bound.binding.path);
        }
        m_stored = std::move(stored);
        m_storedGone = 0;
    }
}

void BindingsModel::RemoveRow(int row) {
    const StoredBinding& binding = m_rows[size_t(row)].bound.binding;
    m_storedGone += binding.info.size() + binding.path.size();
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
