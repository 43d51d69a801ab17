#pragma once

// A picture that the user presses: a catalogue button, the Run, Add or Exit
// image, or a socket. It knows nothing of what a press means, nor of the
// window it stands in; it turns mouse events into three signals, emitted the
// way the main window relies on:
// - left, right and middle presses alike give a mouse-down (a double click's
//   second press too), except on a socket, which has no mouse-down;
// - a left press holds the mouse: the left release comes back to this image
//   wherever the pointer is, preceded by a click when it is still inside;
// - a right or middle release goes to the image under the pointer, if any.

#include <QLabel>
#include <QRegion>

class ImageButton final : public QLabel {
    Q_OBJECT
public:
    enum class Kind { Button, Socket };

    ImageButton(Kind kind, int tag, QWidget* parent);

    Kind ImageKind() const { return m_kind; }
    // The row of the window's image table this image belongs to.
    int Tag() const { return m_tag; }

    // The pixels of the current picture that the colour key leaves undrawn.
    const QRegion& KeyedPixels() const { return m_keyed; }
    void SetPicture(const QPixmap& picture, const QRegion& keyed);
    // A small dot on the ball's upper right: the chord guide's sign that this
    // button leads on to a bound chord.
    void SetMarked(bool marked);

    // A left release inside the image, made without the mouse (a key, a
    // screen reader): the signals that release gives, in their order.
    void Click();

Q_SIGNALS:
    void MouseDown();
    // A release inside the image after a left press on it; MouseUp follows.
    void Clicked();
    void MouseUp();

protected:
    bool event(QEvent* event) override;
    // The picture, its dot while marked, and over them the focus mark while
    // the keyboard moves the focus: a mouse user sees no focus mark.
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void Press(QMouseEvent* event);

    Kind m_kind;
    int m_tag;
    QRegion m_keyed;
    bool m_marked = false;
    bool m_leftHeld = false;
};
