#pragma once

// The system calls the store makes on files, with the retries and the
// checks every caller needs, and the errors they raise in the user's words.
// Paths are the bytes the system uses.

#include "store/TrinodeError.h"

#include <QByteArray>
#include <QString>

#include <optional>

#include <sys/stat.h>
#include <sys/types.h>

namespace FileSystem {

// errno of the call that just failed, or the fallback where none was set.
int LastErrno(int fallback);

QString Shown(const QByteArray& path);
QString SystemText(int errnoValue);

// The errors whose code alone would hide what is wrong name the file.
FileError AboutFile(int errnoValue, const QByteArray& path);
// A path that names something other than a regular file.
FileError NotAFile(mode_t mode, const QByteArray& path);
FileError NoHome();
// A path followed by a NUL byte: the system would read it only up to the
// NUL, and so name another file.
FileError HoldsNul(const QByteArray& path);
// Another program held the file's lock, or had it open for writing, for
// longer than a save waits.
FileError Held(const QByteArray& path);
FileError HeldOpenForWriting(const QByteArray& path);
// A failed write or sync of the new content, in the system's words. A write
// that stores less than asked with no error is a full disk.
FileError NotWritten(int errnoValue, const QByteArray& path);

QByteArray DirectoryOf(const QByteArray& path);
QByteArray NameOf(const QByteArray& path);
QByteArray Joined(const QByteArray& directory, const QByteArray& name);

bool SameFile(const struct stat& a, const struct stat& b);
// The same file, not written to since: the same size and modification time.
bool SameContent(const struct stat& a, const struct stat& b);
// Nor changed in any other way (its owner, its mode): the same change time.
bool SameVersion(const struct stat& a, const struct stat& b);

// Writes all of data at offset; false on failure, with errno left at 0 for a
// write that stored nothing and gave no error.
bool WriteAllAt(int fd, const char* data, qsizetype size, off_t offset);
// Reads up to size bytes at offset, fewer only at the end of the file.
qsizetype ReadAllAt(int fd, char* buffer, qsizetype size, off_t offset);

// The hash of a file's first size bytes, read a chunk at a time, and of the
// same bytes in memory: what a save read, to be known again before it
// replaces the file. Given expected bytes, none as soon as the file's differ.
size_t HashOf(QByteArrayView bytes);
std::optional<size_t> HashOfFile(int fd, qsizetype size, const char* expected = nullptr);

} // namespace FileSystem
