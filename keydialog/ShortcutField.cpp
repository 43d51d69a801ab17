#include "keydialog/ShortcutField.h"

#include "keydialog/ShortcutFieldAccessible.h"
#include "summon/Shortcut.h"

#include <QKeyEvent>

ShortcutField::ShortcutField(QWidget* parent) : QKeySequenceEdit(parent) {
    ShortcutFieldAccessible::Install();
}

void ShortcutField::Show(const QKeySequence& keys) {
    m_recording = false;
    setKeySequence(keys);
}

void ShortcutField::StartRecording() {
    if (!m_recording) {
        m_before = keySequence();
        m_recording = true;
        clear();
    }
    setFocus(Qt::OtherFocusReason);
}

void ShortcutField::StopRecording(const QKeySequence& keys) {
    m_recording = false;
    setKeySequence(keys);
}

bool ShortcutField::event(QEvent* event) {
    // Until it records, the dialog's shortcuts and its buttons' letters work
    // here as anywhere.
    if (!m_recording &&
        (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::Shortcut))
        return QWidget::event(event);
    return QKeySequenceEdit::event(event);
}

bool ShortcutField::eventFilter(QObject* watched, QEvent* event) {
    // The click lands on the line that shows the key.
    if (event->type() == QEvent::MouseButtonPress && !m_recording)
        StartRecording();
    return QKeySequenceEdit::eventFilter(watched, event);
}

void ShortcutField::keyPressEvent(QKeyEvent* event) {
    if (!m_recording) {
        if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier)
            StartRecording();
        else
            event->ignore();
        return;
    }
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        StopRecording(m_before);
        return;
    }
    QKeySequenceEdit::keyPressEvent(event);
    // One key with its modifiers is a shortcut: it ends the recording.
    if (!IsModifierKey(event->key()) && !keySequence().isEmpty()) {
        StopRecording(QKeySequence(keySequence()[0]));
        Q_EMIT Recorded();
    }
}

void ShortcutField::keyReleaseEvent(QKeyEvent* event) {
    if (m_recording)
        QKeySequenceEdit::keyReleaseEvent(event);
    else
        event->ignore();
}

void ShortcutField::focusOutEvent(QFocusEvent* event) {
    if (m_recording)
        StopRecording(m_before);
    QKeySequenceEdit::focusOutEvent(event);
}
