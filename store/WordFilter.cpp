#include "store/WordFilter.h"

#include "store/WordMatch.h"

WordFilter::WordFilter(int searchRole, QObject* parent)
    : QSortFilterProxyModel(parent), m_searchRole(searchRole) {}

void WordFilter::SetText(const QString& text) {
    const QStringList words = WordMatch::WordsOf(text);
    if (words == m_words)
        return;
    m_words = words;
    // A ranked list orders its rows anew by what is typed.
    if (m_nameRole >= 0)
        invalidate();
    else
        invalidateRowsFilter();
}

void WordFilter::RankBy(int nameRole) {
    m_nameRole = nameRole;
    sort(0);
}

bool WordFilter::lessThan(const QModelIndex& left, const QModelIndex& right) const {
    if (m_nameRole < 0)
        return QSortFilterProxyModel::lessThan(left, right);
    const auto rank = [this](const QModelIndex& index) {
        return WordMatch::RankOf(index.data(m_nameRole).toString(), m_words);
    };
    const WordMatch::NameRank leftRank = rank(left);
    const WordMatch::NameRank rightRank = rank(right);
    return leftRank != rightRank ? leftRank < rightRank : left.row() < right.row();
}

bool WordFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
    if (m_words.isEmpty())
        return true;
    const QModelIndex index = sourceModel()->index(sourceRow, 0, sourceParent);
    return WordMatch::Matches(index.data(m_searchRole).toString(), m_words);
}
