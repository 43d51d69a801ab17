#include "store/ButtonCatalogue.h"

#include <QStringList>

namespace ButtonCatalogue {

const std::array<const char*, EntryCount> Names = {
    "Control",  "Display",  "Files",  "Help",   "Internet",     "Music",    "Network", "Personal",
    "Pictures", "Settings", "System", "Videos", "Applications", "Mail",     "Office",  "User",
    "One",      "Two",      "Three",  "Games",  "Trash",        "Projects", ""};

namespace {

// Made once and shared: a list of thousands of combinations copies these
// rather than making a text for every socket.
const std::array<QString, EntryCount>& Texts() {
    static const std::array<QString, EntryCount> texts = [] {
        std::array<QString, EntryCount> made;
        for (int i = 0; i < EntryCount; ++i)
            made[size_t(i)] = QString::fromLatin1(Names[size_t(i)]);
        return made;
    }();
    return texts;
}

} // namespace

QString ButtonName(int buttonIndex) {
    if (buttonIndex < 0 || buttonIndex >= EntryCount)
        return {};
    return Texts()[size_t(buttonIndex)];
}

std::optional<int> ButtonIndex(const QString& name) {
    // The names' own texts, shared by every combination made of them, are
    // known at once: an import looks up thousands.
    for (int i = 0; i < EntryCount; ++i) {
        if (name.constData() == Texts()[size_t(i)].constData())
            return i;
    }
    for (int i = 0; i < EntryCount; ++i) {
        if (name == QLatin1String(Names[size_t(i)]))
            return i;
    }
    return std::nullopt;
}

std::optional<int> RecordNumber(const Combination& combination) {
    const std::optional<int> a = ButtonIndex(combination[0]);
    const std::optional<int> b = ButtonIndex(combination[1]);
    const std::optional<int> c = ButtonIndex(combination[2]);
    if (!a || !b || !c)
        return std::nullopt;
    return RecordNumber(*a, *b, *c);
}

Combination CombinationOf(int recordNumber) {
    const std::array<int, 3> entries = EntriesOf(recordNumber);
    return {ButtonName(entries[0]), ButtonName(entries[1]), ButtonName(entries[2])};
}

std::optional<int> IndexOfBytes(QByteArrayView name) {
    for (int i = 0; i < EntryCount; ++i) {
        if (name == QByteArrayView(Names[size_t(i)]))
            return i;
    }
    return std::nullopt;
}

QString Spoken(const Combination& combination) {
    QStringList names;
    for (const QString& value : combination)
        names << (value.isEmpty() ? QStringLiteral("(empty)") : value);
    return names.join(QLatin1Char(' '));
}

} // namespace ButtonCatalogue
