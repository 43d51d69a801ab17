#include "bindings/BindingsFilter.h"

#include "bindings/BindingsModel.h"
#include "store/WordMatch.h"

BindingsFilter::BindingsFilter(QObject* parent) : QSortFilterProxyModel(parent) {
    setSortRole(BindingsModel::SortRole);
    setSortCaseSensitivity(Qt::CaseInsensitive);
    setSortLocaleAware(true);
}

void BindingsFilter::SetText(const QString& text) {
    const QStringList words = WordMatch::WordsOf(text);
    if (words == m_words)
        return;
    m_words = words;
    invalidateRowsFilter();
}

bool BindingsFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
    if (m_words.isEmpty())
        return true;
    const QModelIndex index = sourceModel()->index(sourceRow, 0, sourceParent);
    return WordMatch::Matches(index.data(BindingsModel::SearchRole).toString(), m_words);
}
