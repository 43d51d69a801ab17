#pragma once

// Numbers as the user reads them in Trinode's texts: thousands grouped with
// commas, whatever the locale (the texts are English), and a noun in the
// singular for one.

#include <QString>

namespace Counted {

// 2141392 as "2,141,392".
QString Grouped(qint64 number);
// "1 combination", "2 combinations": the number grouped, then the noun.
QString Of(qint64 number, const QString& one, const QString& many);

} // namespace Counted
