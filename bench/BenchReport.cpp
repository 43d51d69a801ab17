#include "BenchReport.h"

#include <cstdio>
#include <unistd.h>

BenchReport::BenchReport()
    : ConsoleReporter(::isatty(STDOUT_FILENO) ? OO_ColorTabular : OO_Tabular) {}

void BenchReport::Add(const char* name, void (*function)(benchmark::State&), int repetitions) {
    benchmark::RegisterBenchmark(name, function)
        ->Unit(benchmark::kMicrosecond)
        ->UseRealTime()
        ->Repetitions(repetitions)
        ->ReportAggregatesOnly(true);
}

void BenchReport::RunInterleaved(int argc, char** argv, int repetitions) {
    std::vector<char*> args(argv, argv + argc);
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave.data());
    int count = int(args.size());
    benchmark::Initialize(&count, args.data());
    benchmark::RunSpecifiedBenchmarks(this);
    benchmark::Shutdown();

    std::printf("\nMedian wall time of %d repetitions, microseconds\n", repetitions);
    std::printf("%-30s %12s   %-32s %12s   %7s   %s\n", "operation", "time", "floor", "time",
                "ratio", "target");
}

void BenchReport::ReportRuns(const std::vector<Run>& runs) {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
        if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median" &&
            !run.error_occurred)
            m_micros[run.run_name.function_name] = run.GetAdjustedRealTime();
    }
}

double BenchReport::Micros(const char* name) const {
    const auto it = m_micros.find(name);
    return it == m_micros.end() ? -1 : it->second;
}

void BenchReport::PrintComparison(const char* operation, const char* floor, double target,
                                  double allowanceMicros) const {
    const double time = Micros(operation);
    const double floorTime = Micros(floor);
    if (time < 0 || floorTime <= 0) {
        std::printf("%-30s %12s\n", operation, "failed");
        return;
    }
    const double ratio = time / floorTime;
    const bool meets = time <= target * floorTime + allowanceMicros;
    std::printf("%-30s %12.1f   %-32s %12.1f   %6.2fx   %s %.1fx", operation, time, floor,
                floorTime, ratio, meets ? "meets" : "MISSES", target);
    if (allowanceMicros > 0)
        std::printf(" + %.0f ms", allowanceMicros / 1000);
    std::printf("\n");
}
