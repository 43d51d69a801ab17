// One assignment through the real store, in a process of its own, so that a
// test can make its writes fail or kill it in the middle of a save.
//
//   trinode_store_child FILE SOCKET1 SOCKET2 SOCKET3 INFO PATH [--fsize BYTES] [--pause-at LINE]
//
// Prints every stage text and position on a line of its own as it is told,
// then "Done", or "FileError <code> <message>" / "Error <message>" (exit
// status 1), and last whether the table then equals the file. --fsize limits the size of any file
// it writes (RLIMIT_FSIZE), so a save fails as on a full disk; --pause-at stops the process for
// good after it printed that line, for the parent to kill it there.

#include "store/CombinationTable.h"
#include "store/TrinodeError.h"

#include <QFile>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace {

class PrintingProgress final : public AssignProgress {
public:
    explicit PrintingProgress(std::string pauseAt) : m_pauseAt(std::move(pauseAt)) {}
    void Stage(const QString& text) override { Print(text.toStdString()); }
    void Position(int position) override { Print(std::to_string(position)); }

private:
    void Print(const std::string& line) {
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
        if (line == m_pauseAt) {
            for (;;)
                ::pause();
        }
    }
    std::string m_pauseAt;
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 7) {
        std::fprintf(stderr,
                     "usage: %s FILE SOCKET1 SOCKET2 SOCKET3 INFO PATH "
                     "[--fsize BYTES] [--pause-at LINE]\n",
                     argv[0]);
        return 2;
    }
    long long fsize = -1;
    std::string pauseAt;
    for (int i = 7; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--fsize") == 0)
            fsize = std::atoll(argv[i + 1]);
        else if (std::strcmp(argv[i], "--pause-at") == 0)
            pauseAt = argv[i + 1];
    }

    CombinationTable table(QString::fromLocal8Bit(argv[1]));
    int status = 1;
    try {
        table.LoadFile();
        if (fsize >= 0) {
            // A write beyond the limit then fails with EFBIG instead of
            // ending the process.
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{rlim_t(fsize), rlim_t(fsize)};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
                std::perror("setrlimit");
                return 2;
            }
        }
        PrintingProgress progress(pauseAt);
        table.AssignCombination({QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                                 QString::fromLocal8Bit(argv[4])},
                                QString::fromLocal8Bit(argv[5]), QString::fromLocal8Bit(argv[6]),
                                progress);
        std::printf("Done\n");
        status = 0;
    } catch (const FileError& e) {
        std::printf("FileError %d %s\n", e.Code(), e.what());
    } catch (const TrinodeError& e) {
        std::printf("Error %s\n", e.what());
    }
    // Whether or not the save went through, the table must hold what the
    // file holds.
    QFile file(table.FilePath());
    const bool same = file.open(QIODevice::ReadOnly) && file.readAll() == table.Bytes();
    std::printf("%s\n", same ? "Table equals file" : "Table differs from file");
    return status;
}
