#include "store/ButtonCatalogue.h"

namespace ButtonCatalogue {

const std::array<const char*, EntryCount> Names = {
    "Control",  "Display",  "Files",  "Help",   "Internet",     "Music",    "Network", "Personal",
    "Pictures", "Settings", "System", "Videos", "Applications", "Mail",     "Office",  "User",
    "One",      "Two",      "Three",  "Games",  "Trash",        "Projects", ""};

QString ButtonName(int buttonIndex) {
    if (buttonIndex < 0 || buttonIndex >= EntryCount)
        return {};
    return QString::fromLatin1(Names[buttonIndex]);
}

std::optional<int> ButtonIndex(const QString& name) {
    for (int i = 0; i < EntryCount; ++i) {
        if (name == QLatin1String(Names[i]))
            return i;
    }
    return std::nullopt;
}

Combination CombinationOf(int recordNumber) {
    return {ButtonName(recordNumber / (EntryCount * EntryCount)),
            ButtonName(recordNumber / EntryCount % EntryCount),
            ButtonName(recordNumber % EntryCount)};
}

} // namespace ButtonCatalogue
