#pragma once

#include <QIcon>

// The pictures of the OK and Cancel buttons of the editor and the help
// window, drawn rather than read from disk: 18 x 18 pixels (36 x 36 for a
// high-resolution screen), with a grey variant for the disabled state.
namespace ButtonPictures {

inline constexpr int Size = 18;

QIcon CheckMark();
QIcon Cross();

} // namespace ButtonPictures
