#include "launcher/ImageButton.h"

#include "launcher/ImageButtonAccessible.h"

#include <QAccessible>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace {

constexpr qreal FocusMarkWidth = 3;
// The chord guide's dot, as a share of the ball's width.
constexpr qreal MarkRadius = 0.12;

bool IsPictureButton(Qt::MouseButton button) {
    return button == Qt::LeftButton || button == Qt::RightButton || button == Qt::MiddleButton;
}

} // namespace

ImageButton::ImageButton(Kind kind, int tag, QWidget* parent)
    : QLabel(parent), m_kind(kind), m_tag(tag) {
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setMouseTracking(false);
    // Reachable with Tab, so that a screen reader can walk the pictures.
    setFocusPolicy(Qt::TabFocus);
    ImageButtonAccessible::Install();
}

void ImageButton::Click() {
    // The pressed picture would be taken back within the same moment, so it
    // is never shown.
    Q_EMIT Clicked();
    Q_EMIT MouseUp();
}

bool ImageButton::event(QEvent* event) {
    // The hint is the accessible name; a socket's hint changes with its value.
    if (event->type() == QEvent::ToolTipChange) {
        QAccessibleEvent changed(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&changed);
    }
    if (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut)
        update();
    return QLabel::event(event);
}

void ImageButton::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    // Qt marks a window whose focus the keyboard moved (Tab), until the next
    // mouse press in it.
    const bool ring = hasFocus() && window()->testAttribute(Qt::WA_KeyboardFocusChange);
    if (!ring && !m_marked)
        return;
    // White inside black reads on the pale star burst, on the black window
    // and on every ball; drawn in layout pixels, it stays as sharp as the
    // pictures at any scale.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF whole(rect());
    if (m_marked) {
        // Well inside the ball's round edge, where no pixel is keyed away.
        const qreal radius = std::min(whole.width(), whole.height()) * MarkRadius;
        painter.setPen(QPen(Qt::black, radius / 2));
        painter.setBrush(Qt::white);
        painter.drawEllipse(QPointF(whole.width() * 0.75, whole.height() * 0.25), radius, radius);
    }
    if (!ring)
        return;
    const qreal outer = FocusMarkWidth + 2;
    const QRectF box = whole.adjusted(outer / 2, outer / 2, -outer / 2, -outer / 2);
    const qreal radius = std::min(box.width(), box.height()) / 4;
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::black, outer));
    painter.drawRoundedRect(box, radius, radius);
    painter.setPen(QPen(Qt::white, FocusMarkWidth));
    painter.drawRoundedRect(box, radius, radius);
}

void ImageButton::SetMarked(bool marked) {
    if (marked == m_marked)
        return;
    m_marked = marked;
    update();
}

void ImageButton::SetPicture(const QPixmap& picture, const QRegion& keyed) {
    setPixmap(picture);
    m_keyed = keyed;
}

void ImageButton::Press(QMouseEvent* event) {
    if (!IsPictureButton(event->button()))
        return;
    if (event->button() == Qt::LeftButton)
        m_leftHeld = true;
    if (m_kind == Kind::Button)
        Q_EMIT MouseDown();
}

void ImageButton::mousePressEvent(QMouseEvent* event) {
    Press(event);
}

void ImageButton::mouseDoubleClickEvent(QMouseEvent* event) {
    Press(event);
}

void ImageButton::mouseReleaseEvent(QMouseEvent* event) {
    const Qt::MouseButton button = event->button();
    if (!IsPictureButton(button))
        return;
    if (button == Qt::LeftButton) {
        if (!m_leftHeld)
            return;
        m_leftHeld = false;
        if (rect().contains(event->position().toPoint()))
            Q_EMIT Clicked();
        Q_EMIT MouseUp();
        return;
    }
    // Right and middle presses hold nothing: the release belongs to whatever
    // image is under the pointer now.
    QWidget* top = window();
    QWidget* under = top->childAt(top->mapFromGlobal(event->globalPosition().toPoint()));
    if (auto* image = qobject_cast<ImageButton*>(under); image && image->isVisible())
        Q_EMIT image->MouseUp();
}
