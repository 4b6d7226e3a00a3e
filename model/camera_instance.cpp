#include "model/camera_instance.h"

#include "host/host_services.h"
#include "model/instance_parameters.h"

void sampleParameters(CameraInstance* camera, double time) {
    // The host writes each channel's value into element 0; one buffer serves all five.
    double buffer[3] = {0.0, 0.0, 0.0};
    for (const InstanceParameter& parameter : instanceParameters) {
        const ParamChannel channel = camera->*parameter.channel;
        if (channel == nullptr) {
            continue;
        }
        hostServices.vparmFuncs->getValue(channel, time, nullptr, buffer);
        camera->*parameter.value = buffer[0];
    }
}
