#include "tools/soak/EditorRace.h"

#include "store/ButtonCatalogue.h"
#include "store/CombinationRecord.h"
#include "store/CombinationTable.h"
#include "store/TrinodeError.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>

#include <linux/filter.h>
#include <linux/seccomp.h>

#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace {

namespace Record = CombinationRecord;

// The editor's records: one for each write, apart from one another.
constexpr int FirstEditorRecord = 100;
constexpr int EditorRecordStep = 200;

volatile sig_atomic_t g_stop = 0;

void StopAfterThisSave(int) {
    g_stop = 1;
}

int EditorRecord(int write) {
    return FirstEditorRecord + write * EditorRecordStep;
}

// Where the editor's write lands: the record's information field.
qsizetype InfoOffset(int write) {
    return qsizetype(EditorRecord(write)) * Record::Size +
           Record::PlaceOf(Record::Field::Info).offset;
}

QByteArray EditorInfo(int write) {
    return QByteArray("Edit" + QByteArray::number(write)).rightJustified(Record::InfoWidth, ' ');
}

QByteArray ReadWhole(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteWhole(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        std::fprintf(stderr, "editor: cannot write %s\n", qPrintable(path));
}

// The system refuses to swap two names, or to rename only where the name
// is free, through the kernel's own system call filter.
bool RefuseSwaps() {
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __u32(SYS_renameat2), 0, 3),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[4])),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 0, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EINVAL),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    const sock_fprog program{sizeof filter / sizeof filter[0], filter};
    return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

void SleepMillis(int millis) {
    timespec delay{time_t(millis / 1000), long(millis % 1000) * 1000000};
    while (::nanosleep(&delay, &delay) != 0 && errno == EINTR) {
    }
}

} // namespace

int EditorRace::MostWrites() {
    return (CombinationTable::RecordCount - FirstEditorRecord - 1) / EditorRecordStep + 1;
}

EditorRace::EditorRace(int writes, int intervalMillis, uint64_t seed, bool withoutSwaps)
    : m_writes(writes), m_intervalMillis(intervalMillis), m_seed(seed),
      m_withoutSwaps(withoutSwaps) {}

const char* EditorRace::NameOf(EditorMode mode) {
    switch (mode) {
    case EditorMode::Rename:
        return "a new file renamed over the name";
    case EditorMode::Truncate:
        return "truncated and written again";
    case EditorMode::InPlace:
        return "written in place";
    case EditorMode::Vim:
        return "vim writing in place";
    }
    return "";
}

bool EditorRace::IsEditorsRecord(int record) const {
    const int steps = record - FirstEditorRecord;
    return steps >= 0 && steps % EditorRecordStep == 0 && steps / EditorRecordStep < m_writes;
}

void EditorRace::SaverMain(int resultPipe) {
    if (m_withoutSwaps && !RefuseSwaps()) {
        std::perror("seccomp");
        ::_exit(2);
    }
    struct sigaction stop {};
    stop.sa_handler = StopAfterThisSave;
    stop.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &stop, nullptr);
    std::mt19937_64 random(m_seed);
    CombinationTable table(m_path);
    table.LoadFile();
    NoProgress none;
    for (int n = 0; !g_stop; ++n) {
        int record = 0;
        do
            record = int(random() % uint64_t(CombinationTable::RecordCount));
        while (IsEditorsRecord(record));
        char outcome = 'd';
        try {
            table.AssignCombination(ButtonCatalogue::CombinationOf(record),
                                    QStringLiteral("Save%1").arg(n), QStringLiteral("/saved"),
                                    none);
        } catch (const TrinodeError& error) {
            std::fprintf(stderr, "saver: %s\n", qPrintable(error.Message()));
            outcome = 'f';
        }
        (void)!::write(resultPipe, &outcome, 1);
    }
    ::_exit(0);
}

void EditorRace::Edit(EditorMode mode, int write) {
    if (mode == EditorMode::Vim) {
        // vim's own in-place write: it opens the file, cutting it, and
        // writes it whole again.
        const QStringList arguments{
            "-b",
            "-u",
            "NONE",
            "-N",
            "-es",
            "-c",
            "set backupcopy=yes nobackup nowritebackup",
            "-c",
            QStringLiteral("goto %1").arg(InfoOffset(write) + 1),
            "-c",
            QStringLiteral("exe \"normal! R%1\"").arg(QString::fromLatin1(EditorInfo(write))),
            "-c",
            "w!",
            "-c",
            "q!",
            m_path};
        // Written over whatever a save made meanwhile, as a person who
        // answers vim's question with yes would.
        QProcess vim;
        vim.setStandardInputFile(QProcess::nullDevice());
        vim.start(QStringLiteral("vim"), arguments);
        if (!vim.waitForFinished(60000) || vim.exitCode() != 0)
            std::fprintf(stderr, "editor: vim failed\n");
        return;
    }
    if (mode == EditorMode::InPlace) {
        QFile file(m_path);
        if (!file.open(QIODevice::ReadWrite) || !file.seek(InfoOffset(write)) ||
            file.write(EditorInfo(write)) != Record::InfoWidth)
            std::fprintf(stderr, "editor: cannot write in place\n");
        return;
    }
    // The editor reads the file afresh for every write, as a person who
    // opens it, changes one line and saves would.
    QByteArray bytes = ReadWhole(m_path);
    bytes.replace(InfoOffset(write), Record::InfoWidth, EditorInfo(write));
    if (mode == EditorMode::Truncate) {
        WriteWhole(m_path, bytes);
        return;
    }
    const QString written = m_path + QStringLiteral(".edited");
    WriteWhole(written, bytes);
    if (::rename(QFile::encodeName(written).constData(), QFile::encodeName(m_path).constData()) !=
        0)
        std::perror("editor: rename");
}

int EditorRace::CountMissing() const {
    const QByteArray file = ReadWhole(m_path);
    int missing = 0;
    for (int write = 0; write < m_writes; ++write)
        missing += file.mid(InfoOffset(write), Record::InfoWidth) != EditorInfo(write);
    return missing;
}

EditorRaceCounts EditorRace::Run(const QString& dir, EditorMode mode) {
    m_path = QDir(dir).filePath(QStringLiteral("TrinodeRun.cmb"));
    CombinationTable(m_path).CreateDefaultFile();
    int results[2];
    if (::pipe2(results, O_CLOEXEC) != 0) {
        std::perror("pipe2");
        std::exit(2);
    }
    std::fflush(nullptr);
    const pid_t saver = ::fork();
    if (saver < 0) {
        std::perror("fork");
        std::exit(2);
    }
    if (saver == 0) {
        ::close(results[0]);
        SaverMain(results[1]);
    }
    ::close(results[1]);
    for (int write = 0; write < m_writes; ++write) {
        SleepMillis(m_intervalMillis);
        Edit(mode, write);
    }
    SleepMillis(m_intervalMillis);
    ::kill(saver, SIGTERM);
    EditorRaceCounts counts;
    char outcome;
    while (::read(results[0], &outcome, 1) == 1)
        ++(outcome == 'd' ? counts.saves : counts.failedSaves);
    ::close(results[0]);
    ::waitpid(saver, nullptr, 0);
    counts.writes = m_writes;
    counts.missing = CountMissing();
    return counts;
}
