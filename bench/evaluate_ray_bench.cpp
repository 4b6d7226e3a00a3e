// evaluateRay of each build, called through the evaluate slot of the host's handler record as
// the host calls it, against the floor: the same arithmetic inlined in the loop (ray_floor.h).
// Both write every ray into a record in memory and re-read the module-wide table for every ray,
// as a call through a pointer must; the difference left is the call itself and whatever the
// module's code does beyond the arithmetic.
#include <benchmark/benchmark.h>

#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_registry.h"
#include "bench/bench_world.h"
#include "bench/paired_timing.h"
#include "bench/ray_arguments.h"
#include "bench/ray_floor.h"

namespace vbench {

namespace {

const std::vector<RayArguments>& batch() {
    static const std::vector<RayArguments> rays =
        makeRayArguments(kRaysPerBatch, kFilmWidth, kFilmHeight, 20240611u);
    return rays;
}

template <int Variant> int floorRay(const RayArguments& a, RayRecord* ray) {
    return evaluateRayInline<Variant>(a.filmX, a.filmY, a.lensX, a.lensY, a.timeFraction, ray);
}

int floorRay(int variant, const RayArguments& a, RayRecord* ray) {
    switch (variant) {
    case 1:
        return floorRay<1>(a, ray);
    case 2:
        return floorRay<2>(a, ray);
    default:
        return floorRay<3>(a, ray);
    }
}

// Builds the frame's table in the loaded module and in the linked copy, and checks that the
// floor returns exactly the module's rays: otherwise the comparison would be meaningless.
bool prepareFrame(int variant, std::string* error) {
    BenchWorld& w = *world();
    if (!w.buildTable(variant, kRayFrameMotionSteps) || !w.buildLocalTable(kRayFrameMotionSteps)) {
        *error = "new frame failed";
        return false;
    }
    const LoadedVariant& loaded = w.variant(variant);
    const HandlerCallbackTable& handler = loaded.module->handlerCallbacks();
    for (const RayArguments& a : batch()) {
        RayRecord fromModule;
        RayRecord fromFloor;
        std::memset(&fromModule, 0, sizeof fromModule);
        std::memset(&fromFloor, 0, sizeof fromFloor);
        const int made = handler.evaluate(loaded.instance, a.filmX, a.filmY, a.lensX, a.lensY,
                                          a.timeFraction, &fromModule);
        if (made != 1 || floorRay(variant, a, &fromFloor) != 1 ||
            std::memcmp(&fromModule, &fromFloor, sizeof(RayRecord)) != 0) {
            *error = "the floor does not reproduce the module's rays";
            return false;
        }
    }
    return true;
}

void finish(benchmark::State& state, long made) {
    const long expected = static_cast<long>(state.iterations()) * static_cast<long>(kRaysPerBatch);
    if (made != expected) {
        state.SkipWithError("a ray evaluation reported no ray");
    }
    state.SetItemsProcessed(expected);
    state.counters["rays_per_iteration"] = static_cast<double>(kRaysPerBatch);
}

void evaluateThroughHandler(benchmark::State& state, int variant) {
    std::string error;
    if (!prepareFrame(variant, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    const LoadedVariant& loaded = world()->variant(variant);
    // The host's record: the slot is read for every call, as the host's render loop does.
    const HandlerCallbackTable* handler = &loaded.module->handlerCallbacks();
    const HostInstance instance = loaded.instance;
    const std::vector<RayArguments>& rays = batch();
    std::vector<RayRecord> record(1);
    RayRecord* ray = record.data();
    long made = 0;
    for (auto _ : state) {
        for (const RayArguments& a : rays) {
            made += handler->evaluate(instance, a.filmX, a.filmY, a.lensX, a.lensY, a.timeFraction,
                                      ray);
        }
    }
    benchmark::DoNotOptimize(record);
    finish(state, made);
}

template <int Variant> void evaluateInlineFloor(benchmark::State& state) {
    std::string error;
    if (!prepareFrame(Variant, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    const std::vector<RayArguments>& rays = batch();
    std::vector<RayRecord> record(1);
    RayRecord* ray = record.data();
    benchmark::DoNotOptimize(ray); // the record's address escapes, like the host's
    long made = 0;
    for (auto _ : state) {
        for (const RayArguments& a : rays) {
            made += floorRay<Variant>(a, ray);
            // What a call would force as well: the record written, the table read afresh.
            benchmark::ClobberMemory();
        }
    }
    finish(state, made);
}

// One batch through the handler and one through the floor per iteration, timed one by one
// (paired_timing.h): the ratio the targets are judged by, robust to load from other processes.
template <int Variant> void evaluatePaired(benchmark::State& state) {
    std::string error;
    if (!prepareFrame(Variant, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    const LoadedVariant& loaded = world()->variant(Variant);
    const HandlerCallbackTable* handler = &loaded.module->handlerCallbacks();
    const HostInstance instance = loaded.instance;
    const std::vector<RayArguments>& rays = batch();
    std::vector<RayRecord> record(1);
    RayRecord* ray = record.data();
    benchmark::DoNotOptimize(ray);
    long made = 0;
    const PairedMedians medians = timeInAlternation(
        state,
        [&] {
            for (const RayArguments& a : rays) {
                made += handler->evaluate(instance, a.filmX, a.filmY, a.lensX, a.lensY,
                                          a.timeFraction, ray);
            }
        },
        [&] {
            for (const RayArguments& a : rays) {
                made += floorRay<Variant>(a, ray);
                benchmark::ClobberMemory();
            }
        });
    if (made != 2 * static_cast<long>(state.iterations()) * static_cast<long>(kRaysPerBatch)) {
        state.SkipWithError("a ray evaluation reported no ray");
    }
    state.counters["module_ns"] = medians.first / kRaysPerBatch * 1e9;
    state.counters["floor_ns"] = medians.second / kRaysPerBatch * 1e9;
    state.counters["ratio"] = medians.first / medians.second;
}

} // namespace

void registerEvaluateRayBenchmarks() {
    for (int v = 1; v <= kVariants; ++v) {
        const std::string variant = "test" + std::to_string(v);
        benchmark::RegisterBenchmark(("evaluateRay/" + variant).c_str(), evaluateThroughHandler, v)
            ->Unit(benchmark::kMicrosecond);
        void (*floor)(benchmark::State&) = v == 1   ? evaluateInlineFloor<1>
                                           : v == 2 ? evaluateInlineFloor<2>
                                                    : evaluateInlineFloor<3>;
        benchmark::RegisterBenchmark(("floor/" + variant).c_str(), floor)
            ->Unit(benchmark::kMicrosecond);
        void (*paired)(benchmark::State&) = v == 1   ? evaluatePaired<1>
                                            : v == 2 ? evaluatePaired<2>
                                                     : evaluatePaired<3>;
        benchmark::RegisterBenchmark(pairedRayName(v).c_str(), paired)
            ->Unit(benchmark::kMicrosecond);
    }
}

} // namespace vbench
