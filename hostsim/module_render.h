// Renders the default scene through a loaded camera module, driving it as the host drives a
// camera plug-in for one frame: the five settings and the camera item are animated in the
// stand-in scene, the new-frame callback the module installed builds its sample table, and then
// every camera sample is one call of the module's evaluateRay, whose ray the renderer traces.
//
// The preview callback is asked for the interactive view's projection at the frame's start, as
// the host would show it before rendering.
#pragma once

#include <string>
#include <vector>

#include "hostsim/camera_items.h"
#include "hostsim/key_curve.h"
#include "hostsim/module_session.h"
#include "hostsim/render/render_driver.h"

namespace hostsim {

// The camera's five settings as the host animates them, in the module's units: zoom factor,
// shifts as fractions of the film width and height, angles in radians. Each is a list of keys
// over host time; a single key holds its value at every time.
struct CameraSettingKeys {
    std::vector<Key> zoomFactor{{0.0, 3.2}};
    std::vector<Key> hShift{{0.0, 0.0}};
    std::vector<Key> vShift{{0.0, 0.0}};
    std::vector<Key> tiltDirection{{0.0, 0.0}};
    std::vector<Key> tiltAngle{{0.0, 0.0}};
};

// Where the host's camera item stands, and how it moves while the shutter is open: the item is
// keyed at the frame's start and end, so motion blur comes from the host's item vectors alone.
struct CameraMotion {
    DVec3 position{0.0, 1.6, 0.0};
    HeadingPitchBank rotation{0.0, 0.0, 0.0}; // the host's convention (camera_items.h)
    DVec3 move{0.0, 0.0, 0.0};                // metres added to the position over the frame
    double pan = 0.0;                         // radians added to the heading over the frame
};

struct ModuleRenderJob {
    CameraSettingKeys settings;
    CameraMotion camera;
    double focusDistance = 20.0; // metres
    double fStop = 1.4;
    double frameStart = 0.0;           // host time
    double frameDuration = 1.0 / 24.0; // host time the shutter stays open
    int motionSteps = 1;               // the host's motion-blur steps for the frame
    render::RenderSettings render;     // image size, samples, threads, film size, seed
};

// How fast evaluateRay alone runs, without tracing: one thread, the render's own sample pattern.
struct EvaluateThroughput {
    std::uint64_t rays = 0;
    double seconds = 0.0;
    double raysPerSecond = 0.0;
};

struct ModuleRenderResult {
    bool rendered = false;
    std::string error; // why not, when not rendered
    Matrix4d preview{};
    int previewResult = 0;
    render::RenderResult render{render::Image(0, 0), {}};
    std::vector<std::string> warnings; // host records the module wrote outside of, ...
};

// The module's settings channels of an instance, found by the names the module gave them.
struct SettingChannels {
    ParamChannel zoomFactor = nullptr;
    ParamChannel hShift = nullptr;
    ParamChannel vShift = nullptr;
    ParamChannel tiltDirection = nullptr;
    ParamChannel tiltAngle = nullptr;
    bool complete() const { return zoomFactor && hShift && vShift && tiltDirection && tiltAngle; }
};
SettingChannels findSettingChannels(SimHost& host, ChannelGroup group);

// Animates the instance's channels and the camera item as the job says, calls the preview and
// the new-frame callback and renders the frame. The session's handler must be active and the
// instance made through it for cameraItem. Progress is reported as render::renderImage does.
ModuleRenderResult renderThroughModule(ModuleSession& session, HostInstance instance,
                                       HostItemId cameraItem, const ModuleRenderJob& job,
                                       const render::ProgressCallback& progress = nullptr);

// Calls evaluateRay for up to maxRays of the job's camera samples on the calling thread and
// times it. Valid only right after renderThroughModule (the module's table is that frame's).
EvaluateThroughput measureEvaluateRay(ModuleSession& session, HostInstance instance,
                                      const ModuleRenderJob& job, std::uint64_t maxRays);

} // namespace hostsim
