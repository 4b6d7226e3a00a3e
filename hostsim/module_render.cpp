#include "hostsim/module_render.h"

#include <chrono>

#include "hostsim/guarded_record.h"
#include "hostsim/misaligned_call.h"
#include "hostsim/render/default_scene.h"
#include "hostsim/render/sampling.h"

namespace hostsim {

namespace {

void setChannelKeys(SimHost& host, ParamChannel channel, const std::vector<Key>& keys) {
    host.channels().setKeys(channel, keys);
}

// The item is keyed at the frame's start and end: the host interpolates between them, so every
// sub-frame sample of the module's table sees the camera a little further along.
void placeCamera(SimHost& host, HostItemId item, const ModuleRenderJob& job) {
    CameraItems& cameras = host.cameras();
    const CameraMotion& motion = job.camera;
    const double end = job.frameStart + job.frameDuration;
    cameras.setPositionKey(item, job.frameStart, motion.position);
    cameras.setRotationKey(item, job.frameStart, motion.rotation);
    if (job.frameDuration > 0.0) {
        const DVec3 moved{motion.position.x + motion.move.x, motion.position.y + motion.move.y,
                          motion.position.z + motion.move.z};
        cameras.setPositionKey(item, end, moved);
        HeadingPitchBank turned = motion.rotation;
        turned.heading += motion.pan;
        cameras.setRotationKey(item, end, turned);
    }
    cameras.setFocusDistanceKey(item, job.frameStart, job.focusDistance);
    cameras.setFStopKey(item, job.frameStart, job.fStop);
}

bool animateSettings(SimHost& host, HostItemId item, const CameraSettingKeys& keys,
                     std::string* error) {
    const SettingChannels channels = findSettingChannels(host, host.cameras().channelGroupOf(item));
    if (!channels.complete()) {
        *error = "the instance has not made its five settings channels";
        return false;
    }
    setChannelKeys(host, channels.zoomFactor, keys.zoomFactor);
    setChannelKeys(host, channels.hShift, keys.hShift);
    setChannelKeys(host, channels.vShift, keys.vShift);
    setChannelKeys(host, channels.tiltDirection, keys.tiltDirection);
    setChannelKeys(host, channels.tiltAngle, keys.tiltAngle);
    return true;
}

void fillCameraRecord(HostCameraRecord* record, HostItemId item, const ModuleRenderJob& job) {
    record->cameraItem = item;
    record->filmWidth = job.render.filmWidth;
    record->filmHeight = job.render.filmHeight;
}

// The interactive view's projection at the frame's start, with the lens at its centre.
void askPreview(ModuleSession& session, HostInstance instance, HostItemId item,
                const ModuleRenderJob& job, ModuleRenderResult* result) {
    const HandlerCallbackTable& handler = session.module().handlerCallbacks();
    if (handler.preview == nullptr) {
        result->warnings.push_back("the module installed no preview callback");
        return;
    }
    session.host().setTime(job.frameStart);
    GuardedRecord<HostCameraRecord> camera("HostCameraRecord");
    fillCameraRecord(camera.get(), item, job);
    GuardedRecord<Matrix4d> projection("Matrix4d");
    result->previewResult =
        callModule(handler.preview, instance, 0.0, 0.0, projection.get(), camera.get());
    result->preview = *projection;
    if (!camera.guardsIntact() || !projection.guardsIntact()) {
        result->warnings.push_back("the preview callback wrote outside the host's records: " +
                                   camera.damage() + projection.damage());
    }
}

bool startFrame(ModuleSession& session, HostInstance instance, HostItemId item,
                const ModuleRenderJob& job, ModuleRenderResult* result) {
    const HandlerCallbackTable& handler = session.module().handlerCallbacks();
    if (handler.newFrame == nullptr || handler.evaluate == nullptr) {
        result->error = "the module installed no new-frame or no evaluate callback";
        return false;
    }
    GuardedRecord<FrameTiming> timing("FrameTiming");
    timing->frame = 0;
    timing->start = job.frameStart;
    timing->duration = job.frameDuration;
    timing->motionSteps = job.motionSteps;
    GuardedRecord<HostCameraRecord> camera("HostCameraRecord");
    fillCameraRecord(camera.get(), item, job);
    const HostError message = callModule(handler.newFrame, instance, timing.get(), camera.get());
    if (!timing.guardsIntact() || !camera.guardsIntact()) {
        result->warnings.push_back("the new-frame callback wrote outside the host's records: " +
                                   timing.damage() + camera.damage());
    }
    if (message != nullptr) {
        result->error = std::string("the new-frame callback failed: ") + message;
        return false;
    }
    return true;
}

// One camera sample, one call of the module's evaluate callback: film position, lens position
// on the unit disc and time fraction, exactly the arguments the host passes.
render::RayFunction moduleRays(EvaluateRayFn evaluate, HostInstance instance) {
    return [evaluate, instance](double filmX, double filmY, double lensX, double lensY,
                                double timeFraction, RayRecord* ray) {
        return callModule(evaluate, instance, filmX, filmY, lensX, lensY, timeFraction, ray) == 1;
    };
}

} // namespace

SettingChannels findSettingChannels(SimHost& host, ChannelGroup group) {
    SettingChannels found;
    const std::pair<const char*, ParamChannel SettingChannels::*> names[] = {
        {"ZoomFactor", &SettingChannels::zoomFactor},
        {"HShift", &SettingChannels::hShift},
        {"VShift", &SettingChannels::vShift},
        {"TiltDirection", &SettingChannels::tiltDirection},
        {"TiltAngle", &SettingChannels::tiltAngle},
    };
    for (ParamChannel channel : host.channels().alive()) {
        const std::optional<ChannelInfo> info = host.channels().info(channel);
        if (!info || info->group != group) {
            continue;
        }
        for (const auto& [name, field] : names) {
            if (info->name == name) {
                found.*field = channel;
            }
        }
    }
    return found;
}

ModuleRenderResult renderThroughModule(ModuleSession& session, HostInstance instance,
                                       HostItemId cameraItem, const ModuleRenderJob& job,
                                       const render::ProgressCallback& progress) {
    ModuleRenderResult result;
    if (!session.handlerActive()) {
        result.error = "the camera handler is not activated";
        return result;
    }
    SimHost& host = session.host();
    if (!animateSettings(host, cameraItem, job.settings, &result.error)) {
        return result;
    }
    placeCamera(host, cameraItem, job);
    askPreview(session, instance, cameraItem, job, &result);
    if (!startFrame(session, instance, cameraItem, job, &result)) {
        return result;
    }
    const render::Scene scene = render::defaultScene();
    const EvaluateRayFn evaluate = session.module().handlerCallbacks().evaluate;
    result.render =
        render::renderImage(job.render, scene, moduleRays(evaluate, instance), progress);
    result.rendered = true;
    return result;
}

EvaluateThroughput measureEvaluateRay(ModuleSession& session, HostInstance instance,
                                      const ModuleRenderJob& job, std::uint64_t maxRays) {
    EvaluateThroughput measured;
    const EvaluateRayFn evaluate = session.module().handlerCallbacks().evaluate;
    const render::RenderSettings& s = job.render;
    if (evaluate == nullptr || s.width < 1 || s.height < 1) {
        return measured;
    }
    // The samples are made before the clock starts: only the module's work is timed.
    std::vector<render::CameraSample> samples;
    std::vector<render::FilmPoint> film;
    for (int py = 0; py < s.height && samples.size() < maxRays; ++py) {
        for (int px = 0; px < s.width && samples.size() < maxRays; ++px) {
            for (const render::CameraSample& sample :
                 render::pixelSamples(s.seed, px, py, s.samplesPerPixel)) {
                samples.push_back(sample);
                film.push_back(render::filmPosition(px, py, sample.pixelX, sample.pixelY, s.width,
                                                    s.height, s.filmWidth, s.filmHeight));
            }
        }
    }
    // The calls go through a pointer into the loaded library, so none can be optimised away.
    RayRecord ray{};
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < samples.size(); ++i) {
        callModule(evaluate, instance, film[i].x, film[i].y, samples[i].lensX, samples[i].lensY,
                   samples[i].timeFraction, &ray);
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    measured.rays = samples.size();
    measured.seconds = elapsed.count();
    measured.raysPerSecond =
        measured.seconds > 0.0 ? static_cast<double>(measured.rays) / measured.seconds : 0.0;
    return measured;
}

} // namespace hostsim
