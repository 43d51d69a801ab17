#pragma once

// The system colours that the editor and help window were drawn for: a light
// desktop's window, text, button and selection colours. The dialogs take every
// colour they do not name themselves from this one palette rather than from
// the desktop's theme, so that none of their texts lands on a background of a
// theme it was not chosen for (black text on a dark theme's grey, the
// theme's white text on a named white).

#include <QPalette>

namespace ClassicColours {

// Every role of every colour group set, so nothing falls through to the
// desktop's palette.
QPalette Palette();

// The classic palette with a window of its own: the dialogs' black with white
// text, for instance.
QPalette WithWindow(const QColor& window, const QColor& windowText);

} // namespace ClassicColours
