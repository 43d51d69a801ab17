#include "store/Counted.h"

namespace Counted {

QString Grouped(qint64 number) {
    QString digits = QString::number(number);
    const qsizetype first = digits.startsWith(QLatin1Char('-')) ? 1 : 0;
    for (qsizetype at = digits.size() - 3; at > first; at -= 3)
        digits.insert(at, QLatin1Char(','));
    return digits;
}

QString Of(qint64 number, const QString& one, const QString& many) {
    return Grouped(number) + QLatin1Char(' ') + (number == 1 ? one : many);
}

} // namespace Counted
