#pragma once

// How the information text is drawn in its box: at the label's own size
// when it fits; when it is wider, in a smaller size of the same font, as
// large as lets it fit, but never smaller than the size at which
// FewestCharacters of the font's widest letters fit; only a text wider than
// that is cut at the box's edges.

#include <QFont>
#include <QString>

namespace InfoFit {

// The information field's width: a text of that many letters always stands
// whole, whichever letters they are.
inline constexpr int FewestCharacters = 30;

// The pixel size to draw text in, for a font of the label's own pixel size
// and a box boxWidth pixels wide. The text is drawn by the mnemonic rule.
int PixelSize(const QFont& font, const QString& text, int boxWidth);

} // namespace InfoFit
