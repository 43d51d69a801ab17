#pragma once

// A program that Trinode starts gets none of Trinode's own signal state: a
// signal Trinode ignores (SIGXFSZ, so that a full disk fails a save instead
// of ending it) would stay ignored through exec, and a blocked one blocked.
// Called in the child between fork and exec, where only calls that are safe
// in a copy of a threaded process may be made.
namespace ChildSignals {

// Every signal back to its default disposition, and none blocked.
void Reset() noexcept;

} // namespace ChildSignals
