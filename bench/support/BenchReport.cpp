#include "bench/support/BenchReport.h"

#include <cstdio>

void FastestReporter::ReportRuns(const std::vector<Run>& runs) {
    for (const Run& run : runs) {
        if (Run::RT_Iteration != run.run_type || run.iterations <= 0 || run.error_occurred) {
            continue;
        }
        const double t = run.cpu_accumulated_time / (double)run.iterations;
        auto it = m_seconds.find(run.benchmark_name());
        if (it == m_seconds.end() || t < it->second) {
            m_seconds[run.benchmark_name()] = t;
        }
    }
    ConsoleReporter::ReportRuns(runs);
}

double FastestReporter::Seconds(const std::string& name) const {
    auto it = m_seconds.find(name);
    return it == m_seconds.end() ? 0.0 : it->second;
}

double Ratio(double a, double b) {
    return b > 0 ? a / b : 0;
}

const char* Mark(bool bMet) {
    return bMet ? " " : "!";
}

void PrintVerdict(int nMissed) {
    printf("\n  %s\n", 0 == nMissed ? "every target met" : "some targets missed (marked !)");
}
