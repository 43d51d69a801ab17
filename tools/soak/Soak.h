#pragma once

// The crash-safety soak of the combination store. Each assignment runs in a
// child process of its own, through the real store, and is ended by SIGKILL
// at a random moment: anywhere in the assignment, or while the file is being
// saved. Some children run with a file-size limit, so that their save meets a
// full disk. After every child the file must be whole (2,141,392 bytes) and
// equal to the state before or the state after that assignment, and the next
// successful save must leave no temporary file in the directory.
//
// Some rounds run two children at once on one file, one through its path and
// one through a link in another folder, and kill one of them: each save that
// a child reported as done must be in the file afterwards.

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <random>
#include <sys/types.h>

struct SoakOptions {
    int kills = 500;
    // One child in this many saves against a full disk.
    int fullDiskEvery = 5;
    // One round in this many ends with a temporary file planted as a kill
    // between its naming and its rename would leave it.
    int plantEvery = 25;
    // One round in this many runs two writers at once.
    int pairEvery = 3;
    uint64_t seed = 0;
    // Where the soak makes its own temporary directory (empty: the system's).
    QString parentDirectory;
    bool verbose = false;
};

struct SoakCounts {
    int assignments = 0;
    int killedRunning = 0;
    int finishedBeforeKill = 0;
    int beforeStates = 0;
    int afterStates = 0;
    // Killed after the new file took the name, before the child could exit.
    int killedAfterStates = 0;
    int fullDiskChildren = 0;
    int fullDiskFailures = 0;
    int leftoversAfterKill = 0;
    int planted = 0;
    int leftoversAfterSave = 0;
    int pairs = 0;
    int pairSaves = 0; // saves reported as done by a child of a pair
    int pairBoth = 0;  // rounds whose file holds both children's assignments
    int lostSaves = 0;
    int violations = 0;
};

class Soak final {
public:
    explicit Soak(SoakOptions options);
    Soak(const Soak&) = delete;
    Soak& operator=(const Soak&) = delete;

    // Runs every assignment in dir and returns the counts; violations are
    // also printed as they happen.
    SoakCounts Run(const QString& dir);

private:
    struct Timing {
        long long wholeMicros = 0;
        long long saveMicros = 0;
    };
    struct Outcome {
        bool killedRunning = false;
        int exitCode = -1;
    };

    Timing Calibrate();
    void RunSingle(int i, const Timing& timing);
    Outcome RunChild(int index, bool fullDisk, const Timing& timing);
    void CheckSingle(int i, bool isBefore, bool isAfter, qsizetype size, const Outcome& outcome,
                     bool fullDisk);
    // After a round: what it left beside the file (and one planted now and
    // then) must go with the next successful save.
    void TakeAwayStrays(int i, const QStringList& before);
    void RunPair(int round, const Timing& timing);
    void CheckPair(int round, const QByteArray& before, const std::array<int, 2>& indexes,
                   const bool saved[2]);
    pid_t Fork(int index, const QString& path, long long sizeLimit, int savingPipe);
    [[noreturn]] void ChildMain(int index, const QString& file, long long sizeLimit,
                                int savingPipe);
    QByteArray After(const QByteArray& before, int index);
    void AssignmentOf(int index, int& record, QString& info, QString& path);
    void PlantStray();
    QStringList Strays() const;
    void CheckNoStrayAfterSave(const char* where);
    void Violation(const QString& what);

    SoakOptions m_options;
    std::mt19937_64 m_random;
    QString m_path;
    QString m_linkPath; // the same file through a link in another folder
    SoakCounts m_counts;
    // The kill delays' range as a share of the calibrated times.
    double m_reach = 1.0;
};
