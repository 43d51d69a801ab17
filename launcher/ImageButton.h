#pragma once

// A picture that the user presses: a catalogue button, the Run, Add or Exit
// image, or a socket. It knows nothing of what a press means; it turns mouse
// events into the three calls of its handler, delivered the way the main
// window relies on:
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

    class Handler {
    public:
        virtual void ImageMouseDown(ImageButton& image) = 0;
        virtual void ImageMouseUp(ImageButton& image) = 0;
        virtual void ImageClick(ImageButton& image) = 0;

    protected:
        ~Handler() = default;
    };

    ImageButton(Kind kind, int tag, Handler& handler, QWidget* parent);

    Kind ImageKind() const { return m_kind; }
    // The row of the window's image table this image belongs to.
    int Tag() const { return m_tag; }

    // The pixels of the current picture that the colour key leaves undrawn.
    const QRegion& KeyedPixels() const { return m_keyed; }
    void SetPicture(const QPixmap& picture, const QRegion& keyed);

    // A left release inside the image, made without the mouse (a key, a
    // screen reader): the calls that release gives, in their order.
    void Click();

protected:
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void Press(QMouseEvent* event);

    Kind m_kind;
    int m_tag;
    Handler& m_handler;
    QRegion m_keyed;
    bool m_leftHeld = false;
};
