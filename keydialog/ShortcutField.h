#pragma once

// The key dialog's shortcut: it shows the key, and records a new one only
// when asked (StartRecording, a click in it, or Space while it has the
// focus), as desktops' own shortcut editors do, so that until then Enter and
// Esc keep their meaning in the dialog. While it records, the first key
// pressed with its modifiers is the new shortcut; Esc, or the focus going
// elsewhere, gives the old one back.

#include <QKeySequenceEdit>

class ShortcutField final : public QKeySequenceEdit {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ShortcutField)
public:
    explicit ShortcutField(QWidget* parent);

    // Shows the keys, ending any recording.
    void Show(const QKeySequence& keys);
    void StartRecording();
    bool Recording() const { return m_recording; }

Q_SIGNALS:
    // A recording has ended with a new key.
    void Recorded();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void StopRecording(const QKeySequence& keys);

    QKeySequence m_before;
    bool m_recording = false;
};
