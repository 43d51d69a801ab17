#include "launcher/PictureHolder.h"

PictureHolder::PictureHolder(const QString& name, int top, QWidget* parent)
    : QWidget(parent), m_picture(name) {
    setObjectName(name);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setGeometry(8, top, 9, 9);
    hide();
}
