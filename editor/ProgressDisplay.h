#pragma once

#include "store/AssignProgress.h"

class QLabel;
class QProgressBar;

// Shows an assignment's progress in the editor's label and bar. Nothing else
// runs while the store works, so every call paints at once.
class ProgressDisplay final : public AssignProgress {
public:
    ProgressDisplay(QLabel& label, QProgressBar& bar);

    void Stage(const QString& text) override;
    // A position past the bar's maximum shows a full bar.
    void Position(int position) override;

private:
    QLabel& m_label;
    QProgressBar& m_bar;
};
