#pragma once
#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

// Collects the mean real time of each benchmark for the ratio lines.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    // No colours, so that the ratio lines start their lines.
    RatioReporter() : ConsoleReporter(OO_Tabular) {}
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& r : runs)
            if (!r.error_occurred && r.run_type == Run::RT_Iteration)
                times[r.benchmark_name()] = r.GetAdjustedRealTime();
    }
    std::map<std::string, double> times;
};
