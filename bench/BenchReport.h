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

    void ReportRuns(const std::vector<Run>& runs) override;
    // The median in microseconds, or -1 when the benchmark failed or did not
    // run.
    double Micros(const char* name) const;
    // One line: the operation, its floor, their ratio and whether it meets
    // the target ratio.
    void PrintComparison(const char* operation, const char* floor, double target) const;

private:
    std::map<std::string, double> m_micros;
};
