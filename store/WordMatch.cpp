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

} // namespace WordMatch
