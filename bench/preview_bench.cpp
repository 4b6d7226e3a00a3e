// buildPreviewMatrix, called through the preview slot of the host's handler record, with the
// host's call log recording and not, beside the host's share of it (host_call_replay.h).
#include <benchmark/benchmark.h>

#include <string>

#include "bench/bench_registry.h"
#include "bench/bench_world.h"
#include "bench/host_call_check.h"
#include "bench/host_call_replay.h"
#include "bench/paired_timing.h"

namespace vbench {

namespace {

constexpr int kPreviewVariant = 1;
constexpr std::size_t kLogLimit = 200000;
// The host's current time while the interactive view is drawn: inside the animated frame.
constexpr double kPreviewTime = 1.01;

const CameraInstance& benchCamera() {
    return *static_cast<const CameraInstance*>(world()->variant(kPreviewVariant).instance);
}

int previewOnce(Matrix4d* projection) {
    BenchWorld& w = *world();
    const LoadedVariant& loaded = w.variant(kPreviewVariant);
    return loaded.module->handlerCallbacks().preview(loaded.instance, 0.0, 0.0, projection,
                                                     w.cameraRecord());
}

void replayPreview() {
    BenchWorld& w = *world();
    answerPreviewCalls(w.host().globalLookup(), benchCamera(), w.cameraItem());
}

bool prepare(std::string* error) {
    BenchWorld& w = *world();
    w.host().setTime(kPreviewTime);
    Matrix4d projection;
    return replayMatchesModule(
        w.host(), [&] { return previewOnce(&projection) == 1; }, replayPreview, error);
}

void previewThroughHandler(benchmark::State& state, bool logging) {
    std::string error;
    if (!prepare(&error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    BenchWorld& w = *world();
    const LoadedVariant& loaded = w.variant(kPreviewVariant);
    const HandlerCallbackTable* handler = &loaded.module->handlerCallbacks();
    hostsim::CallLog& log = w.host().log();
    log.setRecording(logging);
    std::vector<Matrix4d> projection(1);
    int made = 0;
    for (auto _ : state) {
        made += handler->preview(loaded.instance, 0.0, 0.0, projection.data(), w.cameraRecord());
        if (logging && log.size() > kLogLimit) {
            log.clear();
        }
    }
    benchmark::DoNotOptimize(projection);
    log.setRecording(true);
    log.clear();
    if (made != state.iterations()) {
        state.SkipWithError("preview did not return 1");
    }
}

void answerHostCalls(benchmark::State& state) {
    std::string error;
    if (!prepare(&error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    hostsim::CallLog& log = world()->host().log();
    log.setRecording(false);
    for (auto _ : state) {
        replayPreview();
    }
    log.setRecording(true);
    log.clear();
}

// The preview and the host's answers to its calls alone, in alternation (log off).
void hostSharePaired(benchmark::State& state) {
    std::string error;
    if (!prepare(&error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    hostsim::CallLog& log = world()->host().log();
    log.setRecording(false);
    Matrix4d projection;
    int made = 0;
    const PairedMedians medians = timeInAlternation(
        state, [&] { made += previewOnce(&projection); }, replayPreview);
    benchmark::DoNotOptimize(projection);
    log.setRecording(true);
    log.clear();
    if (made != state.iterations()) {
        state.SkipWithError("preview did not return 1");
    }
    state.counters["preview_ns"] = medians.first * 1e9;
    state.counters["host_ns"] = medians.second * 1e9;
    state.counters["host_share"] = medians.second / medians.first;
}

} // namespace

void registerPreviewBenchmarks() {
    for (bool logging : {false, true}) {
        benchmark::RegisterBenchmark(previewName(logging).c_str(), previewThroughHandler, logging)
            ->Unit(benchmark::kNanosecond);
    }
    benchmark::RegisterBenchmark(kPreviewHostName, answerHostCalls)->Unit(benchmark::kNanosecond);
    benchmark::RegisterBenchmark(kPairedPreviewHostName, hostSharePaired)
        ->Unit(benchmark::kNanosecond);
}

} // namespace vbench
