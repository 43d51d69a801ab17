#pragma once

#include <QIcon>

// The pictures of the editor's OK and Cancel buttons, drawn rather than read
// from disk: 18 x 18 pixels, with a grey variant for the disabled state.
namespace ButtonPictures {

inline constexpr int Size = 18;

QIcon CheckMark();
QIcon Cross();

} // namespace ButtonPictures
