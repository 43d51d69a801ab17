// One assignment through the real store, in a process of its own, so that a
// test can make its writes fail or kill it in the middle of a save.
//
//   trinode_store_child FILE SOCKET1 SOCKET2 SOCKET3 INFO PATH [--fsize BYTES] [--pause-at LINE]
//                       [--stop-at LINE] [--records FIRST COUNT] [--no-load] [--eio CALL]
//                       [--stop-before-replace] [--no-swap]
//
// Prints every stage text and position on a line of its own as it is told,
// then "Done", or "FileError <code> <message>" / "Error <message>" (exit
// status 1), and last whether the table then equals the file. --fsize limits the size of any file
// it writes (RLIMIT_FSIZE), so a save fails as on a full disk; --pause-at stops the process for
// good after it printed that line, for the parent to kill it there; --stop-at stops it there the
// first time with SIGSTOP, for the parent to let it go on with SIGCONT. --records assigns, instead
// of the one combination, the COUNT records from number FIRST one after the other (information INFO
// and the record's number, path PATH), silently, printing "Saved <number>" after each save
// that succeeded, and stops at the first failure. --no-load assigns without loading the file
// first. --eio makes every call of one system call (pwrite64, fsync) of the assignment fail with
// EIO, as a failing disk would, through the kernel's own system call filter.
// --stop-before-replace prints "Replacing" and stops with SIGSTOP right
// before the first call that puts a new file in the old one's place (a swap
// of two names, or a rename), for the parent to edit the file there.
// --no-swap makes the system refuse to swap two names, or to rename only
// where the name is free, as some file systems do.

#include "store/ButtonCatalogue.h"
#include "store/CombinationTable.h"
#include "store/TrinodeError.h"

#include <QFile>
#include <QFileInfo>

#include <linux/filter.h>
#include <linux/seccomp.h>

#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <utility>

namespace {

bool g_stopBeforeReplace = false;
bool g_noSwap = false;

void StopBeforeReplace() {
    if (!std::exchange(g_stopBeforeReplace, false))
        return;
    std::printf("Replacing\n");
    std::fflush(stdout);
    ::raise(SIGSTOP);
}

} // namespace

// The store's own calls that replace a file come here first.
extern "C" int renameat2(int fromDir, const char* from, int toDir, const char* to,
                         unsigned int flags) noexcept {
    if (g_noSwap && flags != 0) {
        errno = EINVAL;
        return -1;
    }
    StopBeforeReplace();
    return int(::syscall(SYS_renameat2, fromDir, from, toDir, to, flags));
}

extern "C" int rename(const char* from, const char* to) noexcept {
    StopBeforeReplace();
    return int(::syscall(SYS_rename, from, to));
}

namespace {

class PrintingProgress final : public AssignProgress {
public:
    PrintingProgress(std::string pauseAt, std::string stopAt)
        : m_pauseAt(std::move(pauseAt)), m_stopAt(std::move(stopAt)) {}
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
        if (line == m_stopAt) {
            // Once: a save that starts again after an edit passes by again.
            m_stopAt.clear();
            ::raise(SIGSTOP);
        }
    }
    std::string m_pauseAt;
    std::string m_stopAt;
};

// Every later call of the system call fails with EIO.
bool FailWithEio(const std::string& call) {
    const long number = call == "pwrite64" ? SYS_pwrite64 : call == "fsync" ? SYS_fsync : -1;
    sock_filter filter[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __u32(number), 0, 1),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EIO),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    const sock_fprog program{sizeof filter / sizeof filter[0], filter};
    return number >= 0 && ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

struct Options {
    long long fsize = -1;
    std::string pauseAt;
    std::string stopAt;
    std::string eio;
    int first = -1;
    int count = 0;
    bool load = true;
};

Options Parse(int argc, char** argv) {
    Options options;
    for (int i = 7; i < argc; i += 2) {
        const char* value = i + 1 < argc ? argv[i + 1] : "";
        if (std::strcmp(argv[i], "--fsize") == 0) {
            options.fsize = std::atoll(value);
        } else if (std::strcmp(argv[i], "--pause-at") == 0) {
            options.pauseAt = value;
        } else if (std::strcmp(argv[i], "--eio") == 0) {
            options.eio = value;
        } else if (std::strcmp(argv[i], "--stop-at") == 0) {
            options.stopAt = value;
        } else if (std::strcmp(argv[i], "--no-load") == 0) {
            options.load = false;
            --i;
        } else if (std::strcmp(argv[i], "--stop-before-replace") == 0) {
            g_stopBeforeReplace = true;
            --i;
        } else if (std::strcmp(argv[i], "--no-swap") == 0) {
            g_noSwap = true;
            --i;
        } else if (std::strcmp(argv[i], "--records") == 0 && i + 2 < argc) {
            options.first = std::atoi(value);
            options.count = std::atoi(argv[i + 2]);
            ++i;
        }
    }
    return options;
}

// Says once that the load waits for another program's save.
class LoadWaits final : public AssignProgress {
public:
    void Stage(const QString&) override {}
    void Position(int) override {}
    void Waiting() override {
        if (!std::exchange(m_told, true))
            std::printf("Waiting to read\n");
    }

private:
    bool m_told = false;
};

// A short file is loaded as far as it goes, and the program goes on, as
// Trinode does at start-up.
void Load(CombinationTable& table) {
    try {
        LoadWaits waits;
        table.LoadFile(waits);
    } catch (const TrinodeError& e) {
        // A damaged file is read as far as it reads.
        if (!table.Damage().IsDamaged())
            throw;
        std::printf("Loaded %s\n", e.what());
    }
}

// The size limit and the failing system call, set after the load so that
// only the assignment meets them.
bool Limit(const Options& options) {
    if (options.fsize >= 0) {
        // A write beyond the limit then fails with EFBIG instead of ending
        // the process.
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{rlim_t(options.fsize), rlim_t(options.fsize)};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            std::perror("setrlimit");
            return false;
        }
    }
    if (!options.eio.empty() && !FailWithEio(options.eio)) {
        std::perror("seccomp");
        return false;
    }
    return true;
}

void AssignRecords(CombinationTable& table, const Options& options, const QString& info,
                   const QString& path) {
    NoProgress none;
    for (int n = options.first; n < options.first + options.count; ++n) {
        table.AssignCombination(ButtonCatalogue::CombinationOf(n), info + QString::number(n), path,
                                none);
        std::printf("Saved %d\n", n);
        std::fflush(stdout);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 7) {
        std::fprintf(stderr,
                     "usage: %s FILE SOCKET1 SOCKET2 SOCKET3 INFO PATH "
                     "[--fsize BYTES] [--pause-at LINE] [--stop-at LINE] [--records FIRST COUNT] "
                     "[--no-load] [--eio CALL]\n",
                     argv[0]);
        return 2;
    }
    const Options options = Parse(argc, argv);
    const auto text = [argv](int i) { return QString::fromLocal8Bit(argv[i]); };
    // The file's name is taken as the bytes given, whatever their encoding.
    CombinationTable table{CombinationFile(QByteArray(argv[1]))};
    int status = 1;
    try {
        if (options.load)
            Load(table);
        if (!Limit(options))
            return 2;
        if (options.first >= 0) {
            AssignRecords(table, options, text(5), text(6));
            std::printf("Done\n");
            return 0;
        }
        PrintingProgress progress(options.pauseAt, options.stopAt);
        table.AssignCombination({text(2), text(3), text(4)}, text(5), text(6), progress);
        std::printf("Done\n");
        status = 0;
    } catch (const FileError& e) {
        std::printf("FileError %d %s\n", e.Code(), e.what());
    } catch (const TrinodeError& e) {
        std::printf("Error %s\n", e.what());
    }
    // Whether or not the save went through, the table must hold what the
    // file holds. Only a regular file is read: opening a named pipe would
    // wait for ever.
    QFile file(table.FilePath());
    const bool same = QFileInfo(file).isFile() && file.open(QIODevice::ReadOnly) &&
                      file.readAll() == table.Bytes();
    std::printf("%s\n", same ? "Table equals file" : "Table differs from file");
    return status;
}
