#include "panel/panel_values.h"

#include <cstring>

#include "host/host_services.h"
#include "model/camera_instance.h"
#include "panel/focal_length_readout.h"
#include "panel/panel_tables.h"

namespace {

ParamChannel CameraInstance::*channelOfControl(std::uint32_t controlId) {
    switch (controlId) {
    case PANEL_ID_ZOOM:
        return &CameraInstance::zoomChannel;
    case PANEL_ID_H_SHIFT:
        return &CameraInstance::hShiftChannel;
    case PANEL_ID_V_SHIFT:
        return &CameraInstance::vShiftChannel;
    case PANEL_ID_TILT_DIRECTION:
        return &CameraInstance::tiltDirectionChannel;
    case PANEL_ID_TILT_ANGLE:
        return &CameraInstance::tiltAngleChannel;
    default:
        return nullptr;
    }
}

double CameraInstance::*valueOfControl(std::uint32_t controlId) {
    switch (controlId) {
    case PANEL_ID_ZOOM:
        return &CameraInstance::zoomFactor;
    case PANEL_ID_H_SHIFT:
        return &CameraInstance::hShift;
    case PANEL_ID_V_SHIFT:
        return &CameraInstance::vShift;
    case PANEL_ID_TILT_DIRECTION:
        return &CameraInstance::tiltDirection;
    case PANEL_ID_TILT_ANGLE:
        return &CameraInstance::tiltAngle;
    default:
        return nullptr;
    }
}

// The zoom channel's value at the host's current time; without a channel, the zoom field.
double zoomNow(const CameraInstance* camera) {
    if (camera->zoomChannel == nullptr) {
        return camera->zoomFactor;
    }
    double values[5] = {0.0, 0.0, 0.0, 0.0, 0.0};
    hostServices.vparmFuncs->getValue(camera->zoomChannel, currentHostTime(), nullptr, values);
    return values[0];
}

const char* refreshFocalLengthReadout(CameraInstance* camera) {
    const double millimetres = camera->filmHeight * zoomNow(camera) * 0.5 * 1000.0;
    formatFocalLength(camera->infoText, sizeof(camera->infoText), millimetres);
    return camera->infoText;
}

} // namespace

extern "C" void* HOSTCALL panelGet(HostInstance instance, std::uint32_t controlId) {
    CameraInstance* camera = static_cast<CameraInstance*>(instance);
    if (controlId == PANEL_ID_FOCAL_LENGTH) {
        return const_cast<char*>(refreshFocalLengthReadout(camera));
    }
    ParamChannel CameraInstance::*channel = channelOfControl(controlId);
    return channel != nullptr ? static_cast<void*>(camera->*channel) : nullptr;
}

extern "C" int HOSTCALL panelSet(HostInstance instance, std::uint32_t controlId,
                                 const void* value) {
    CameraInstance* camera = static_cast<CameraInstance*>(instance);
    double CameraInstance::*field = valueOfControl(controlId);
    // A set without a value to take (a null address from the host) changes nothing.
    if (field == nullptr || value == nullptr) {
        return 0;
    }
    std::memcpy(&(camera->*field), value, sizeof(double));
    if (hostServices.instanceUpdate != nullptr) {
        hostServices.instanceUpdate(UPDATE_CLASS_NAME, camera);
    }
    return 1;
}
