#pragma once

// The key dialog: records a shortcut (QKeySequenceEdit, the Ctrl+Alt+Space
// default filled in), binds it through the desktop's own settings as
// --bind-key does (SummonKey), and says the outcome in words. Its check boxes
// start Trinode when the user logs in (the autostart entry) and stop the main
// window's hint from asking again (Trinode's settings). It owns its widgets
// and calls only the summon library; the main window opens it.

#include <QDialog>

class QCheckBox;
class QKeySequenceEdit;
class QLabel;
class QPushButton;

class SummonKeyDialog final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SummonKeyDialog)
public:
    explicit SummonKeyDialog(QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void SetKeyClick();
    void AutostartToggled(bool on);
    void DontAskToggled(bool dontAsk);
    void Say(const QString& text);

    QKeySequenceEdit* m_shortcut;
    QPushButton* m_setKey;
    QLabel* m_outcome;
    QCheckBox* m_autostart;
    QCheckBox* m_dontAsk;
};
