#pragma once

// The help window: the fixed help text (HelpLines) in a read-only box, Info,
// and OKButton, which closes the window with the result OK. It is made once and
// only hidden when it closes, so the box keeps its scroll position, caret and
// selection from one opening to the next. The window has no cancel: Esc does
// nothing, and only OKButton or the title bar's close box close it. The box is
// made when the window first shows.

#include <QDialog>

class QKeyEvent;
class QPlainTextEdit;
class QPushButton;
class QShowEvent;

class THelpForm final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(THelpForm)
public:
    explicit THelpForm(QWidget* parent = nullptr);

    void setVisible(bool visible) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void MakeInfo();

    QPlainTextEdit* m_info = nullptr;
    QPushButton* m_okButton = nullptr;
};
