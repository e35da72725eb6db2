// The comparison the benchmarks print after their runs: each run's processor time per iteration (the
// fastest of the repetitions, since the work is fixed and interference only adds), ratios between
// runs and the verdict on the targets.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

class FastestReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override;
    // Seconds per iteration of the run of that name as the console shows it ("BitBlt/16",
    // "BM_Zlib/2"); 0 when it did not run or failed.
    double Seconds(const std::string& name) const;
    // The median over the repetitions of the same run; 0 when it did not run.
    double MedianSeconds(const std::string& name) const;

private:
    std::map<std::string, std::vector<double>> m_seconds;
};

// a / b, or 0 when b was not measured.
double Ratio(double a, double b);
// The column after a figure: "!" marks a missed target.
const char* Mark(bool bMet);
// The closing line of a table whose missed targets are marked "!".
void PrintVerdict(int nMissed);
