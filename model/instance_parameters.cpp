#include "model/instance_parameters.h"

#include "host/service_tables.h"

constinit const InstanceParameter instanceParameters[INSTANCE_PARAMETER_COUNT] = {
    {"ZoomFactor", CHANNEL_FLOAT, &CameraInstance::zoomFactor, &CameraInstance::zoomChannel},
    {"HShift", CHANNEL_PERCENT, &CameraInstance::hShift, &CameraInstance::hShiftChannel},
    {"VShift", CHANNEL_PERCENT, &CameraInstance::vShift, &CameraInstance::vShiftChannel},
    {"TiltDirection", CHANNEL_ANGLE, &CameraInstance::tiltDirection,
     &CameraInstance::tiltDirectionChannel},
    {"TiltAngle", CHANNEL_ANGLE, &CameraInstance::tiltAngle, &CameraInstance::tiltAngleChannel},
};
