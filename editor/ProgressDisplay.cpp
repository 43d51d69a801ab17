#include "editor/ProgressDisplay.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionProgressBar>

#include <algorithm>
#include <cmath>

namespace {

constexpr qreal FallbackFramesPerSecond = 60;

} // namespace

ProgressDisplay::ProgressDisplay(QLabel& label, QProgressBar& bar) : m_label(label), m_bar(bar) {
    QStyleOptionProgressBar option;
    option.initFrom(&m_bar);
    option.minimum = m_bar.minimum();
    option.maximum = m_bar.maximum();
    option.progress = m_bar.value();
    option.state |= QStyle::State_Horizontal;
    const QRect contents =
        m_bar.style()->subElementRect(QStyle::SE_ProgressBarContents, &option, &m_bar);
    m_contentsWidth = contents.width() * m_bar.devicePixelRatioF();

    const QScreen* screen = m_bar.screen();
    const qreal rate =
        screen && screen->refreshRate() > 1 ? screen->refreshRate() : FallbackFramesPerSecond;
    m_frameNanoseconds = qint64(1e9 / rate);
}

ProgressDisplay::~ProgressDisplay() {
    PaintPendingBar();
}

void ProgressDisplay::Stage(const QString& text) {
    PaintPendingBar();
    if (text == m_label.text())
        return;
    m_label.setText(text);
    m_label.adjustSize();
    // The label fits its text. A shorter text uncovers pixels of the old one,
    // which the resize marks for the parent to paint over; a repaint paints
    // everything marked in the window, so the label's own repaint clears them.
    m_label.repaint();
}

void ProgressDisplay::Position(int position) {
    // Qt ignores a value outside the range instead of showing a full bar.
    const int value = std::clamp(position, m_bar.minimum(), m_bar.maximum());
    if (DrawnWidth(value) == DrawnWidth(m_bar.value())) {
        m_pending.reset();
        return;
    }
    if (m_sinceBarPaint.isValid() && m_sinceBarPaint.nsecsElapsed() < m_frameNanoseconds) {
        m_pending = value;
        return;
    }
    PaintBar(value);
}

void ProgressDisplay::Waiting() {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

int ProgressDisplay::DrawnWidth(int value) const {
    const qint64 steps = qint64(m_bar.maximum()) - m_bar.minimum();
    if (steps <= 0)
        return 0;
    return int(std::floor(m_contentsWidth * qreal(value - m_bar.minimum()) / qreal(steps)));
}

void ProgressDisplay::PaintBar(int value) {
    // The bar repaints itself on some new values and not on others; with
    // updates off it leaves the one paint, and its timing, to this display.
    m_bar.setUpdatesEnabled(false);
    m_bar.setValue(value);
    m_bar.setUpdatesEnabled(true);
    m_bar.repaint();
    m_sinceBarPaint.start();
    m_pending.reset();
}

void ProgressDisplay::PaintPendingBar() {
    if (m_pending)
        PaintBar(*m_pending);
}
