#pragma once

#include <QIcon>

// The pictures of the OK and Cancel buttons of the editor and the help
// window, and of the clear button of a box that finds by typing, drawn
// rather than read from disk: 18 x 18 pixels (36 x 36 for a high-resolution
// screen), with a grey variant for the disabled state.
namespace ButtonPictures {

inline constexpr int Size = 18;

QIcon CheckMark();
QIcon Cross();
QIcon ClearText();

} // namespace ButtonPictures
