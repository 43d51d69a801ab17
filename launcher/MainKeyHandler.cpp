#include "launcher/MainKeyHandler.h"

#include "launcher/ImageButton.h"
#include "launcher/PictureBoard.h"
#include "summon/Shortcut.h"

#include <QKeyEvent>

#include <utility>

MainKeyHandler::MainKeyHandler(PictureBoard& board, std::function<bool(KeyAction)> act)
    : m_board(board), m_act(std::move(act)) {}

void MainKeyHandler::Release(const QKeyEvent& event) {
    m_released = {event.key(), event.timestamp()};
}

bool MainKeyHandler::IsRepeat(const QKeyEvent& event) const {
    // An X server repeats a held key as a release and a press of the same
    // moment; Qt tells that as a repeat only when it sees the press in time.
    return event.isAutoRepeat() || (m_released.time != 0 && m_released.key == event.key() &&
                                    m_released.time == event.timestamp());
}

bool MainKeyHandler::Press(const QKeyEvent& event) {
    const bool repeat = IsRepeat(event);
    if (const KeyBinding* binding = MainKeys::BindingOf(event)) {
        // A held key does it again only where that is harmless; the other
        // repeats are taken and dropped.
        if (repeat && !binding->repeats)
            return true;
        EndTypedPrefix();
        return m_act(binding->action);
    }
    const bool plain = MainKeys::ChordOf(event).keyboardModifiers() == Qt::NoModifier;
    // A held letter types once.
    if (repeat || !plain)
        return repeat && plain;
    // Shift on its way to a capital is part of the typing, and Caps Lock
    // types nothing.
    if (IsModifierKey(event.key()) || event.key() == Qt::Key_CapsLock)
        return false;
    const QString text = event.text();
    if (text.size() != 1 || !text.front().isPrint()) {
        EndTypedPrefix();
        return false;
    }
    TypeCharacter(text.front());
    return true;
}

void MainKeyHandler::MouseUsed() {
    if (!m_candidates.isEmpty())
        EndTypedPrefix();
}

void MainKeyHandler::TypeCharacter(QChar typed) {
    const TypedPrefix::Result result = m_typedPrefix.Type(typed);
    ShowCandidates(result.candidates);
    if (result.press.isEmpty())
        return;
    if (ImageButton* image = m_board.ImageOfButton(result.press))
        image->Click();
}

void MainKeyHandler::EndTypedPrefix() {
    m_typedPrefix.Reset();
    ShowCandidates({});
}

void MainKeyHandler::ShowCandidates(const QStringList& names) {
    if (names == m_candidates)
        return;
    const auto show = [this](const QString& name, bool pressed) {
        if (ImageButton* button = m_board.ImageOfButton(name))
            m_board.ShowPressed(*button, pressed);
    };
    for (const QString& name : std::as_const(m_candidates))
        if (!names.contains(name))
            show(name, false);
    for (const QString& name : names)
        if (!m_candidates.contains(name))
            show(name, true);
    m_candidates = names;
    m_board.UpdateColourKey();
}
