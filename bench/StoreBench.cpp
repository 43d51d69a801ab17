// How close the store's operations come to the least the machine can do for
// the same work, measured in one run and printed side by side:
//
//   FindCombination of the all-empty combination (the last record, so a full
//   scan) against a memcmp scan of the socket bytes of the 12167 records;
//   AssignCombination (durable) against writing the file's bytes to a new
//   file in the same directory, fsync and rename;
//   an import of a line for every combination (reading the lines and one
//   save, as trinode --import does it) against the same floor, with an
//   allowance for reading 12167 lines;
//   LoadFile and CreateDefaultFile on their own.
//
// The files live in a temporary directory on the disk of the build tree
// (TRINODE_BENCH_DIR overrides it), not in a tmpfs, where fsync costs
// nothing and would flatter the save.

#include "BenchReport.h"
#include "store/BindingText.h"
#include "store/ButtonCatalogue.h"
#include "store/CombinationRecord.h"
#include "store/CombinationTable.h"

#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/vfs.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int RecordCount = CombinationTable::RecordCount;
constexpr int RecordSize = CombinationRecord::Size;
const int SocketOffset = CombinationRecord::PlaceOf(CombinationRecord::Field::Socket1).offset;
constexpr int SocketBytes = CombinationRecord::KeySize;

const char* const FindName = "FindCombination (all-empty)";
const char* const ScanName = "memcmp scan of the socket bytes";
const char* const AssignName = "AssignCombination (durable)";
const char* const WriteName = "write + fsync + rename";
const char* const ImportName = "import of 12167 lines";
const char* const LoadName = "LoadFile";
const char* const CreateName = "CreateDefaultFile";

constexpr int Repetitions = 9;

QString g_file;

void FindAllEmpty(benchmark::State& state) {
    CombinationTable table(g_file);
    table.LoadFile();
    const Combination allEmpty{QString(), QString(), QString()};
    for (auto _ : state) {
        Binding binding = table.FindCombination(allEmpty);
        benchmark::DoNotOptimize(binding);
    }
}

void ScanSocketBytes(benchmark::State& state) {
    CombinationTable table(g_file);
    table.LoadFile();
    const QByteArray bytes = table.Bytes();
    const char* records = bytes.constData();
    char key[SocketBytes];
    std::memset(key, ' ', SocketBytes);
    for (auto _ : state) {
        benchmark::DoNotOptimize(records);
        int found = -1;
        for (int i = 0; i < RecordCount; ++i) {
            if (std::memcmp(records + qsizetype(i) * RecordSize + SocketOffset, key, SocketBytes) ==
                0) {
                found = i;
                break;
            }
        }
        benchmark::DoNotOptimize(found);
    }
    if (std::memcmp(records + qsizetype(RecordCount - 1) * RecordSize + SocketOffset, key,
                    SocketBytes) != 0)
        state.SkipWithError("the last record is not the all-empty combination");
}

void Assign(benchmark::State& state) {
    CombinationTable table(g_file);
    table.LoadFile();
    NoProgress none;
    int n = 0;
    for (auto _ : state)
        table.AssignCombination({"Files", "Personal", "Music"}, (n++ % 2) ? "Odd" : "Even",
                                "/usr/bin/player", none);
}

void WriteSyncRename(benchmark::State& state) {
    CombinationTable table(g_file);
    table.LoadFile();
    const QByteArray bytes = table.Bytes();
    const QByteArray target = QFile::encodeName(g_file);
    for (auto _ : state) {
        QByteArray temporary = target + ".XXXXXX";
        const int fd = ::mkstemp(temporary.data());
        qsizetype done = 0;
        while (fd >= 0 && done < bytes.size()) {
            const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
            if (n <= 0)
                break;
            done += n;
        }
        const bool ok = fd >= 0 && done == bytes.size() && ::fsync(fd) == 0 && ::close(fd) == 0 &&
                        ::rename(temporary.constData(), target.constData()) == 0;
        if (!ok) {
            state.SkipWithError("writing the temporary file failed");
            break;
        }
    }
}

// Every combination bound, as --list prints them: a different text each
// time, so that every save changes every record.
QByteArray EveryLine(int round) {
    QByteArray text;
    for (int n = 0; n < RecordCount; ++n) {
        const BoundCombination bound{
            ButtonCatalogue::CombinationOf(n),
            {"Info " + QByteArray::number(n) + '.' + QByteArray::number(round), "/usr/bin/p"}};
        BindingText::AppendLine(text, bound);
    }
    return text;
}

void Import(benchmark::State& state) {
    const QByteArray texts[2] = {EveryLine(0), EveryLine(1)};
    // Across repetitions too: each import changes what the last one bound.
    static int round = 0;
    for (auto _ : state) {
        QString why;
        const auto lines = BindingText::ParsedLines(texts[round++ % 2], &why);
        CombinationTable table(g_file);
        NoProgress none;
        const int bound = lines ? table.AssignCombinations(*lines, none).bound : -1;
        if (bound != RecordCount) {
            state.SkipWithError(("the import bound " + std::to_string(bound) + " lines of " +
                                 std::to_string(RecordCount) + ": " + why.toStdString())
                                    .c_str());
            break;
        }
    }
}

void Load(benchmark::State& state) {
    CombinationTable table(g_file);
    for (auto _ : state)
        table.LoadFile();
}

void Create(benchmark::State& state) {
    const QString file = g_file + QStringLiteral(".created");
    for (auto _ : state) {
        CombinationTable table(file);
        table.CreateDefaultFile();
    }
    QFile::remove(file);
}

QString WorkDirectoryRoot() {
    const QByteArray chosen = qgetenv("TRINODE_BENCH_DIR");
    return chosen.isEmpty() ? QStringLiteral(TRINODE_BENCH_DEFAULT_DIR)
                            : QString::fromLocal8Bit(chosen);
}

} // namespace

int main(int argc, char** argv) {
    const QString root = WorkDirectoryRoot();
    QTemporaryDir dir(root + QStringLiteral("/trinode-bench-XXXXXX"));
    if (!dir.isValid()) {
        std::fprintf(stderr, "cannot make a directory under %s\n", qPrintable(root));
        return 1;
    }
    struct statfs fs {};
    if (::statfs(QFile::encodeName(dir.path()).constData(), &fs) == 0 && fs.f_type == 0x01021994)
        std::fprintf(stderr, "warning: %s is a tmpfs; fsync costs nothing there\n",
                     qPrintable(dir.path()));
    std::printf("Working in %s\n", qPrintable(dir.path()));

    g_file = dir.filePath(QStringLiteral("TrinodeRun.cmb"));
    CombinationTable(g_file).CreateDefaultFile();

    BenchReport::Add(FindName, FindAllEmpty, Repetitions);
    BenchReport::Add(ScanName, ScanSocketBytes, Repetitions);
    BenchReport::Add(AssignName, Assign, Repetitions);
    BenchReport::Add(WriteName, WriteSyncRename, Repetitions);
    BenchReport::Add(ImportName, Import, Repetitions);
    BenchReport::Add(LoadName, Load, Repetitions);
    BenchReport::Add(CreateName, Create, Repetitions);

    BenchReport reporter;
    reporter.RunInterleaved(argc, argv, Repetitions);
    reporter.PrintComparison(FindName, ScanName, 2.0);
    reporter.PrintComparison(AssignName, WriteName, 1.3);
    reporter.PrintComparison(ImportName, WriteName, 3.0, 30000);
    std::printf("%-30s %12.1f\n", LoadName, reporter.Micros(LoadName));
    std::printf("%-30s %12.1f\n", CreateName, reporter.Micros(CreateName));
    return 0;
}
