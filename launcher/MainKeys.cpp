#include "launcher/MainKeys.h"

#include <QKeyEvent>

namespace MainKeys {
namespace {

constexpr KeyBinding Table[] = {
    {QKeyCombination(Qt::Key_Return), KeyAction::Run, false},
    {QKeyCombination(Qt::Key_Enter), KeyAction::Run, false},
    {QKeyCombination(Qt::Key_Backspace), KeyAction::ClearLastSocket, true},
    {QKeyCombination(Qt::Key_Delete), KeyAction::ClearAllSockets, false},
    {QKeyCombination(Qt::Key_F1), KeyAction::ShowHelp, false},
    {QKeyCombination(Qt::Key_Escape), KeyAction::GetOutOfTheWay, false},
    {QKeyCombination(Qt::Key_Space), KeyAction::PressFocused, false},
    {Qt::ControlModifier | Qt::Key_E, KeyAction::OpenEditor, false},
    {Qt::ControlModifier | Qt::Key_Q, KeyAction::Exit, false},
    {Qt::ControlModifier | Qt::Key_F, KeyAction::FindBindings, false},
    {QKeyCombination(Qt::Key_F3), KeyAction::FindBindings, false},
    {Qt::ControlModifier | Qt::Key_K, KeyAction::ChooseSummonKey, false},
};

} // namespace

std::span<const KeyBinding> Bindings() {
    return Table;
}

QKeyCombination ChordOf(const QKeyEvent& event) {
    Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    if (modifiers == Qt::ShiftModifier)
        modifiers = Qt::NoModifier;
    return QKeyCombination(modifiers, Qt::Key(event.key()));
}

const KeyBinding* BindingOf(const QKeyEvent& event) {
    const QKeyCombination chord = ChordOf(event);
    for (const KeyBinding& binding : Table)
        if (binding.chord == chord)
            return &binding;
    return nullptr;
}

} // namespace MainKeys
