#pragma once

// The one rule for the lock of every load and save of a combination file: a
// hidden lock file beside it that only its owner can open, so that no other
// user can hold what Trinode waits for, or, where there can be no such file,
// the file itself. Nobody waits for it long: after Wait a load goes on
// without it and a save fails, saying that nothing was written.

#include "store/AssignProgress.h"
#include "store/FileDescriptor.h"

#include <QByteArray>

#include <chrono>

#include <sys/stat.h>

namespace FileLock {

using Clock = std::chrono::steady_clock;

// How long one load, or one save with all its attempts, waits for another
// program: for the lock, and for a writer to close the file.
inline constexpr std::chrono::milliseconds Wait{3000};

enum class Result { Locked, NoLocks, Held };

// Tries the lock (flock's operation) until the deadline, telling waiting
// between tries, so that the caller keeps answering (a window repaints, a
// summon is answered).
Result Take(int fd, int operation, Clock::time_point deadline, AssignProgress& waiting);

// Sleeps one polling interval, after telling waiting.
void Pause(AssignProgress& waiting);

// The lock file beside the file, made if need be, where it is a regular file
// of ours that nobody else may open. Root takes the file's owner's, and gives
// one it has to that owner, as a save keeps the file's owner. Not open where
// there can be no such file (a folder that refuses new files, someone else's
// lock file in a shared folder): the caller locks the file itself then.
FileDescriptor OpenLockFile(const QByteArray& resolved, const struct stat* file);

} // namespace FileLock
