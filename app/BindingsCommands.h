#pragma once

// The command line's view of the bindings, for backups and scripts: --list
// prints them as BindingText's lines, --import binds every line of such a
// text in one save, through the same lock, temporary file and rename as OK;
// --check tells what is wrong with a damaged file and --repair mends it;
// --suggest prints chords for the desktop's own applications.
// All of them need only the store: the front answers them on Qt Core alone.

#include <QString>
#include <QStringList>

#include <optional>

class CommandLine;

namespace BindingsCommands {

// The exit status of the command on the bindings that the command line
// asks for; nothing for any other action.
std::optional<int> Answer(const CommandLine& commandLine);

// Prints every bound combination whose texts hold all the words (each
// ignoring case), one a line, in the file's order. Never changes the file;
// a damaged file is listed as far as it reads, after a line that says what
// is wrong with it.
int List(const QStringList& words);

// Reads the lines of the file ("-": standard input), at most MaxInput
// bytes, and binds every one of them in one save; a line that does not
// parse is named with its number, and then nothing is written.
int Import(const QString& file);
inline constexpr qsizetype MaxInput = 16 * 1024 * 1024;

// Prints the starter bindings (StarterBindings) as List prints bindings,
// so that --import takes them.
int Suggest();

// Says whether the file is whole, and what is wrong with it if not.
int Check();
// Mends a damaged file, keeping it beside it; leaves a whole one as it is.
int Repair();

} // namespace BindingsCommands
