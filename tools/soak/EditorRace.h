#pragma once

// Saves back to back against an editor of the same file. A child process
// saves through the real store, one assignment after another, as Trinode
// does; this process plays a text editor that writes one record's
// information every few milliseconds, in one of three ways: a new file
// renamed over the name, the file truncated and written again, or the
// record written in place, by this process or by a real vim. Each write
// names its own record, so at the end
// every record the editor wrote must still hold what it wrote: a save must
// never lose an edit that landed while it ran. (An editor that writes back a
// copy older than a save undoes that save: that is the editor's doing, and
// the saves' records are not counted.)

#include <QString>

#include <cstdint>

enum class EditorMode { Rename, Truncate, InPlace, Vim };

struct EditorRaceCounts {
    int writes = 0;
    int missing = 0; // editor writes not in the file at the end
    int saves = 0;
    int failedSaves = 0;
};

class EditorRace final {
public:
    // Without swaps, the saver's system refuses to swap two names, as some
    // file systems do.
    EditorRace(int writes, int intervalMillis, uint64_t seed, bool withoutSwaps);
    EditorRace(const EditorRace&) = delete;
    EditorRace& operator=(const EditorRace&) = delete;

    // How many writes fit: each has a record of its own.
    static int MostWrites();
    // One race in dir, on a new file.
    EditorRaceCounts Run(const QString& dir, EditorMode mode);
    static const char* NameOf(EditorMode mode);

private:
    bool IsEditorsRecord(int record) const;
    [[noreturn]] void SaverMain(int resultPipe);
    void Edit(EditorMode mode, int write);
    int CountMissing() const;

    int m_writes;
    int m_intervalMillis;
    uint64_t m_seed;
    bool m_withoutSwaps;
    QString m_path;
};
