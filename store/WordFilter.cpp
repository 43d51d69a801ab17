#include "store/WordFilter.h"

#include "store/WordMatch.h"

WordFilter::WordFilter(int searchRole, QObject* parent)
    : QSortFilterProxyModel(parent), m_searchRole(searchRole) {}

void WordFilter::SetText(const QString& text) {
    const QStringList words = WordMatch::WordsOf(text);
    if (words == m_words)
        return;
    m_words = words;
    invalidateRowsFilter();
}

bool WordFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
    if (m_words.isEmpty())
        return true;
    const QModelIndex index = sourceModel()->index(sourceRow, 0, sourceParent);
    return WordMatch::Matches(index.data(m_searchRole).toString(), m_words);
}
