#pragma once

// The command line's view of the bindings, for backups and scripts: --list
// prints them as BindingText's lines, --import binds every line of such a
// text in one save, through the same lock, temporary file and rename as OK.

#include <QString>
#include <QStringList>

namespace BindingsCommands {

// Prints every bound combination whose texts hold all the words (each
// ignoring case), one a line, in the file's order. Never changes the file.
int List(const QStringList& words);

// Reads the lines of the file ("-": standard input) and binds every one of
// them in one save; a line that does not parse is named with its number,
// and then nothing is written.
int Import(const QString& file);

// The exit status when the combination file cannot be read or written.
inline constexpr int ExitFileError = 5;
// The exit status for a text that does not parse.
inline constexpr int ExitBadInput = 1;

} // namespace BindingsCommands
