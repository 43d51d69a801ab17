#pragma once

#include <QSortFilterProxyModel>
#include <QStringList>

// Keeps the rows whose search text (the source model's data in the search
// role, see WordMatch::SearchText) holds every word of the filter's text,
// ignoring case: the one rule of finding by typing, for every list that
// finds.
class WordFilter final : public QSortFilterProxyModel {
    Q_OBJECT
public:
    WordFilter(int searchRole, QObject* parent);
    void SetText(const QString& text);
    // Puts the rows whose name (the source model's data in the name role)
    // is the typed text first, then those that start with it, each group in
    // the source model's order (WordMatch::RankOf).
    void RankBy(int nameRole);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    int m_searchRole;
    int m_nameRole = -1;
    QStringList m_words;
};
