#pragma once

// Alt and a button's underlined letter press the button at once. Qt's own
// way shows the button held down for a tenth of a second before it acts, and
// a window that the button opens comes up that much later than by a click.

class QCoreApplication;

namespace ImmediateMnemonic {

// For every button of the program.
void Install(QCoreApplication& application);

} // namespace ImmediateMnemonic
