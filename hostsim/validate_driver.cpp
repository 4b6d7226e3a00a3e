#include "hostsim/validate_driver.h"

#include <cmath>
#include <cstring>
#include <filesystem>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

#include "hostsim/guarded_record.h"
#include "hostsim/misaligned_call.h"

namespace hostsim::validate {

CameraDriver::CameraDriver(ModuleSession& session)
    : session_(session), handler_(session.module().handlerCallbacks()),
      instances_(session.module().instanceCallbacks()) {
    const std::string variant = session.module().buildVariant();
    variant_ = variant.empty() ? 0 : variant.back() - '0';
}

HostInstance CameraDriver::create(HostItemId* item, std::string* error) {
    *item = host().cameras().addCamera();
    HostError message = nullptr;
    HostInstance instance = callModule(instances_.create, instances_.privateWord, *item, &message);
    if (instance == nullptr) {
        *error = message != nullptr ? message : "create returned null without a message";
    }
    return instance;
}

void CameraDriver::destroy(HostInstance instance) {
    callModule(instances_.destroy, instance);
}

HostError CameraDriver::copy(HostInstance destination, HostInstance source) {
    return callModule(instances_.copy, destination, source);
}

const char* CameraDriver::describe(HostInstance instance) {
    return callModule(instances_.describe, instance);
}

unsigned CameraDriver::flags(HostInstance instance) {
    return callModule(handler_.flags, instance);
}

HostError CameraDriver::newFrame(HostInstance instance, HostItemId item, double start,
                                 double duration, int motionSteps, double filmWidth,
                                 double filmHeight, std::string* damage) {
    GuardedRecord<FrameTiming> timing("FrameTiming");
    timing->start = start;
    timing->duration = duration;
    timing->motionSteps = motionSteps;
    GuardedRecord<HostCameraRecord> camera("HostCameraRecord");
    camera->cameraItem = item;
    camera->filmWidth = filmWidth;
    camera->filmHeight = filmHeight;
    const HostError result =
        callModule(handler_.newFrame, instance, static_cast<const FrameTiming*>(timing.get()),
                   static_cast<const HostCameraRecord*>(camera.get()));
    *damage = timing.damage() + camera.damage();
    return result;
}

RayResult CameraDriver::ray(HostInstance instance, double filmX, double filmY, double lensX,
                            double lensY, double fraction) {
    GuardedRecord<RayRecord> record("RayRecord", 1, 0xCD);
    const RayRecord before = *record;
    RayResult out;
    out.result =
        callModule(handler_.evaluate, instance, filmX, filmY, lensX, lensY, fraction, record.get());
    out.ray = *record;
    out.recordUntouched = std::memcmp(&before, record.get(), sizeof before) == 0;
    out.guardsIntact = record.guardsIntact();
    return out;
}

int CameraDriver::preview(HostInstance instance, HostItemId item, double lensX, double lensY,
                          double filmWidth, double filmHeight, bool* finite, std::string* damage) {
    GuardedRecord<HostCameraRecord> camera("HostCameraRecord");
    camera->cameraItem = item;
    camera->filmWidth = filmWidth;
    camera->filmHeight = filmHeight;
    GuardedRecord<Matrix4d> projection("Matrix4d");
    const int result = callModule(handler_.preview, instance, lensX, lensY, projection.get(),
                                  static_cast<const HostCameraRecord*>(camera.get()));
    *finite = true;
    for (double element : projection->m) {
        *finite = *finite && std::isfinite(element);
    }
    *damage = camera.damage() + projection.damage();
    return result;
}

HostError CameraDriver::save(HostInstance instance, const std::string& path) {
    SceneSaveRecord* scene = host().scenes().openForWriting(path);
    const HostError result =
        callModule(instances_.save, instance, static_cast<const SceneSaveRecord*>(scene));
    host().scenes().finishWriting(scene);
    return result;
}

HostError CameraDriver::load(HostInstance instance, const std::string& path, int floatsDelivered) {
    std::string error;
    SceneLoadRecord* scene = host().scenes().openForReading(path, &error);
    if (scene == nullptr) {
        return host().keepText(error);
    }
    host().scenes().limitFloatReads(scene, floatsDelivered);
    const HostError result =
        callModule(instances_.load, instance, static_cast<const SceneLoadRecord*>(scene));
    host().scenes().closeReading(scene);
    return result;
}

std::string scratchPath(const std::string& name) {
    std::error_code error;
    std::filesystem::path directory = std::filesystem::temp_directory_path(error);
    if (error) {
        directory = ".";
    }
#ifdef _WIN32
    const long process = static_cast<long>(_getpid());
#else
    const long process = static_cast<long>(getpid());
#endif
    // Several validations may run at once (one per module file): each process has its own.
    return (directory / ("hostsim-validate-" + std::to_string(process) + "-" + name)).string();
}

} // namespace hostsim::validate
