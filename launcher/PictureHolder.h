#pragma once

#include "launcher/LazyPicture.h"

#include <QWidget>

// A hidden picture holder of the main window (Buffer1-Buffer50,
// BuffSocket1-BuffSocket23): found by its name, never shown, never drawn,
// never pressed, a 9 x 9 box near the window's left edge. It holds one
// picture, decoded the first time it is asked for. A plain widget rather
// than a label: the window makes 73 of them at start-up and draws none, and
// a label costs more to make for machinery a holder never uses.
class PictureHolder final : public QWidget {
    Q_OBJECT
public:
    PictureHolder(const QString& name, int top, QWidget* parent);

    LazyPicture& Picture() { return m_picture; }
    // The picture as this window's screen shows it.
    const QPixmap& Pixmap() { return m_picture.Pixmap(devicePixelRatioF()); }

private:
    LazyPicture m_picture;
};
