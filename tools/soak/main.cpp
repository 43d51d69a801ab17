// trinode_soak [--kills N] [--full-disk-every K] [--plant-every P] [--pair-every Q] [--seed S]
// [--dir DIR] [--verbose]
// trinode_soak --editor [--writes W] [--every MS] [--seed S] [--dir DIR] [--no-swap]
//
// Kills N assignments of the real store at random moments and checks the
// combination file after each; prints the counts and exits non-zero on any
// violation. With --editor, saves back to back while an editor writes one
// record every MS milliseconds, W times in each of its three ways, and
// counts the editor's writes missing at the end (non-zero exit when any is);
// vim writes too, when it is there. --no-swap makes the saver's system refuse
// to swap two names, as some file systems do.

#include "tools/soak/EditorRace.h"
#include "tools/soak/Soak.h"

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct Options {
    SoakOptions soak;
    bool editor = false;
    bool noSwap = false;
    int writes = 40;
    int everyMillis = 30;
};

int Usage(const char* program) {
    std::fprintf(
        stderr,
        "usage: %s [--kills N] [--full-disk-every K] [--plant-every P] [--pair-every Q] [--seed S] "
        "[--dir DIR] [--verbose]\n"
        "       %s --editor [--writes W] [--every MS] [--seed S] [--dir DIR] [--no-swap]\n",
        program, program);
    return 2;
}

bool Parse(int argc, char** argv, Options& options) {
    SoakOptions& soak = options.soak;
    soak.seed = uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
    for (int i = 1; i < argc; ++i) {
        const auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        const char* arg = argv[i];
        const char* v = nullptr;
        if (std::strcmp(arg, "--verbose") == 0) {
            soak.verbose = true;
        } else if (std::strcmp(arg, "--editor") == 0) {
            options.editor = true;
        } else if (std::strcmp(arg, "--no-swap") == 0) {
            options.noSwap = true;
        } else if (std::strcmp(arg, "--writes") == 0 && (v = value())) {
            options.writes = std::atoi(v);
        } else if (std::strcmp(arg, "--every") == 0 && (v = value())) {
            options.everyMillis = std::atoi(v);
        } else if (std::strcmp(arg, "--kills") == 0 && (v = value())) {
            soak.kills = std::atoi(v);
        } else if (std::strcmp(arg, "--full-disk-every") == 0 && (v = value())) {
            soak.fullDiskEvery = std::atoi(v);
        } else if (std::strcmp(arg, "--plant-every") == 0 && (v = value())) {
            soak.plantEvery = std::atoi(v);
        } else if (std::strcmp(arg, "--pair-every") == 0 && (v = value())) {
            soak.pairEvery = std::atoi(v);
        } else if (std::strcmp(arg, "--seed") == 0 && (v = value())) {
            soak.seed = std::strtoull(v, nullptr, 10);
        } else if (std::strcmp(arg, "--dir") == 0 && (v = value())) {
            soak.parentDirectory = QString::fromLocal8Bit(v);
        } else {
            return false;
        }
    }
    return soak.kills > 0 && options.writes > 0 && options.writes <= EditorRace::MostWrites() &&
           options.everyMillis >= 0;
}

int RunKills(const SoakOptions& options, const QString& dir) {
    Soak soak(options);
    const SoakCounts c = soak.Run(dir);
    std::printf("store soak: %d assignments, seed %llu, in %s\n", c.assignments,
                static_cast<unsigned long long>(options.seed), qPrintable(dir));
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

int RunEditors(const Options& options, const QString& dir) {
    EditorRace race(options.writes, options.everyMillis, options.soak.seed, options.noSwap);
    std::printf("saves back to back%s against an editor writing one record every %d ms, seed "
                "%llu\n",
                options.noSwap ? " (no swap of two names)" : "", options.everyMillis,
                static_cast<unsigned long long>(options.soak.seed));
    int writes = 0;
    int missing = 0;
    std::vector<EditorMode> modes{EditorMode::Rename, EditorMode::Truncate, EditorMode::InPlace};
    if (!QStandardPaths::findExecutable(QStringLiteral("vim")).isEmpty())
        modes.push_back(EditorMode::Vim);
    for (const EditorMode mode : modes) {
        const EditorRaceCounts c = race.Run(dir, mode);
        std::printf("  %s: %d of %d editor writes missing; %d saves done, %d failed\n",
                    EditorRace::NameOf(mode), c.missing, c.writes, c.saves, c.failedSaves);
        writes += c.writes;
        missing += c.missing;
    }
    std::printf("  in all: %d of %d editor writes missing\n", missing, writes);
    return missing == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!Parse(argc, argv, options))
        return Usage(argv[0]);
    const QString parent =
        options.soak.parentDirectory.isEmpty() ? QDir::tempPath() : options.soak.parentDirectory;
    QTemporaryDir dir(parent + QStringLiteral("/trinode-soak-XXXXXX"));
    if (!dir.isValid()) {
        std::fprintf(stderr, "cannot make a temporary directory: %s\n",
                     qPrintable(dir.errorString()));
        return 2;
    }
    return options.editor ? RunEditors(options, dir.path()) : RunKills(options.soak, dir.path());
}
