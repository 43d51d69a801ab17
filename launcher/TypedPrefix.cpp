#include "launcher/TypedPrefix.h"

#include "store/ButtonCatalogue.h"

namespace {

QStringList NamesStartingWith(const QString& start) {
    QStringList names;
    for (int i = 0; i < ButtonCatalogue::ButtonCount; ++i) {
        QString name = ButtonCatalogue::ButtonName(i);
        if (name.startsWith(start, Qt::CaseInsensitive))
            names.append(std::move(name));
    }
    return names;
}

} // namespace

TypedPrefix::Result TypedPrefix::Type(QChar typed) {
    static const QString Digits[] = {QStringLiteral("One"), QStringLiteral("Two"),
                                     QStringLiteral("Three")};
    if (typed >= QLatin1Char('1') && typed <= QLatin1Char('3')) {
        Reset();
        return {Digits[typed.unicode() - '1'], {}};
    }
    if (!typed.isLetter()) {
        Reset();
        return {};
    }
    QString start = m_typed + typed;
    QStringList names = NamesStartingWith(start);
    if (names.isEmpty()) {
        m_pressed = false;
        start = QString(typed);
        names = NamesStartingWith(start);
    }
    if (names.isEmpty()) {
        Reset();
        return {};
    }
    m_typed = start;
    if (names.size() > 1) {
        m_pressed = false;
        return {{}, names};
    }
    if (m_pressed)
        return {};
    m_pressed = true;
    return {names.first(), {}};
}

void TypedPrefix::Reset() {
    m_typed.clear();
    m_pressed = false;
}
