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

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    int m_searchRole;
    QStringList m_words;
};
