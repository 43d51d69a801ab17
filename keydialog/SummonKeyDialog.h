#pragma once

// The key dialog: shows the key bound to bring Trinode up (or the
// Ctrl+Alt+Space default) in a field that records a new one only when asked
// (ShortcutField), binds it through the desktop's own settings as --bind-key
// does (SummonKey), and says the outcome in words. Its check boxes start
// Trinode when the user logs in (the autostart entry) and stop the main
// window's hint from asking again (Trinode's settings). Every opening reads
// the key and the boxes afresh, since --bind-key, --unbind-key and
// --autostart change them from outside. It owns its widgets and calls only
// the summon library; the main window opens it.

#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;
class ShortcutField;

class SummonKeyDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SummonKeyDialog)
public:
    explicit SummonKeyDialog(QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormActivate();
    void SetKeyClick();
    void AutostartToggled(bool on);
    void DontAskToggled(bool dontAsk);
    void Say(const QString& text);

    ShortcutField* m_shortcut;
    QPushButton* m_record;
    QPushButton* m_setKey;
    QLabel* m_outcome;
    QCheckBox* m_autostart;
    QCheckBox* m_dontAsk;
};
