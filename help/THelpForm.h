#pragma once

#include <QDialog>

// The help window: a fixed text in a read-only box and an OK button.
class THelpForm final : public QDialog {
    Q_OBJECT
public:
    explicit THelpForm(QWidget* parent = nullptr);
};
