// The five parameters of an instance, walked in the one order every operation uses:
// zoom factor, horizontal shift, vertical shift, tilt direction, tilt angle.
#pragma once

#include "model/camera_instance.h"

#define INSTANCE_PARAMETER_COUNT 5

struct InstanceParameter {
    const char* channelName;
    int typeCode;
    double CameraInstance::*value;
    ParamChannel CameraInstance::*channel;
};

extern const InstanceParameter instanceParameters[INSTANCE_PARAMETER_COUNT];
