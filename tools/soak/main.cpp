// trinode_soak [--kills N] [--full-disk-every K] [--plant-every P] [--pair-every Q] [--seed S]
// [--dir DIR] [--verbose]
//
// Kills N assignments of the real store at random moments and checks the
// combination file after each; prints the counts and exits non-zero on any
// violation.

#include "tools/soak/Soak.h"

#include <QDir>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int Usage(const char* program) {
    std::fprintf(
        stderr,
        "usage: %s [--kills N] [--full-disk-every K] [--plant-every P] [--pair-every Q] [--seed S] "
        "[--dir DIR] [--verbose]\n",
        program);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    SoakOptions options;
    options.seed = uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
    for (int i = 1; i < argc; ++i) {
        const auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        const char* arg = argv[i];
        const char* v = nullptr;
        if (std::strcmp(arg, "--verbose") == 0) {
            options.verbose = true;
        } else if (std::strcmp(arg, "--kills") == 0 && (v = value())) {
            options.kills = std::atoi(v);
        } else if (std::strcmp(arg, "--full-disk-every") == 0 && (v = value())) {
            options.fullDiskEvery = std::atoi(v);
        } else if (std::strcmp(arg, "--plant-every") == 0 && (v = value())) {
            options.plantEvery = std::atoi(v);
        } else if (std::strcmp(arg, "--pair-every") == 0 && (v = value())) {
            options.pairEvery = std::atoi(v);
        } else if (std::strcmp(arg, "--seed") == 0 && (v = value())) {
            options.seed = std::strtoull(v, nullptr, 10);
        } else if (std::strcmp(arg, "--dir") == 0 && (v = value())) {
            options.parentDirectory = QString::fromLocal8Bit(v);
        } else {
            return Usage(argv[0]);
        }
    }
    if (options.kills <= 0)
        return Usage(argv[0]);

    QTemporaryDir dir(options.parentDirectory.isEmpty()
                          ? QDir::tempPath() + QStringLiteral("/trinode-soak-XXXXXX")
                          : options.parentDirectory + QStringLiteral("/trinode-soak-XXXXXX"));
    if (!dir.isValid()) {
        std::fprintf(stderr, "cannot make a temporary directory: %s\n",
                     qPrintable(dir.errorString()));
        return 2;
    }

    Soak soak(options);
    const SoakCounts c = soak.Run(dir.path());
    std::printf("store soak: %d assignments, seed %llu, in %s\n", c.assignments,
                static_cast<unsigned long long>(options.seed), qPrintable(dir.path()));
    std::printf("  kills: %d while running, %d after the child had finished\n", c.killedRunning,
                c.finishedBeforeKill);
    std::printf("  file afterwards: %d state before, %d state after (%d of them killed after "
                "the rename)\n",
                c.beforeStates, c.afterStates, c.killedAfterStates);
    std::printf("  full-disk children: %d, failed with \"Disk full\": %d\n", c.fullDiskChildren,
                c.fullDiskFailures);
    std::printf("  temporary files left by a kill: %d, planted: %d, still there after the next "
                "save: %d\n",
                c.leftoversAfterKill, c.planted, c.leftoversAfterSave);
    std::printf("  two writers at once: %d rounds, %d saves reported as done, %d of them missing; "
                "%d rounds ended with both assignments in the file\n",
                c.pairs, c.pairSaves, c.lostSaves, c.pairBoth);
    std::printf("  violations: %d\n", c.violations);
    return c.violations == 0 ? 0 : 1;
}
