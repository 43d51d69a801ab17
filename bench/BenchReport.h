#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

// Prints as the console does and keeps the median of each benchmark's
// repetitions, in microseconds, so that a benchmark can be printed beside its
// floor from the same run.
class BenchReport final : public benchmark::ConsoleReporter {
public:
    BenchReport();

    // Registers a benchmark timed in microseconds of wall time and repeated,
    // so that its median can stand beside a floor's.
    static void Add(const char* name, void (*function)(benchmark::State&), int repetitions);
    // Runs every registered benchmark with the repetitions of all of them in
    // random order, so that a busy spell of the disk or the X server weighs
    // on an operation and its floor alike; then prints the heading of the
    // comparison lines.
    void RunInterleaved(int argc, char** argv, int repetitions);

    void ReportRuns(const std::vector<Run>& runs) override;
    // The median in microseconds, or -1 when the benchmark failed or did not
    // run.
    double Micros(const char* name) const;
    // One line: the operation, its floor, their ratio and whether it meets
    // the target ratio.
    // The target is a ratio of the floor, plus an allowance in
    // microseconds where the work has a part of its own that the floor has not.
    void PrintComparison(const char* operation, const char* floor, double target,
                         double allowanceMicros = 0) const;

private:
    std::map<std::string, double> m_micros;
};
