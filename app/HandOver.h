#pragma once

// The steps of a start that come before any GUI: whether there is a display
// to show a window on, what a running Trinode is handed, and what this start
// then says and ends with. Shared by the front, which hands a summon over on
// Qt Core alone, and the GUI part, which claims the name or hands over when a
// Trinode came up meanwhile.
//
// Exit status (ExitStatus): Done when a running Trinode's window became the
// active one, or, for --background, when one runs and was left as it is;
// BadInput without a usable display; NotActivated when a running Trinode was
// found but its window did not become active.

#include "app/ExitStatus.h"
#include "platform/SingleInstance.h"

#include <optional>

namespace HandOver {

inline constexpr int ExitNoDisplay = ExitStatus::BadInput;
inline constexpr int ExitNotActivated = ExitStatus::NotActivated;

// ExitNoDisplay, after one line on standard error, when a desktop platform
// is asked for and no display is named; nullopt otherwise.
std::optional<int> RefuseWithoutDisplay();

// What a start hands to a running Trinode: a summon, or for --background only
// the question whether one runs.
SingleInstance::RequestMaker RequestFor(bool background);

// The exit status when the outcome ends this start, after its one line;
// nullopt when this start goes on to show its own window (after a line that
// says why, when it runs on its own).
std::optional<int> Leave(SingleInstance::Outcome outcome, const QString& message);

} // namespace HandOver
