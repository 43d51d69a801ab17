#pragma once

// A read lease on an open combination file. While a load or a save holds
// one, no program can open the file for writing or cut it without the
// system first telling the holder: the opener waits until the holder lets
// go. So a save knows whether an editor began to write the file in place at
// any moment between its read and its rename, even within one tick of the
// file's clock, when the file's size and times tell nothing, and a read
// never takes a file that an editor is still writing.
//
// The system grants a lease only on a file that nobody has open for
// writing, only to the file's owner, and not on every file system; where it
// grants none, the save's other checks (the bytes, the size and times, the
// name) stand alone.

#include "store/AssignProgress.h"
#include "store/FileLock.h"

class WriterLease final {
public:
    enum class Outcome {
        Held,        // nobody writes the file; whoever starts to is told
        Unsupported, // no lease here: nothing is known of writers
        Writers,     // another program still had the file open for writing at the deadline
    };

    WriterLease() = default;
    ~WriterLease();
    WriterLease(const WriterLease&) = delete;
    WriterLease& operator=(const WriterLease&) = delete;

    // Takes the lease on fd (a read-only descriptor that outlives the
    // lease), waiting until the deadline while another program has the file
    // open for writing.
    Outcome Take(int fd, FileLock::Clock::time_point deadline, AssignProgress& waiting);
    bool IsHeld() const { return m_fd >= 0; }
    // Whether another program opened the file for writing, or cut it, since
    // the lease was taken: it waits for Release.
    bool Broken() const;
    // Lets a waiting writer go on.
    void Release();
    // Lets a writer that asked in go on, and waits a moment until it has
    // the file open: a save that starts over at once would otherwise take a
    // new lease before the writer's open goes through, again and again.
    void ReleaseToWriter();

private:
    int m_fd = -1; // not owned: the lease goes with the descriptor it is on
};
