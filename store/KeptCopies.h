#pragma once

// Files kept beside the combination file so that nothing is lost: a damaged
// file before a save mends it, and an edit that landed where a save could
// not take it in. Their names tell what they are and when they were kept:
// TrinodeRun.cmb.damaged-20261209-101500.

#include <QByteArray>

namespace KeptCopies {

// A name beside the file for a copy of that kind, that nothing has yet.
QByteArray FreeName(const QByteArray& finalPath, const QByteArray& kind);
// Copies the whole of one open file into another, from their starts.
bool CopyAll(int from, int to);
// Whether the file at the path is a whole combination file that reads.
bool IsWhole(const QByteArray& path);

} // namespace KeptCopies
