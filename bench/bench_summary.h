// Collects the figures of a benchmark run as they are reported and, at the end, prints what
// the run means against the camera's performance targets: ns per ray and the ratio to the floor
// for each build, the sample table's cost per frame and per entry with the host's share, the
// preview, and the render's thread scaling. The last lines are one per build:
//   evaluateRay test2 ratio to floor: 1.12
#pragma once

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace vbench {

class SummaryReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& reports) override;

    // Prints the summary of whatever ran; false when a benchmark failed.
    bool printSummary(std::FILE* out) const;

  private:
    // Seconds per iteration, the median over the repetitions (CPU time of the benchmark thread,
    // wall-clock time for the multi-threaded render); negative when there is no figure.
    double median(const std::string& name) const;
    // A user counter of a benchmark, the median over the repetitions; negative when missing.
    double counter(const std::string& name, const std::string& counterName) const;
    // Module over floor for a build, from the separate benchmarks; negative when not run.
    double rayRatio(int variant) const;
    void printRays(std::FILE* out) const;
    void printSampleTable(std::FILE* out) const;
    void printPreview(std::FILE* out) const;
    void printRenderScaling(std::FILE* out) const;

    std::map<std::string, std::vector<double>> runs_; // per repetition
    std::map<std::string, double> medians_;           // as the library aggregated them
    std::map<std::string, std::map<std::string, std::vector<double>>> counterRuns_;
    std::map<std::string, std::map<std::string, double>> counterMedians_;
    std::map<std::string, std::string> errors_;
};

} // namespace vbench
