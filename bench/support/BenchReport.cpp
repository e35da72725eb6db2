#include "bench/support/BenchReport.h"

#include <algorithm>
#include <cstdio>

void FastestReporter::ReportRuns(const std::vector<Run>& runs) {
    for (const Run& run : runs) {
        if (Run::RT_Iteration != run.run_type || run.iterations <= 0 || run.error_occurred) {
            continue;
        }
        m_seconds[run.benchmark_name()].push_back(run.cpu_accumulated_time / (double)run.iterations);
    }
    ConsoleReporter::ReportRuns(runs);
}

double FastestReporter::Seconds(const std::string& name) const {
    auto it = m_seconds.find(name);
    return it == m_seconds.end() ? 0.0 : *std::min_element(it->second.begin(), it->second.end());
}

double FastestReporter::MedianSeconds(const std::string& name) const {
    auto it = m_seconds.find(name);
    if (it == m_seconds.end()) {
        return 0.0;
    }
    std::vector<double> t = it->second;
    std::sort(t.begin(), t.end());
    const size_t n = t.size();
    return n % 2 ? t[n / 2] : (t[n / 2 - 1] + t[n / 2]) / 2;
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
