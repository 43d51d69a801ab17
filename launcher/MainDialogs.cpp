#include "launcher/MainDialogs.h"

#include <utility>

namespace {

// A maker runs once, even when it fails: the window goes on without the
// dialog rather than failing at each try.
template <class Window> Window* Made(std::function<Window*()>& maker, Window*& made) {
    if (!made && maker)
        made = std::exchange(maker, nullptr)();
    return made;
}

} // namespace

void MainDialogs::SetMakers(Makers makers) {
    m_makers = std::move(makers);
}

QDialog* MainDialogs::Editor() {
    return Made(m_makers.editor, m_editor);
}

QDialog* MainDialogs::Help() {
    return Made(m_makers.help, m_help);
}

TBindingsForm* MainDialogs::Bindings() {
    return Made(m_makers.bindings, m_bindings);
}

QDialog* MainDialogs::SummonKey() {
    return Made(m_makers.summonKey, m_summonKey);
}
