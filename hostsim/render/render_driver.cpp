#include "hostsim/render/render_driver.h"

#include "hostsim/render/sampling.h"
#include "hostsim/render/shading.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace hostsim::render {
namespace {

// What the workers share: the next row to take, finished rows, and the first failure.
struct RenderJob {
    RenderJob(const RenderSettings& s, const Scene& sc, const RayFunction& f, Image& out)
        : settings(s), scene(sc), rayFunction(f), image(out) {}

    const RenderSettings& settings;
    const Scene& scene;
    const RayFunction& rayFunction;
    Image& image;

    std::atomic<int> nextRow{0};
    std::atomic<std::uint64_t> failedRays{0};
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::condition_variable rowFinished;
    int rowsDone = 0;           // guarded by mutex
    int workersRunning = 0;     // guarded by mutex
    std::exception_ptr failure; // guarded by mutex, the first one only
};

Rgb renderPixel(RenderJob& job, int px, int py, std::uint64_t* failed) {
    const RenderSettings& s = job.settings;
    Rgb sum;
    const std::vector<CameraSample> samples = pixelSamples(s.seed, px, py, s.samplesPerPixel);
    for (const CameraSample& sample : samples) {
        const FilmPoint film = filmPosition(px, py, sample.pixelX, sample.pixelY, s.width, s.height,
                                            s.filmWidth, s.filmHeight);
        RayRecord ray{};
        if (!job.rayFunction(film.x, film.y, sample.lensX, sample.lensY, sample.timeFraction,
                             &ray)) {
            ++*failed;
            continue;
        }
        sum = sum + shadeRay(job.scene, ray.origin, ray.direction);
    }
    return sum * (1.0 / static_cast<double>(samples.size()));
}

void keepFirstFailure(RenderJob& job) {
    job.stop = true;
    std::lock_guard lock(job.mutex);
    if (!job.failure) {
        job.failure = std::current_exception();
    }
}

void renderRows(RenderJob& job) {
    std::uint64_t failed = 0;
    try {
        for (;;) {
            const int row = job.nextRow.fetch_add(1);
            if (row >= job.settings.height || job.stop.load()) {
                break;
            }
            for (int px = 0; px < job.settings.width; ++px) {
                job.image.setPixel(px, row, renderPixel(job, px, row, &failed));
            }
            std::lock_guard lock(job.mutex);
            ++job.rowsDone;
            job.rowFinished.notify_one();
        }
    } catch (...) {
        keepFirstFailure(job);
    }
    job.failedRays += failed;
    std::lock_guard lock(job.mutex);
    --job.workersRunning;
    job.rowFinished.notify_one();
}

// Reports progress on this thread until every worker has stopped, so the callback never runs
// concurrently with itself. A throwing callback stops the workers like a failing ray does.
void reportProgress(RenderJob& job, const ProgressCallback& progress) {
    std::unique_lock lock(job.mutex);
    int reported = 0;
    for (;;) {
        job.rowFinished.wait(lock,
                             [&] { return job.rowsDone != reported || job.workersRunning == 0; });
        const int done = job.rowsDone;
        const bool finished = job.workersRunning == 0;
        if (done != reported) {
            reported = done;
            if (progress && !job.stop.load()) {
                lock.unlock();
                try {
                    progress(done, job.settings.height);
                } catch (...) {
                    keepFirstFailure(job);
                }
                lock.lock();
            }
        }
        if (finished) {
            return;
        }
    }
}

// Starts up to count workers; if the system refuses threads, renders with those it got, or on
// the calling thread when it got none.
std::vector<std::thread> startWorkers(RenderJob& job, int count) {
    std::vector<std::thread> workers;
    for (int i = 0; i < count; ++i) {
        {
            std::lock_guard lock(job.mutex);
            ++job.workersRunning;
        }
        try {
            workers.emplace_back(renderRows, std::ref(job));
        } catch (const std::system_error&) {
            std::lock_guard lock(job.mutex);
            --job.workersRunning;
            break;
        }
    }
    if (workers.empty()) {
        {
            std::lock_guard lock(job.mutex);
            ++job.workersRunning;
        }
        renderRows(job);
    }
    return workers;
}

} // namespace

int workerThreadCount(int requested) {
    if (requested > 0) {
        return requested;
    }
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

RenderResult renderImage(const RenderSettings& requested, const Scene& scene,
                         const RayFunction& rayFunction, const ProgressCallback& progress) {
    RenderSettings settings = requested;
    settings.width = std::max(settings.width, 0);
    settings.height = std::max(settings.height, 0);
    settings.samplesPerPixel = std::max(settings.samplesPerPixel, 1);
    if (settings.width == 0) {
        settings.height = 0; // nothing to render, and no rows to report
    }

    RenderResult result{Image(settings.width, settings.height), {}};
    RenderJob job{settings, scene, rayFunction, result.image};
    const int threads = std::min(workerThreadCount(settings.threads), std::max(settings.height, 1));

    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> workers = startWorkers(job, threads);
    reportProgress(job, progress);
    for (std::thread& worker : workers) {
        worker.join();
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;

    if (job.failure) {
        std::rethrow_exception(job.failure);
    }
    RenderStats& stats = result.stats;
    stats.cameraRays = static_cast<std::uint64_t>(settings.width) *
                       static_cast<std::uint64_t>(settings.height) *
                       static_cast<std::uint64_t>(settings.samplesPerPixel);
    stats.failedRays = job.failedRays.load();
    stats.threads = std::max<int>(static_cast<int>(workers.size()), 1);
    stats.seconds = elapsed.count();
    stats.raysPerSecond = stats.seconds > 0.0 ? stats.cameraRays / stats.seconds : 0.0;
    return result;
}

} // namespace hostsim::render
