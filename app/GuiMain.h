#pragma once

#include <QtGlobal>

// The entry of Trinode's GUI part, a library that the front (main.cpp) loads
// only when this start is the one that stays: it does the whole command line
// again, with every library it needs, and runs Trinode's windows. Its name
// has C linkage, so that the front finds it by that name.

// The name the front looks the entry up by.
inline constexpr char GuiPartEntry[] = "TrinodeGuiMain";

// reachBy: when the wait for a running Trinode that the front began ends
// (QDeadlineTimer::deadline()).
extern "C" int TrinodeGuiMain(int argc, char** argv, qint64 reachBy);
