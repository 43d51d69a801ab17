#include "store/WordMatch.h"

#include <QRegularExpression>

namespace WordMatch {

QStringList WordsOf(const QString& text) {
    static const QRegularExpression space(QStringLiteral("\\s+"));
    return text.split(space, Qt::SkipEmptyParts);
}

QString SearchText(const QStringList& parts) {
    return parts.join(QLatin1Char('\n'));
}

bool Matches(const QString& searchText, const QStringList& words) {
    for (const QString& word : words)
        if (!searchText.contains(word, Qt::CaseInsensitive))
            return false;
    return true;
}

NameRank RankOf(const QString& name, const QStringList& words) {
    const QString typed = words.join(QLatin1Char(' '));
    const QString named = WordsOf(name).join(QLatin1Char(' '));
    if (typed.isEmpty())
        return NameRank::Other;
    if (named.compare(typed, Qt::CaseInsensitive) == 0)
        return NameRank::Equal;
    if (named.startsWith(typed, Qt::CaseInsensitive))
        return NameRank::Starts;
    return NameRank::Other;
}

} // namespace WordMatch
