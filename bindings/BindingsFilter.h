#pragma once

#include <QSortFilterProxyModel>
#include <QStringList>

// Keeps the rows whose information, path or button names hold every word of
// the filter, ignoring case: the rule `trinode --list` follows too.
class BindingsFilter final : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit BindingsFilter(QObject* parent = nullptr);
    void SetText(const QString& text);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    QStringList m_words;
};
