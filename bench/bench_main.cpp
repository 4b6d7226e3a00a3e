// The camera module's benchmarks: the three module files are loaded into one stand-in host
// before anything is timed and unloaded after; then the summary against the targets.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "bench/bench_registry.h"
#include "bench/bench_summary.h"
#include "bench/bench_world.h"

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 2;
    }
    std::string error;
    std::unique_ptr<vbench::BenchWorld> world =
        vbench::BenchWorld::open(vbench::builtModulePaths(), &error);
    if (world == nullptr) {
        std::fprintf(stderr, "vellary_bench: %s\n", error.c_str());
        return 1;
    }
    vbench::setWorld(world.get());
    vbench::registerEvaluateRayBenchmarks();
    vbench::registerSampleTableBenchmarks();
    vbench::registerPreviewBenchmarks();
    vbench::registerRenderScalingBenchmarks();

    vbench::SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    vbench::setWorld(nullptr);
    const std::vector<std::string> violations = world->close();
    for (const std::string& violation : violations) {
        std::fprintf(stderr, "host violation: %s\n", violation.c_str());
    }
    const bool complete = reporter.printSummary(stdout);
    return complete && violations.empty() ? 0 : 1;
}
