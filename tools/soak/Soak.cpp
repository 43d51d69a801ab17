#include "tools/soak/Soak.h"

#include "store/AssignProgress.h"
#include "store/ButtonCatalogue.h"
#include "store/CombinationFile.h"
#include "store/CombinationRecord.h"
#include "store/CombinationTable.h"
#include "store/TrinodeError.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace {

// How a child that was not killed in time ended.
enum ChildExit : int { Saved = 0, DiskFull = 10, Failed = 11 };

const QString SavingStage = QStringLiteral("Saving File...");

// Tells the parent, through one byte on a pipe, that the save has begun.
class SavingSignal final : public AssignProgress {
public:
    explicit SavingSignal(int pipe) : m_pipe(pipe) {}
    void Stage(const QString& text) override {
        if (text == SavingStage && m_pipe >= 0)
            (void)!::write(m_pipe, "s", 1);
    }
    void Position(int) override {}

private:
    int m_pipe;
};

void SleepMicros(long long micros) {
    timespec delay{time_t(micros / 1000000), long(micros % 1000000) * 1000};
    while (::nanosleep(&delay, &delay) != 0 && errno == EINTR) {
    }
}

QByteArray ReadWhole(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

Soak::Soak(SoakOptions options) : m_options(std::move(options)), m_random(m_options.seed) {}

void Soak::AssignmentOf(int index, int& record, QString& info, QString& path) {
    // Child and parent derive the same assignment from its index alone.
    std::mt19937_64 random(m_options.seed * 1000003u + uint64_t(index));
    const auto below = [&random](int n) { return int(random() % uint64_t(n)); };
    record = below(CombinationTable::RecordCount);
    const auto text = [&](int maxLength, char first) {
        QString t;
        const int length = below(maxLength + 1);
        for (int i = 0; i < length; ++i)
            t.append(QChar(first + below(26)));
        return t;
    };
    info = text(30, 'A');
    path = text(99, 'a');
    if (!path.isEmpty())
        path.prepend(u'/');
    if (below(10) == 0)
        info.clear(); // back to the placeholder
}

void Soak::ChildMain(int index, const QString& file, long long sizeLimit, int savingPipe) {
    if (sizeLimit >= 0) {
        // A save past the limit must fail with EFBIG like a full disk, not
        // end the process.
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{rlim_t(sizeLimit), rlim_t(sizeLimit)};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    int code = Saved;
    try {
        int record = 0;
        QString info, path;
        AssignmentOf(index, record, info, path);
        CombinationTable table(file);
        table.LoadFile();
        SavingSignal progress(savingPipe);
        table.AssignCombination(ButtonCatalogue::CombinationOf(record), info, path, progress);
    } catch (const FileError& error) {
        code = error.Code() == FileError::DiskFull ? DiskFull : Failed;
        if (code == Failed)
            std::fprintf(stderr, "child %d: %s\n", index, qPrintable(error.Message()));
    } catch (const TrinodeError& error) {
        std::fprintf(stderr, "child %d: %s\n", index, qPrintable(error.Message()));
        code = Failed;
    }
    ::_exit(code);
}

Soak::Outcome Soak::RunChild(int index, bool fullDisk, const Timing& timing) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        std::perror("pipe2");
        std::exit(2);
    }
    const long long sizeLimit =
        fullDisk ? static_cast<long long>(m_random() % uint64_t(CombinationTable::FileSize)) : -1;
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) {
        std::perror("fork");
        std::exit(2);
    }
    if (pid == 0) {
        ::close(fds[0]);
        ChildMain(index, m_path, sizeLimit, fds[1]);
    }
    ::close(fds[1]);

    QElapsedTimer clock;
    clock.start();
    Outcome outcome;
    if (timing.wholeMicros > 0) {
        long long delay = 0;
        if (m_random() % 2 == 0) {
            delay = static_cast<long long>(m_random() % uint64_t(timing.wholeMicros * m_reach + 1));
        } else {
            char byte;
            (void)!::read(fds[0], &byte, 1); // the save began, or the child ended
            delay = static_cast<long long>(m_random() % uint64_t(timing.saveMicros * m_reach + 1));
        }
        SleepMicros(delay);
        ::kill(pid, SIGKILL);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    ::close(fds[0]);
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
        outcome.killedRunning = true;
    else if (WIFEXITED(status))
        outcome.exitCode = WEXITSTATUS(status);
    // A shared machine makes the calibrated times a guess: keep about four
    // kills in five inside a running assignment.
    m_reach = std::clamp(outcome.killedRunning ? m_reach * 1.03 : m_reach * 0.88, 0.05, 3.0);
    return outcome;
}

pid_t Soak::Fork(int index, const QString& path, long long sizeLimit, int savingPipe) {
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0) {
        std::perror("fork");
        std::exit(2);
    }
    if (pid == 0)
        ChildMain(index, path, sizeLimit, savingPipe);
    return pid;
}

QByteArray Soak::After(const QByteArray& before, int index) {
    int record = 0;
    QString info, path;
    AssignmentOf(index, record, info, path);
    QByteArray after = before;
    if (after.size() == CombinationTable::FileSize) {
        const Combination combination = ButtonCatalogue::CombinationOf(record);
        CombinationRecord::Build(
            after.data() + qsizetype(record) * CombinationRecord::Size, combination[0].toLatin1(),
            combination[1].toLatin1(), combination[2].toLatin1(),
            info.isEmpty() ? CombinationRecord::Placeholder : QByteArrayView(info.toLatin1()),
            path.isEmpty() ? CombinationRecord::Placeholder : QByteArrayView(path.toLatin1()));
    }
    return after;
}

void Soak::RunPair(int round, const Timing& timing) {
    // Two assignments of different records, numbered apart from the single
    // rounds' ones.
    const int first = m_options.kills + 2 * round;
    int second = first + 1;
    const auto recordOf = [this](int index) {
        int record = 0;
        QString info, path;
        AssignmentOf(index, record, info, path);
        return record;
    };
    while (recordOf(second) == recordOf(first))
        second += 2 * m_options.kills + 1;

    const QByteArray before = ReadWhole(m_path);
    const pid_t pids[2] = {Fork(first, m_path, -1, -1), Fork(second, m_linkPath, -1, -1)};
    // One of the two is killed at a random moment of the pair's run.
    const int victim = int(m_random() % 2);
    SleepMicros(
        static_cast<long long>(m_random() % uint64_t(2 * timing.wholeMicros * m_reach + 1)));
    ::kill(pids[victim], SIGKILL);
    bool saved[2] = {false, false};
    for (int c = 0; c < 2; ++c) {
        int status = 0;
        while (::waitpid(pids[c], &status, 0) < 0 && errno == EINTR) {
        }
        saved[c] = WIFEXITED(status) && WEXITSTATUS(status) == Saved;
        if (WIFEXITED(status) && WEXITSTATUS(status) != Saved)
            Violation(QStringLiteral("pair %1: a child ended with %2")
                          .arg(round)
                          .arg(WEXITSTATUS(status)));
        m_counts.pairSaves += saved[c];
    }
    ++m_counts.pairs;
    ++m_counts.assignments;
    ++(saved[victim] ? m_counts.finishedBeforeKill : m_counts.killedRunning);
    CheckPair(round, before, {first, second}, saved);
}

void Soak::CheckPair(int round, const QByteArray& before, const std::array<int, 2>& indexes,
                     const bool saved[2]) {
    const QByteArray afterFirst = After(before, indexes[0]);
    const QByteArray afterSecond = After(before, indexes[1]);
    const QByteArray afterBoth = After(afterFirst, indexes[1]);
    const QByteArray now = ReadWhole(m_path);
    const bool has[2] = {now == afterFirst || now == afterBoth,
                         now == afterSecond || now == afterBoth};
    m_counts.pairBoth += now == afterBoth;
    if (now.size() != CombinationTable::FileSize) {
        Violation(QStringLiteral("pair %1: the file is %2 bytes").arg(round).arg(now.size()));
    } else if (now != before && !has[0] && !has[1]) {
        Violation(QStringLiteral("pair %1: the file is none of the four states").arg(round));
    }
    for (int c = 0; c < 2; ++c) {
        if (saved[c] && !has[c]) {
            ++m_counts.lostSaves;
            Violation(QStringLiteral("pair %1: the save of child %2 was reported as done and is "
                                     "missing")
                          .arg(round)
                          .arg(c + 1));
        }
    }
}

Soak::Timing Soak::Calibrate() {
    // Unkilled assignments: how long one takes, and its save alone. The
    // shortest is kept, so that most kills land while the child still runs.
    Timing timing{LLONG_MAX, LLONG_MAX};
    for (int i = 0; i < 5; ++i) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            std::exit(2);
        QElapsedTimer clock;
        clock.start();
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(fds[0]);
            ChildMain(-1 - i, m_path, -1, fds[1]);
        }
        ::close(fds[1]);
        char byte;
        (void)!::read(fds[0], &byte, 1);
        const long long saving = clock.nsecsElapsed() / 1000;
        int status = 0;
        ::waitpid(pid, &status, 0);
        ::close(fds[0]);
        const long long whole = clock.nsecsElapsed() / 1000;
        if (!WIFEXITED(status) || WEXITSTATUS(status) != Saved)
            Violation(QStringLiteral("an assignment that was left alone did not save"));
        timing.wholeMicros = std::min(timing.wholeMicros, whole);
        timing.saveMicros = std::min(timing.saveMicros, whole - saving);
    }
    return timing;
}

void Soak::PlantStray() {
    // What a save killed between writing and renaming leaves behind.
    QFile stray(QFile::decodeName(
        CombinationFile::TemporaryPrefix(CombinationFile::ResolvedPath(QFile::encodeName(m_path))) +
        "Killed"));
    if (stray.open(QIODevice::WriteOnly))
        stray.write(ReadWhole(m_path).left(CombinationTable::FileSize / 2));
    ++m_counts.planted;
}

QStringList Soak::Strays() const {
    // The lock file stays for good; anything else beside the file is a
    // save's.
    const QFileInfo info(m_path);
    QStringList names = info.dir().entryList(QDir::Files | QDir::Hidden | QDir::System);
    names.removeAll(info.fileName());
    names.removeAll('.' + info.fileName() + QStringLiteral(".lock"));
    return names;
}

void Soak::CheckNoStrayAfterSave(const char* where) {
    const QStringList strays = Strays();
    if (strays.isEmpty())
        return;
    ++m_counts.leftoversAfterSave;
    Violation(QStringLiteral("temporary files left after a successful save (%1): %2")
                  .arg(QString::fromLatin1(where), strays.join(u' ')));
    // Counted once: gone before the next round.
    const QDir dir = QFileInfo(m_path).dir();
    for (const QString& name : strays)
        QFile::remove(dir.filePath(name));
}

void Soak::Violation(const QString& what) {
    ++m_counts.violations;
    std::fprintf(stderr, "soak violation: %s\n", qPrintable(what));
}

SoakCounts Soak::Run(const QString& dir) {
    m_path = QDir(dir).filePath(QStringLiteral("TrinodeRun.cmb"));
    QDir(dir).mkdir(QStringLiteral("links"));
    m_linkPath = QDir(dir).filePath(QStringLiteral("links/TrinodeRun.cmb"));
    QFile::link(QStringLiteral("../TrinodeRun.cmb"), m_linkPath);
    m_counts = {};
    CombinationTable(m_path).CreateDefaultFile();
    const Timing timing = Calibrate();
    if (m_options.verbose)
        std::printf("assignment takes up to %lld us, its save %lld us\n", timing.wholeMicros,
                    timing.saveMicros);
    for (int i = 0; i < m_options.kills; ++i) {
        if (m_options.pairEvery > 0 && i % m_options.pairEvery == m_options.pairEvery - 1)
            RunPair(i, timing);
        else
            RunSingle(i, timing);
    }
    return m_counts;
}

void Soak::RunSingle(int i, const Timing& timing) {
    const QByteArray before = ReadWhole(m_path);
    const QByteArray after = After(before, i);
    const QStringList straysBefore = Strays();
    const bool fullDisk =
        m_options.fullDiskEvery > 0 && i % m_options.fullDiskEvery == m_options.fullDiskEvery - 1;
    const Outcome outcome = RunChild(i, fullDisk, timing);
    ++m_counts.assignments;
    m_counts.fullDiskChildren += fullDisk;
    if (outcome.killedRunning)
        ++m_counts.killedRunning;
    else
        ++m_counts.finishedBeforeKill;

    const QByteArray now = ReadWhole(m_path);
    CheckSingle(i, now == before, now == after, now.size(), outcome, fullDisk);
    TakeAwayStrays(i, straysBefore);
    if (m_options.verbose)
        std::printf("assignment %d: %s%s, file %s\n", i,
                    outcome.killedRunning ? "killed" : "finished", fullDisk ? " (full disk)" : "",
                    now == after ? "after" : (now == before ? "before" : "broken"));
}

void Soak::CheckSingle(int i, bool isBefore, bool isAfter, qsizetype size, const Outcome& outcome,
                       bool fullDisk) {
    if (size != CombinationTable::FileSize) {
        Violation(QStringLiteral("assignment %1: the file is %2 bytes").arg(i).arg(size));
    } else if (isAfter && !isBefore) {
        ++m_counts.afterStates;
        m_counts.killedAfterStates += outcome.killedRunning;
    } else if (isBefore) {
        ++m_counts.beforeStates;
    } else {
        Violation(QStringLiteral("assignment %1: the file is neither the state before nor "
                                 "the state after")
                      .arg(i));
    }
    if (outcome.killedRunning)
        return;
    if (outcome.exitCode == DiskFull && fullDisk) {
        ++m_counts.fullDiskFailures;
        if (!isBefore)
            Violation(QStringLiteral("assignment %1: a full disk changed the file").arg(i));
    } else if (outcome.exitCode == Saved) {
        if (!isAfter)
            Violation(QStringLiteral("assignment %1: saved, but not the state after").arg(i));
        CheckNoStrayAfterSave("a child's save");
    } else {
        Violation(
            QStringLiteral("assignment %1: the child ended with %2").arg(i).arg(outcome.exitCode));
    }
}

void Soak::TakeAwayStrays(int i, const QStringList& before) {
    const QStringList strays = Strays();
    bool newStray = false;
    for (const QString& name : strays)
        newStray = newStray || !before.contains(name);
    if (newStray) {
        ++m_counts.leftoversAfterKill;
        if (m_options.verbose)
            std::printf("assignment %d left %s\n", i, qPrintable(strays.join(u' ')));
    }
    if (m_options.plantEvery > 0 && i % m_options.plantEvery == m_options.plantEvery / 2) {
        // What a kill between naming the temporary file and renaming it
        // leaves: that window is two system calls wide, so random kills
        // seldom hit it.
        PlantStray();
        newStray = true;
    }
    if (!newStray)
        return;
    // The next successful save, made here, must take them away.
    CombinationTable table(m_path);
    table.LoadFile();
    NoProgress progress;
    table.AssignCombination(ButtonCatalogue::CombinationOf(i % CombinationTable::RecordCount),
                            QString(), QString(), progress);
    CheckNoStrayAfterSave("the save after a kill");
}
