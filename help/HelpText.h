#pragma once

// The help window's text: a fixed list of lines that the program carries,
// with the main window's keys listed from its key table (KeyHelp); the window
// shows the lines joined by line breaks.

#include <QStringList>

const QStringList& HelpLines();
