#include "bench/bench_summary.h"

#include <algorithm>

#include "bench/bench_registry.h"
#include "bench/bench_world.h"
#include "bench/ray_arguments.h"

namespace vbench {

namespace {

constexpr double kRayRatioTarget = 1.3;
constexpr double kLinearityTarget = 1.25;
constexpr double kScalingTarget = 1.7;

bool isWallClock(const std::string& name) {
    return name.rfind("render/", 0) == 0;
}

double secondsPerIteration(const benchmark::BenchmarkReporter::Run& run, const std::string& name) {
    const double time = isWallClock(name) ? run.GetAdjustedRealTime() : run.GetAdjustedCPUTime();
    return time / benchmark::GetTimeUnitMultiplier(run.time_unit);
}

double medianOf(std::vector<double> values) {
    if (values.empty()) {
        return -1.0;
    }
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 == 1 ? values[mid] : 0.5 * (values[mid - 1] + values[mid]);
}

const char* verdict(bool met) {
    return met ? "met" : "MISSED";
}

} // namespace

void SummaryReporter::ReportRuns(const std::vector<Run>& reports) {
    ConsoleReporter::ReportRuns(reports);
    for (const Run& run : reports) {
        // The registered name, without the suffixes the library adds (min_time, real_time).
        const std::string name = run.run_name.function_name;
        if (run.error_occurred) {
            errors_[name] = run.error_message;
        } else if (run.run_type == Run::RT_Iteration) {
            runs_[name].push_back(secondsPerIteration(run, name));
            for (const auto& [counterName, value] : run.counters) {
                counterRuns_[name][counterName].push_back(value.value);
            }
        } else if (run.aggregate_name == "median") {
            medians_[name] = secondsPerIteration(run, name);
            for (const auto& [counterName, value] : run.counters) {
                counterMedians_[name][counterName] = value.value;
            }
        }
    }
}

double SummaryReporter::median(const std::string& name) const {
    const auto aggregated = medians_.find(name);
    if (aggregated != medians_.end()) {
        return aggregated->second;
    }
    const auto repetitions = runs_.find(name);
    return repetitions != runs_.end() ? medianOf(repetitions->second) : -1.0;
}

bool SummaryReporter::printSummary(std::FILE* out) const {
    for (const auto& [name, message] : errors_) {
        std::fprintf(out, "FAILED %s: %s\n", name.c_str(), message.c_str());
    }
    std::fprintf(out,
                 "\nSummary (medians over the repetitions; CPU time, the render wall-clock)\n");
    printRays(out);
    printSampleTable(out);
    printPreview(out);
    printRenderScaling(out);
    for (int v = 1; v <= kVariants; ++v) {
        const double paired = counter(pairedRayName(v), "ratio");
        const double ratio = paired > 0.0 ? paired : rayRatio(v);
        if (ratio > 0.0) {
            std::fprintf(out, "evaluateRay test%d ratio to floor: %.2f\n", v, ratio);
        }
    }
    return errors_.empty();
}

double SummaryReporter::counter(const std::string& name, const std::string& counterName) const {
    const auto aggregated = counterMedians_.find(name);
    if (aggregated != counterMedians_.end() && aggregated->second.count(counterName) != 0) {
        return aggregated->second.at(counterName);
    }
    const auto repetitions = counterRuns_.find(name);
    if (repetitions == counterRuns_.end() || repetitions->second.count(counterName) == 0) {
        return -1.0;
    }
    return medianOf(repetitions->second.at(counterName));
}

double SummaryReporter::rayRatio(int variant) const {
    const std::string build = "test" + std::to_string(variant);
    const double module = median("evaluateRay/" + build);
    const double floor = median("floor/" + build);
    return module > 0.0 && floor > 0.0 ? module / floor : -1.0;
}

void SummaryReporter::printRays(std::FILE* out) const {
    std::fprintf(out, "evaluateRay per ray, separate benchmarks (CPU time), then in alternation "
                      "(median single batch; the ratio judged):\n");
    for (int v = 1; v <= kVariants; ++v) {
        const std::string build = "test" + std::to_string(v);
        const double ratio = rayRatio(v);
        if (ratio > 0.0) {
            std::fprintf(out, "  %s separate:    handler %6.2f ns, floor %6.2f ns, ratio %.2f\n",
                         build.c_str(), median("evaluateRay/" + build) / kRaysPerBatch * 1e9,
                         median("floor/" + build) / kRaysPerBatch * 1e9, ratio);
        }
        const double paired = counter(pairedRayName(v), "ratio");
        if (paired > 0.0) {
            std::fprintf(out,
                         "  %s alternating: handler %6.2f ns, floor %6.2f ns, ratio %.2f "
                         "(target <= %.1f: %s)\n",
                         build.c_str(), counter(pairedRayName(v), "module_ns"),
                         counter(pairedRayName(v), "floor_ns"), paired, kRayRatioTarget,
                         verdict(paired <= kRayRatioTarget));
        }
    }
}

void SummaryReporter::printSampleTable(std::FILE* out) const {
    std::fprintf(out, "buildSampleTable (log off; host = the same host calls without the module; "
                      "log on for comparison):\n");
    std::fprintf(out, "  %5s %7s %12s %12s %12s %8s %14s\n", "steps", "entries", "us/frame",
                 "ns/entry", "host us", "host %", "log on us");
    for (int steps : kTableMotionSteps) {
        const double frame = median(sampleTableName(steps, false));
        const double host = median(sampleTableHostName(steps));
        const double logged = median(sampleTableName(steps, true));
        if (frame < 0.0 || host < 0.0 || logged < 0.0) {
            std::fprintf(out, "  %5d not run\n", steps);
            continue;
        }
        std::fprintf(out, "  %5d %7d %12.2f %12.1f %12.2f %7.1f%% %14.2f\n", steps,
                     tableEntries(steps), frame * 1e6, frame / tableEntries(steps) * 1e9,
                     host * 1e6, 100.0 * host / frame, logged * 1e6);
    }
    const double steps64 = median(sampleTableName(64, false));
    const double steps16 = median(sampleTableName(16, false));
    if (steps64 > 0.0 && steps16 > 0.0) {
        std::fprintf(out, "  64 steps / (64/16 x 16 steps), separate benchmarks: %.3f\n",
                     steps64 / (4.0 * steps16));
    }
    const double linearity = counter(kPairedLinearityName, "linearity");
    if (linearity > 0.0) {
        std::fprintf(out,
                     "  64 steps / (64/16 x 16 steps), in alternation: %.3f (%.1f us / %.1f us; "
                     "target <= %.2f: %s)\n",
                     linearity, counter(kPairedLinearityName, "steps64_us"),
                     counter(kPairedLinearityName, "steps16_us"), kLinearityTarget,
                     verdict(linearity <= kLinearityTarget));
    }
    const double share = counter(kPairedTableHostName, "host_share");
    if (share > 0.0) {
        std::fprintf(
            out,
            "  16 steps in alternation with the host's answers alone: frame %.1f us, "
            "host %.1f us: host's share %.1f%%, module's own work %.1f us "
            "(%.0f ns/entry)\n",
            counter(kPairedTableHostName, "frame_us"), counter(kPairedTableHostName, "host_us"),
            100.0 * share,
            counter(kPairedTableHostName, "frame_us") - counter(kPairedTableHostName, "host_us"),
            (counter(kPairedTableHostName, "frame_us") - counter(kPairedTableHostName, "host_us")) *
                1e3 / tableEntries(16));
    }
}

void SummaryReporter::printPreview(std::FILE* out) const {
    const double preview = median(previewName(false));
    const double host = median(kPreviewHostName);
    const double logged = median(previewName(true));
    if (preview < 0.0 || host < 0.0 || logged < 0.0) {
        std::fprintf(out, "buildPreviewMatrix: not run\n");
        return;
    }
    std::fprintf(out,
                 "buildPreviewMatrix: %.0f ns/call (log off), host's answers alone %.0f ns; "
                 "log on %.0f ns/call\n",
                 preview * 1e9, host * 1e9, logged * 1e9);
    const double share = counter(kPairedPreviewHostName, "host_share");
    if (share > 0.0) {
        std::fprintf(out, "  in alternation: preview %.0f ns, host %.0f ns: host's share %.1f%%\n",
                     counter(kPairedPreviewHostName, "preview_ns"),
                     counter(kPairedPreviewHostName, "host_ns"), 100.0 * share);
    }
}

void SummaryReporter::printRenderScaling(std::FILE* out) const {
    for (bool floor : {false, true}) {
        const double one = median(renderName(1, floor));
        const double two = median(renderName(2, floor));
        const char* camera = floor ? "inlined floor as camera (control)" : "test2 module";
        if (one < 0.0 || two < 0.0) {
            std::fprintf(out, "render scaling, %s: not run\n", camera);
            continue;
        }
        std::fprintf(out,
                     "render 120x80 x 4 samples, %s, wall-clock: 1 thread %.1f ms, 2 threads "
                     "%.1f ms: scaling %.2fx (target >= %.1f: %s)\n",
                     camera, one * 1e3, two * 1e3, one / two, kScalingTarget,
                     verdict(one / two >= kScalingTarget));
    }
}

} // namespace vbench
