// A whole render through the stand-in host's renderer with the module's evaluateRay as the
// camera, on one and on two worker threads. The camera shares nothing writable between rays
// (it only reads the sample table), so two threads should come close to twice the throughput
// of one on a machine with two free cores. The same render with the floor's inlined arithmetic
// as the camera is the control: when it scales no better, the shortfall is the machine's (other
// processes on the cores) or the renderer's, not the module's.
#include <benchmark/benchmark.h>

#include "bench/bench_registry.h"
#include "bench/bench_world.h"
#include "bench/ray_floor.h"
#include "hostsim/render/default_scene.h"
#include "hostsim/render/render_driver.h"

namespace vbench {

namespace {

constexpr int kRenderVariant = 2;

hostsim::render::RenderSettings renderSettings(int threads) {
    hostsim::render::RenderSettings settings;
    settings.width = 120;
    settings.height = 80;
    settings.samplesPerPixel = 4;
    settings.threads = threads;
    settings.filmWidth = kFilmWidth;
    settings.filmHeight = kFilmHeight;
    return settings;
}

// The module's evaluateRay through the host's handler record, or the inlined floor.
hostsim::render::RayFunction renderCamera(bool floor) {
    if (floor) {
        return [](double filmX, double filmY, double lensX, double lensY, double time,
                  RayRecord* ray) {
            return evaluateRayInline<kRenderVariant>(filmX, filmY, lensX, lensY, time, ray) == 1;
        };
    }
    const LoadedVariant& loaded = world()->variant(kRenderVariant);
    const HandlerCallbackTable* handler = &loaded.module->handlerCallbacks();
    const HostInstance instance = loaded.instance;
    return [handler, instance](double filmX, double filmY, double lensX, double lensY, double time,
                               RayRecord* ray) {
        return handler->evaluate(instance, filmX, filmY, lensX, lensY, time, ray) == 1;
    };
}

void renderScene(benchmark::State& state, int threads, bool floor) {
    BenchWorld& w = *world();
    if (!w.buildTable(kRenderVariant, kRayFrameMotionSteps) ||
        !w.buildLocalTable(kRayFrameMotionSteps)) {
        state.SkipWithError("new frame failed");
        return;
    }
    static const hostsim::render::Scene scene = hostsim::render::defaultScene();
    const hostsim::render::RayFunction camera = renderCamera(floor);
    const hostsim::render::RenderSettings settings = renderSettings(threads);
    std::uint64_t rays = 0;
    for (auto _ : state) {
        const hostsim::render::RenderResult result =
            hostsim::render::renderImage(settings, scene, camera);
        if (result.stats.failedRays != 0 || result.stats.threads != threads) {
            state.SkipWithError("the render lost rays or ran on other threads than asked");
            return;
        }
        rays += result.stats.cameraRays;
    }
    state.SetItemsProcessed(static_cast<long>(rays));
}

} // namespace

void registerRenderScalingBenchmarks() {
    for (bool floor : {false, true}) {
        for (int threads : {1, 2}) {
            benchmark::RegisterBenchmark(renderName(threads, floor).c_str(), renderScene, threads,
                                         floor)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime()
                ->MinTime(0.3);
        }
    }
}

} // namespace vbench
