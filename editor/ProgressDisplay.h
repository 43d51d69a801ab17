#pragma once

#include "store/AssignProgress.h"

#include <QElapsedTimer>

#include <optional>

class QLabel;
class QProgressBar;

// Shows an assignment's progress in the editor's label and bar. Nothing else
// runs while the store works, so what is shown must be painted here; but the
// store reports far more positions than the bar has pixels, and far faster
// than a screen shows frames. So the bar is painted only when its drawn width
// changes, at most once per frame of its screen, and always at the end of a
// stage, so that each stage is seen as it ended (the full bar before
// "Saving File..."). A new stage text is painted at once. While the store
// waits for a lock another program holds, the window goes on repainting and
// answering (a summon), but takes no input until the assignment is over.
class ProgressDisplay final : public AssignProgress {
public:
    ProgressDisplay(QLabel& label, QProgressBar& bar);
    // Shows the last position, should the assignment end inside a stage.
    ~ProgressDisplay() override;
    ProgressDisplay(const ProgressDisplay&) = delete;
    ProgressDisplay& operator=(const ProgressDisplay&) = delete;

    void Stage(const QString& text) override;
    // A position past the bar's maximum shows a full bar.
    void Position(int position) override;
    void Waiting() override;

private:
    // The width of the bar's filled part for a value, in device pixels.
    int DrawnWidth(int value) const;
    void PaintBar(int value);
    void PaintPendingBar();

    QLabel& m_label;
    QProgressBar& m_bar;
    qreal m_contentsWidth = 0;
    qint64 m_frameNanoseconds = 0;
    QElapsedTimer m_sinceBarPaint;
    // A position whose drawn width is not on the screen yet.
    std::optional<int> m_pending;
};
