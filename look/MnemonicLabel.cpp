#include "look/MnemonicLabel.h"

#include <QPainter>

MnemonicLabel::MnemonicLabel(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
}

void MnemonicLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    drawFrame(&painter);
    painter.setClipRect(contentsRect());
    painter.setPen(palette().color(foregroundRole()));
    painter.setFont(font());
    painter.drawText(contentsRect(), int(alignment()) | Qt::TextShowMnemonic | Qt::TextSingleLine,
                     text());
}
