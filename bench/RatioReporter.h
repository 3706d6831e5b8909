#pragma once
// Keeps each benchmark's time per iteration, so a benchmark program can
// print the ratio of two of them measured in the same run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <unistd.h>
#include <string>
#include <vector>

class RatioReporter : public benchmark::ConsoleReporter {
public:
    // Colours only on a terminal: a log keeps plain text.
    RatioReporter() : ConsoleReporter(isatty(fileno(stdout)) ? OO_Defaults : OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration) times[run.benchmark_name()] = run.GetAdjustedRealTime();
    }
    std::map<std::string, double> times;
};
