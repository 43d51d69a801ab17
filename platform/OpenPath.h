#pragma once

#include <QString>

// Opens a text the way the desktop opens things: a URL with its default
// handler, a .desktop launcher, an executable file started with no arguments,
// a folder or a document with its default application. The whole text is the
// one thing opened; it never passes through a shell. A failure raises a
// TrinodeError whose message is the system's text.
void OpenPath(const QString& text);
