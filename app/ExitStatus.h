#pragma once

// What trinode's exit status tells, one table for every command: --help
// lists it, and the manual page's list is checked against it.

#include <array>

namespace ExitStatus {

inline constexpr int Done = 0;
// A wrong option, shortcut or line to import, or no usable display.
inline constexpr int BadInput = 1;
inline constexpr int NotActivated = 2;
inline constexpr int Refused = 3;
inline constexpr int ByHand = 4;
inline constexpr int FileError = 5;
inline constexpr int Damaged = 6;

struct Meaning {
    int status;
    const char* text;
};

// Every status and what it means, in order.
extern const std::array<Meaning, 7> Table;

} // namespace ExitStatus
