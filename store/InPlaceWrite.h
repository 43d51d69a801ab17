#pragma once

// Writing a whole new content over a file in place, for a folder that takes
// no new file: everything that could stop the write half-way is asked first,
// the file grows before it changes and shrinks last, and only the bytes that
// change are written, so that the file holds the old or the new content of
// every record but the one being written, and is never shortened or emptied
// before the new content is complete.

#include <QByteArray>
#include <QByteArrayView>

namespace InPlaceWrite {

// fd is open for writing, current for reading, both on the file named path.
void Write(int fd, int current, QByteArrayView bytes, const QByteArray& path);

} // namespace InPlaceWrite
