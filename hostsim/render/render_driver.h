// Renders the scene through a caller's camera: for every pixel sample it asks the ray function
// for a ray, traces it, and averages the pixel. Rows go to worker threads one at a time through
// a shared counter, so fast and slow rows even out over the cores.
#pragma once

#include "host/host_records.h"
#include "hostsim/render/image.h"
#include "hostsim/render/scene.h"

#include <cstdint>
#include <functional>

namespace hostsim::render {

// The camera: film position (film units, 0 = centre of the unshifted film), lens position
// (aperture radius units, on the unit disc), time fraction of the exposure -> a ray in world
// coordinates, of any non-zero length. False when no ray could be made; the sample then counts
// as black and is reported in RenderStats::failedRays. Called from several threads at once.
using RayFunction = std::function<bool(double filmX, double filmY, double lensX, double lensY,
                                       double timeFraction, RayRecord* ray)>;

// Called on the thread that called renderImage, whenever more rows are finished; the last call
// has rowsDone == totalRows.
using ProgressCallback = std::function<void(int rowsDone, int totalRows)>;

struct RenderSettings {
    int width = 600;
    int height = 400;
    int samplesPerPixel = 16;
    int threads = 0; // 0: every core the machine reports
    double filmWidth = 0.036;
    double filmHeight = 0.024;
    std::uint64_t seed = 1;
};

struct RenderStats {
    std::uint64_t cameraRays = 0; // rays asked of the ray function
    std::uint64_t failedRays = 0; // of those, how many it refused
    int threads = 0;              // worker threads actually used
    double seconds = 0.0;         // wall-clock time of the whole render
    double raysPerSecond = 0.0;   // camera rays per wall-clock second
};

struct RenderResult {
    Image image;
    RenderStats stats;
};

// Sizes below 1 give an empty image; fewer than 1 sample per pixel counts as 1. An exception
// thrown by the ray function or the progress callback stops the render and is rethrown here
// once every worker has stopped.
RenderResult renderImage(const RenderSettings& settings, const Scene& scene,
                         const RayFunction& rayFunction,
                         const ProgressCallback& progress = nullptr);

// The threads renderImage starts for a requested count (0 = all cores), never below 1.
int workerThreadCount(int requested);

} // namespace hostsim::render
