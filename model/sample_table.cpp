#include "model/sample_table.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "host/host_services.h"
#include "model/lens_at_time.h"

constinit SampleTable sampleTable = {nullptr, 0, 0.0, 0.0};

namespace {

// Every frame has 4 samples per host motion step, plus the one at the frame's end.
constexpr std::int64_t kSamplesPerMotionStep = 4;

double length(const DVec3& v) {
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

DVec3 scaled(const DVec3& v, double k) {
    return DVec3{v.x * k, v.y * k, v.z * k};
}

DVec3 itemVector(HostItemId item, int code, double time) {
    DVec3 v = {0.0, 0.0, 0.0};
    hostServices.itemInfo->vector(item, code, time, &v);
    return v;
}

// Turns the film axes X and Y about the tilt axis: the right axis turned by -tiltDirection
// about the forward axis Z. The forward axis itself stays put.
void tiltFilmAxes(const CameraInstance& camera, const DVec3& right, const DVec3& up,
                  const DVec3& forward, DVec3* tiltedRight, DVec3* tiltedUp) {
    if (camera.tiltAngle == 0.0) {
        *tiltedRight = right;
        *tiltedUp = up;
        return;
    }
    Matrix4d aboutForward;
    mat4RotateAxis(&aboutForward, &forward, -camera.tiltDirection);
    const DVec3 tiltAxis = mat4TransformPoint(&aboutForward, right);
    Matrix4d tilt;
    mat4RotateAxis(&tilt, &tiltAxis, camera.tiltAngle);
    *tiltedRight = mat4TransformPoint(&tilt, right);
    *tiltedUp = mat4TransformPoint(&tilt, up);
}

void buildEntry(CameraInstance* camera, const HostCameraRecord* record, double time,
                MotionSample* entry) {
    const HostItemId item = record->cameraItem;
    sampleParameters(camera, time);
    const LensAtTime lens = lensAtTime(item, time);
    const DVec3 position = itemVector(item, ITEM_POSITION, time);
    const DVec3 right = itemVector(item, ITEM_RIGHT, time);
    const DVec3 up = itemVector(item, ITEM_UP, time);
    const DVec3 forward = itemVector(item, ITEM_FORWARD, time);
    camera->filmWidth = record->filmWidth;
    camera->filmHeight = record->filmHeight;

    entry->shiftX = camera->hShift * camera->filmWidth;
    entry->shiftY = camera->filmHeight * camera->vShift;

    const double focalLength = camera->filmHeight * camera->zoomFactor * 0.5;
    const double apertureRadius = lens.pinhole ? 0.0 : (focalLength / lens.fStop) * 0.5;
    const double focusRatio = lens.focusDistance / focalLength;

    const double rightLength = length(right);
    const double upLength = length(up);
    entry->apertureX = scaled(right, apertureRadius / rightLength);
    entry->apertureY = scaled(up, apertureRadius / upLength);
    const double kX = (1.0 / rightLength) * focusRatio;
    const double kY = (1.0 / upLength) * focusRatio;
    const double kZ = (focalLength / length(forward)) * focusRatio;

    DVec3 tiltedRight;
    DVec3 tiltedUp;
    tiltFilmAxes(*camera, right, up, forward, &tiltedRight, &tiltedUp);
    entry->focusAxisX = scaled(tiltedRight, kX);
    entry->focusAxisY = scaled(tiltedUp, kY);
    entry->focusCenter = scaled(forward, kZ);
    entry->forward = forward;
    entry->position = position;
}

// Null when the host's step count is negative or the block would not fit the address space.
MotionSample* allocateEntries(std::int32_t motionSteps, std::uint32_t* count) {
    const std::int64_t n = kSamplesPerMotionStep * static_cast<std::int64_t>(motionSteps);
    if (n < 0 || n > static_cast<std::int64_t>(UINT32_MAX - 1) ||
        static_cast<std::uint64_t>(n + 1) > SIZE_MAX / sizeof(MotionSample)) {
        *count = 0;
        return nullptr;
    }
    *count = static_cast<std::uint32_t>(n);
    return static_cast<MotionSample*>(
        std::malloc(static_cast<std::size_t>(n + 1) * sizeof(MotionSample)));
}

} // namespace

extern "C" HostError HOSTCALL buildSampleTable(HostInstance instance, const FrameTiming* timing,
                                               const HostCameraRecord* camera) {
    CameraInstance* cameraInstance = static_cast<CameraInstance*>(instance);
    sampleTable.start = timing->start;
    sampleTable.duration = timing->duration;
    std::free(sampleTable.entries);
    sampleTable.entries = allocateEntries(timing->motionSteps, &sampleTable.count);
    if (sampleTable.entries == nullptr) {
        return MESSAGE_NO_TABLE_MEMORY;
    }
    const std::uint32_t n = sampleTable.count;
    for (std::uint32_t i = 0; i <= n; ++i) {
        const double time =
            n == 0 ? sampleTable.start : sampleTable.start + (sampleTable.duration / n) * i;
        buildEntry(cameraInstance, camera, time, &sampleTable.entries[i]);
    }
    return nullptr;
}
