#include "editor/ProgressDisplay.h"

#include <QLabel>
#include <QProgressBar>

#include <algorithm>

ProgressDisplay::ProgressDisplay(QLabel& label, QProgressBar& bar) : m_label(label), m_bar(bar) {}

void ProgressDisplay::Stage(const QString& text) {
    const QRect before = m_label.geometry();
    m_label.setText(text);
    m_label.adjustSize();
    // The label fits its text, so a shorter text uncovers pixels of the old
    // one that only the parent can paint over.
    if (QWidget* parent = m_label.parentWidget())
        parent->repaint(before.united(m_label.geometry()));
    else
        m_label.repaint();
}

void ProgressDisplay::Position(int position) {
    // Qt ignores a value outside the range instead of showing a full bar.
    m_bar.setValue(std::clamp(position, m_bar.minimum(), m_bar.maximum()));
    m_bar.repaint();
}
