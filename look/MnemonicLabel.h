#pragma once

#include <QLabel>

// A label that draws its text by the mnemonic rule whether or not it has a
// buddy: a single "&" is not shown and underlines the next character, "&&"
// shows one "&". Single line, aligned by alignment(), clipped at its box, and
// drawn over whatever lies behind it unless it fills its own background.
class MnemonicLabel final : public QLabel {
    Q_OBJECT
public:
    explicit MnemonicLabel(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
