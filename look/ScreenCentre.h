#pragma once

class QWidget;

// Every window of Trinode that opens centred (the editor, its overwrite
// question, the help window) is centred the same way: its frame, at the size
// it has when shown, in the middle of the work area of the screen that holds
// its parent, or its own screen when it has none. Called from a showEvent,
// after the window's own showEvent has given it its final size.
namespace ScreenCentre {

void Centre(QWidget& window);

} // namespace ScreenCentre
