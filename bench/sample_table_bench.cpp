// buildSampleTable, called through the new-frame slot of the host's handler record, for frames
// of 0 to 64 motion steps, with the host's call log recording and not; beside it the host's
// share: the same host calls made with no module code (host_call_replay.h). The table's cost
// should grow with its entry count and nothing else.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/bench_registry.h"
#include "bench/bench_world.h"
#include "bench/host_call_check.h"
#include "bench/host_call_replay.h"
#include "bench/paired_timing.h"

namespace vbench {

namespace {

// The variant whose new frame is timed; the callback is the same code in every build.
constexpr int kTableVariant = 1;
// With recording on, the log keeps every call; it is emptied past this many, inside the timing,
// since keeping and dropping the records is part of what logging costs.
constexpr std::size_t kLogLimit = 200000;

const CameraInstance& benchCamera() {
    return *static_cast<const CameraInstance*>(world()->variant(kTableVariant).instance);
}

void replayFrame(int motionSteps) {
    BenchWorld& w = *world();
    const FrameTiming* timing = w.frameTiming(motionSteps);
    answerSampleTableCalls(benchCamera(), w.cameraItem(), timing->start, timing->duration,
                           motionSteps);
}

bool checkReplay(int motionSteps, std::string* error) {
    BenchWorld& w = *world();
    return replayMatchesModule(
        w.host(), [&] { return w.buildTable(kTableVariant, motionSteps); },
        [&] { replayFrame(motionSteps); }, error);
}

void setEntryCounter(benchmark::State& state, int motionSteps) {
    state.counters["entries"] = tableEntries(motionSteps);
    state.SetItemsProcessed(static_cast<long>(state.iterations()) * tableEntries(motionSteps));
}

void buildTableThroughHandler(benchmark::State& state, int motionSteps, bool logging) {
    std::string error;
    if (!checkReplay(motionSteps, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    BenchWorld& w = *world();
    const LoadedVariant& loaded = w.variant(kTableVariant);
    const HandlerCallbackTable* handler = &loaded.module->handlerCallbacks();
    const FrameTiming* timing = w.frameTiming(motionSteps);
    hostsim::CallLog& log = w.host().log();
    log.setRecording(logging);
    bool failed = false;
    for (auto _ : state) {
        failed |= handler->newFrame(loaded.instance, timing, w.cameraRecord()) != nullptr;
        if (logging && log.size() > kLogLimit) {
            log.clear();
        }
    }
    log.setRecording(true);
    log.clear();
    if (failed) {
        state.SkipWithError("new frame failed");
    }
    setEntryCounter(state, motionSteps);
}

void answerHostCalls(benchmark::State& state, int motionSteps) {
    std::string error;
    if (!checkReplay(motionSteps, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    hostsim::CallLog& log = world()->host().log();
    log.setRecording(false);
    for (auto _ : state) {
        replayFrame(motionSteps);
    }
    log.setRecording(true);
    log.clear();
    setEntryCounter(state, motionSteps);
}

// A frame of 64 steps and one of 16 in alternation (log off): linearity = t64 / (4 x t16).
void linearityPaired(benchmark::State& state) {
    BenchWorld& w = *world();
    const LoadedVariant& loaded = w.variant(kTableVariant);
    const HandlerCallbackTable* handler = &loaded.module->handlerCallbacks();
    w.host().log().setRecording(false);
    bool failed = false;
    const auto frame = [&](int steps) {
        return [&, steps] {
            failed |= handler->newFrame(loaded.instance, w.frameTiming(steps), w.cameraRecord()) !=
                      nullptr;
        };
    };
    const PairedMedians medians = timeInAlternation(state, frame(64), frame(16));
    w.host().log().setRecording(true);
    w.host().log().clear();
    if (failed) {
        state.SkipWithError("new frame failed");
    }
    state.counters["steps64_us"] = medians.first * 1e6;
    state.counters["steps16_us"] = medians.second * 1e6;
    state.counters["linearity"] = medians.first / (4.0 * medians.second);
}

// A 16-step frame and the host's answers to its calls alone, in alternation (log off).
void hostSharePaired(benchmark::State& state) {
    constexpr int kSteps = 16;
    std::string error;
    if (!checkReplay(kSteps, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    BenchWorld& w = *world();
    const LoadedVariant& loaded = w.variant(kTableVariant);
    const HandlerCallbackTable* handler = &loaded.module->handlerCallbacks();
    w.host().log().setRecording(false);
    bool failed = false;
    const PairedMedians medians = timeInAlternation(
        state,
        [&] {
            failed |= handler->newFrame(loaded.instance, w.frameTiming(kSteps), w.cameraRecord()) !=
                      nullptr;
        },
        [&] { replayFrame(kSteps); });
    w.host().log().setRecording(true);
    w.host().log().clear();
    if (failed) {
        state.SkipWithError("new frame failed");
    }
    state.counters["frame_us"] = medians.first * 1e6;
    state.counters["host_us"] = medians.second * 1e6;
    state.counters["host_share"] = medians.second / medians.first;
}

} // namespace

void registerSampleTableBenchmarks() {
    for (int steps : kTableMotionSteps) {
        for (bool logging : {false, true}) {
            benchmark::RegisterBenchmark(sampleTableName(steps, logging).c_str(),
                                         buildTableThroughHandler, steps, logging)
                ->Unit(benchmark::kMicrosecond);
        }
        benchmark::RegisterBenchmark(sampleTableHostName(steps).c_str(), answerHostCalls, steps)
            ->Unit(benchmark::kMicrosecond);
    }
    benchmark::RegisterBenchmark(kPairedLinearityName, linearityPaired)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(kPairedTableHostName, hostSharePaired)
        ->Unit(benchmark::kMicrosecond);
}

} // namespace vbench
