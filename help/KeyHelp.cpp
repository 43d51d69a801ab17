#include "help/KeyHelp.h"

#include "launcher/MainKeys.h"

#include <QKeySequence>

#include <algorithm>

namespace KeyHelp {
namespace {

// A new action of the table needs its words here before Trinode builds.
const char* Does(KeyAction action) {
    switch (action) {
    case KeyAction::Run:
        return "runs the combination in the sockets";
    case KeyAction::ClearLastSocket:
        return "empties the last filled socket";
    case KeyAction::ClearAllSockets:
        return "empties all three sockets";
    case KeyAction::ShowHelp:
        return "the help window";
    case KeyAction::OpenEditor:
        return "the Add/Change Shortcut dialog, on the sockets' combination";
    case KeyAction::GetOutOfTheWay:
        return "hides Trinode; starting trinode again brings it back";
    case KeyAction::Exit:
        return "ends Trinode";
    case KeyAction::PressFocused:
        return "presses the picture that Tab has reached";
    case KeyAction::FindBindings:
        return "the list of bound combinations, to find one by typing";
    case KeyAction::ChooseSummonKey:
        return "chooses the key that brings Trinode up";
    }
    return "";
}

} // namespace

std::vector<Line> Lines() {
    std::vector<Line> lines{
        {QStringLiteral("letters"),
         QStringLiteral("the start of a button's name presses it: f, pe, mu")},
        {QStringLiteral("1, 2, 3"), QStringLiteral("One, Two, Three")},
    };
    const auto typed = lines.size();
    std::vector<KeyAction> actions;
    for (const KeyBinding& binding : MainKeys::Bindings()) {
        const QString key = QKeySequence(binding.chord).toString(QKeySequence::PortableText);
        auto known = std::find(actions.begin(), actions.end(), binding.action);
        if (known == actions.end()) {
            actions.push_back(binding.action);
            lines.push_back({key, QLatin1String(Does(binding.action))});
        } else {
            lines[typed + size_t(known - actions.begin())].keys += QStringLiteral(", ") + key;
        }
    }
    return lines;
}

} // namespace KeyHelp
