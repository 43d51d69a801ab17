#pragma once

// What killed saves leave beside the combination file, and what to do with
// it. A save's temporary file is locked while the save lives; one that
// nobody holds was left by a killed save and goes. A file moved aside by a
// save that cannot swap two names, and killed before the new file took the
// name, is put back under the name.

#include "store/FileDescriptor.h"

#include <QByteArray>

namespace SaveLeftovers {

// Locks a save's new temporary file; false when a remover got to it between
// its making and its lock.
bool LockTemporary(const FileDescriptor& fd, const QByteArray& name);

// Removes the temporary files of saves that no running save holds. Only
// while the file's lock is held; names of any other shape are the user's.
void RemoveUnheld(const QByteArray& finalPath);

// Where nothing has the file's name, gives it back the newest file a killed
// save moved aside.
void PutBackMovedAside(const QByteArray& finalPath);

// The name under which a save moves the file aside.
QByteArray AsideName(const QByteArray& temporaryPath);

} // namespace SaveLeftovers
