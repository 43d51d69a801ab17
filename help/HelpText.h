#pragma once

// The help window's text: a fixed list of lines that the program carries.
// Nothing in it is computed at run time; the window shows the lines joined by
// line breaks.

#include <QStringList>

const QStringList& HelpLines();
