#pragma once

#include <QImage>
#include <QString>

// The pictures of the main window, carried inside the program and decoded
// when the window is made; nothing is read from disk at run time.
namespace Art {

// Names: "Background", "Buffer1" to "Buffer50", "BuffSocket1" to
// "BuffSocket23" and "SocketStart" (the start picture of the three sockets).
QImage Load(const QString& name);

} // namespace Art
