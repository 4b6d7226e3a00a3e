#include "lifecycle/instance_lifecycle.h"

#include <cstdlib>
#include <cstring>

#include "host/host_services.h"
#include "model/camera_instance.h"
#include "model/instance_parameters.h"

namespace {

// The host camera's zoom factor now, or the default when the host has no camera service.
double initialZoomFactor(HostItemId item) {
    const TimeInfo* timeInfo = static_cast<const TimeInfo*>(lookupHostService(SERVICE_TIME_INFO));
    const CameraInfo* cameraInfo =
        static_cast<const CameraInfo*>(lookupHostService(SERVICE_CAMERA_INFO));
    if (cameraInfo == nullptr) {
        return DEFAULT_ZOOM_FACTOR;
    }
    const double now = timeInfo != nullptr ? timeInfo->time : 0.0;
    return cameraInfo->zoomFactor(item, now);
}

} // namespace

ParamChannel createParamChannel(int typeCode, const char* name, ChannelGroup group,
                                const double* initialValue) {
    const VParmFuncs* vparm = hostServices.vparmFuncs;
    ParamChannel channel = vparm->create(typeCode, -1);
    if (channel == nullptr) {
        return nullptr;
    }
    vparm->setup(channel, name, group, nullptr, nullptr, nullptr, nullptr);
    vparm->setValue(channel, initialValue);
    return channel;
}

extern "C" HostInstance HOSTCALL createInstance(void* /*privateWord*/, HostItemId item,
                                                HostError* error) {
    CameraInstance* camera = static_cast<CameraInstance*>(std::calloc(1, sizeof(CameraInstance)));
    if (camera == nullptr) {
        *error = MESSAGE_NO_INSTANCE_MEMORY;
        return nullptr;
    }
    camera->itemId = item;
    camera->zoomFactor = initialZoomFactor(item);
    camera->hShift = 0.0;
    camera->vShift = 0.0;
    camera->tiltDirection = 0.0;
    camera->tiltAngle = 0.0;
    camera->channelGroup = hostServices.itemInfo->channelGroup(item);
    for (const InstanceParameter& parameter : instanceParameters) {
        camera->*parameter.channel =
            createParamChannel(parameter.typeCode, parameter.channelName, camera->channelGroup,
                               &(camera->*parameter.value));
    }
    return camera;
}

extern "C" void HOSTCALL destroyInstance(HostInstance instance) {
    CameraInstance* camera = static_cast<CameraInstance*>(instance);
    for (const InstanceParameter& parameter : instanceParameters) {
        const ParamChannel channel = camera->*parameter.channel;
        if (channel != nullptr) {
            hostServices.vparmFuncs->destroy(channel);
        }
    }
    std::free(camera);
}

extern "C" HostError HOSTCALL copyInstance(HostInstance destination, HostInstance source) {
    CameraInstance* to = static_cast<CameraInstance*>(destination);
    const CameraInstance* from = static_cast<const CameraInstance*>(source);
    for (const InstanceParameter& parameter : instanceParameters) {
        to->*parameter.value = from->*parameter.value;
    }
    to->filmWidth = from->filmWidth;
    to->filmHeight = from->filmHeight;
    to->channelGroup = from->channelGroup;
    to->itemId = from->itemId;
    std::memmove(to->infoText, from->infoText, sizeof(to->infoText));

    // Each instance keeps its own channels; the host copies the source's animation into them.
    HostError firstError = nullptr;
    for (const InstanceParameter& parameter : instanceParameters) {
        const ParamChannel toChannel = to->*parameter.channel;
        const ParamChannel fromChannel = from->*parameter.channel;
        if (toChannel == nullptr || fromChannel == nullptr) {
            continue;
        }
        const HostError error = hostServices.vparmFuncs->copy(toChannel, fromChannel);
        if (firstError == nullptr) {
            firstError = error;
        }
    }
    return firstError;
}

extern "C" const char* HOSTCALL describeInstance(HostInstance /*instance*/) {
    return INSTANCE_DESCRIPTION;
}

extern "C" unsigned int HOSTCALL handlerFlags(HostInstance /*instance*/) {
    return 1u;
}
