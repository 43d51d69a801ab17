#pragma once

// A fresh X server time, for a second start that has no startup id to prove
// that the user just asked for Trinode. It costs one connection and one round
// trip, and needs no GUI: a property change on a window of its own, whose
// notification carries the server's time.

#include <QtGlobal>

// 0 when no X server can be reached.
quint32 X11ServerTime();
