#include "bench/bench_world.h"

#include "host/activation.h"
#include "model/camera_instance.h"
#include "model/sample_table.h"

namespace vbench {

namespace {

BenchWorld* currentWorld = nullptr;

// A 24 fps frame with the shutter open for half of it.
constexpr double kFrameStart = 1.0;
constexpr double kFrameDuration = 1.0 / 48.0;

// A camera dollying and panning through the frame, refocusing as it goes, so that every table
// entry differs and the motion-blur look-up matters.
void animateCameraItem(hostsim::CameraItems& cameras, HostItemId item) {
    cameras.setPositionKey(item, 0.0, DVec3{0.0, 1.6, -5.0});
    cameras.setPositionKey(item, 2.0, DVec3{0.4, 1.7, -4.0});
    cameras.setRotationKey(item, 0.0, hostsim::HeadingPitchBank{0.1, -0.05, 0.0});
    cameras.setRotationKey(item, 2.0, hostsim::HeadingPitchBank{0.2, 0.0, 0.03});
    cameras.setFocusDistanceKey(item, 0.0, 8.0);
    cameras.setFocusDistanceKey(item, 2.0, 9.0);
    cameras.setFStopKey(item, 0.0, 2.8);
}

} // namespace

BenchWorld* world() {
    return currentWorld;
}

void setWorld(BenchWorld* world) {
    currentWorld = world;
}

std::array<std::string, kVariants> builtModulePaths() {
    return {VELLARY_BENCH_MODULE_TEST1, VELLARY_BENCH_MODULE_TEST2, VELLARY_BENCH_MODULE_TEST3};
}

std::unique_ptr<BenchWorld> BenchWorld::open(const std::array<std::string, kVariants>& paths,
                                             std::string* error) {
    std::unique_ptr<BenchWorld> world(new BenchWorld());
    world->host_ = std::make_unique<hostsim::SimHost>();
    world->cameraItem_ = world->host_->cameras().addCamera();
    animateCameraItem(world->host_->cameras(), world->cameraItem_);
    world->cameraRecord_.cameraItem = world->cameraItem_;
    world->cameraRecord_.filmWidth = kFilmWidth;
    world->cameraRecord_.filmHeight = kFilmHeight;

    for (int v = 1; v <= kVariants; ++v) {
        LoadedVariant& loaded = world->variant(v);
        loaded.variant = v;
        loaded.module = hostsim::LoadedModule::load(paths[v - 1], error);
        if (loaded.module == nullptr) {
            return nullptr;
        }
        const hostsim::Activation activation =
            loaded.module->activateHandler(world->host_->globalLookup());
        if (!activation.called || activation.result != 0) {
            *error = paths[v - 1] + ": handler activation: " +
                     (activation.called ? hostsim::activationResultText(activation.result)
                                        : activation.error);
            return nullptr;
        }
        const HandlerCallbackTable& handler = loaded.module->handlerCallbacks();
        const InstanceCallbackTable& instances = loaded.module->instanceCallbacks();
        HostError message = nullptr;
        loaded.instance = instances.create(instances.privateWord, world->cameraItem_, &message);
        if (loaded.instance == nullptr) {
            *error = paths[v - 1] + ": create: " + (message != nullptr ? message : "null");
            return nullptr;
        }
        world->animateSettings(loaded.instance);
        loaded.evaluate = handler.evaluate;
        loaded.newFrame = handler.newFrame;
        loaded.preview = handler.preview;
    }
    if (!world->activateLocalCopy(error)) {
        return nullptr;
    }
    return world;
}

bool BenchWorld::activateLocalCopy(std::string* error) {
    localHandler_.instance = &localInstances_;
    if (activateHandler(HANDLER_VERSION, host_->globalLookup(), &localHandler_, nullptr) !=
        ACTIVATION_OK) {
        *error = "the linked module copy did not activate";
        return false;
    }
    HostError message = nullptr;
    localInstance_ = localInstances_.create(localInstances_.privateWord, cameraItem_, &message);
    if (localInstance_ == nullptr) {
        *error = std::string("linked module copy: create: ") + (message ? message : "null");
        return false;
    }
    animateSettings(localInstance_);
    return true;
}

// Zoom and tilt change during the frame, the film is shifted and the lens tilted, so the table
// build goes through the rotation matrices as a tilted camera does.
void BenchWorld::animateSettings(HostInstance instance) {
    const CameraInstance& camera = *static_cast<const CameraInstance*>(instance);
    hostsim::ParamChannels& channels = host_->channels();
    channels.setKeys(camera.zoomChannel, {{0.0, 2.0}, {2.0, 2.4}});
    channels.setKeys(camera.hShiftChannel, {{0.0, 0.05}});
    channels.setKeys(camera.vShiftChannel, {{0.0, -0.1}, {2.0, -0.08}});
    channels.setKeys(camera.tiltDirectionChannel, {{0.0, 0.3}});
    channels.setKeys(camera.tiltAngleChannel, {{0.0, 0.1}, {2.0, 0.14}});
}

const FrameTiming* BenchWorld::frameTiming(int motionSteps) {
    timing_.frame = 48;
    timing_.start = kFrameStart;
    timing_.duration = kFrameDuration;
    timing_.hostReserved = 0.0;
    timing_.motionSteps = motionSteps;
    return &timing_;
}

bool BenchWorld::buildTable(int variant, int motionSteps) {
    LoadedVariant& loaded = this->variant(variant);
    return loaded.newFrame(loaded.instance, frameTiming(motionSteps), &cameraRecord_) == nullptr;
}

bool BenchWorld::buildLocalTable(int motionSteps) {
    return buildSampleTable(localInstance_, frameTiming(motionSteps), &cameraRecord_) == nullptr;
}

BenchWorld::~BenchWorld() {
    if (!closed_) {
        close();
    }
}

std::vector<std::string> BenchWorld::close() {
    closed_ = true;
    for (LoadedVariant& loaded : variants_) {
        if (loaded.module != nullptr && loaded.instance != nullptr) {
            loaded.module->instanceCallbacks().destroy(loaded.instance);
        }
        loaded.instance = nullptr;
        loaded.module.reset();
    }
    if (localInstance_ != nullptr) {
        localInstances_.destroy(localInstance_);
        localInstance_ = nullptr;
    }
    return host_ != nullptr ? host_->finalViolations() : std::vector<std::string>{};
}

} // namespace vbench
