#include "lifecycle/scene_persistence.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "host/host_services.h"
#include "model/camera_instance.h"
#include "model/instance_parameters.h"

namespace {

// A quiet-NaN payload no scene writer produces: the float block is filled with it before the
// host's read, so a value the read did not deliver is recognised and its field left as it was
// instead of being filled from memory the read never wrote.
constexpr std::uint32_t kUndeliveredBits = 0x7FC0DEADu;

float undeliveredMarker() {
    float marker;
    std::memcpy(&marker, &kUndeliveredBits, sizeof(marker));
    return marker;
}

// Double to single precision, rounded to nearest; a value beyond the single range becomes an
// infinity of its sign, as the hardware would round it, without an out-of-range conversion.
float narrowToFloat(double value) {
    constexpr double kOverflowThreshold = 0x1.ffffffp127; // halfway past the largest float
    if (std::fabs(value) >= kOverflowThreshold) {
        return std::signbit(value) ? -HUGE_VALF : HUGE_VALF;
    }
    return static_cast<float>(value);
}

bool wasDelivered(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    return bits != kUndeliveredBits;
}

} // namespace

extern "C" HostError HOSTCALL loadInstance(HostInstance instance, const SceneLoadRecord* scene) {
    CameraInstance* camera = static_cast<CameraInstance*>(instance);
    for (const InstanceParameter& parameter : instanceParameters) {
        const ParamChannel channel = camera->*parameter.channel;
        if (channel == nullptr) {
            continue;
        }
        const HostError error = hostServices.vparmFuncs->load(channel, scene);
        if (error != nullptr) {
            return error;
        }
    }
    float values[INSTANCE_PARAMETER_COUNT];
    for (float& value : values) {
        value = undeliveredMarker();
    }
    scene->readFloats(scene->readerData, values, INSTANCE_PARAMETER_COUNT);
    for (int i = 0; i < INSTANCE_PARAMETER_COUNT; ++i) {
        if (wasDelivered(values[i])) {
            camera->*instanceParameters[i].value = static_cast<double>(values[i]);
        }
    }
    return nullptr;
}

extern "C" HostError HOSTCALL saveInstance(HostInstance instance, const SceneSaveRecord* scene) {
    const CameraInstance* camera = static_cast<const CameraInstance*>(instance);
    for (const InstanceParameter& parameter : instanceParameters) {
        const ParamChannel channel = camera->*parameter.channel;
        if (channel == nullptr) {
            continue;
        }
        const HostError error = hostServices.vparmFuncs->save(channel, scene);
        if (error != nullptr) {
            return error;
        }
    }
    float values[INSTANCE_PARAMETER_COUNT];
    for (int i = 0; i < INSTANCE_PARAMETER_COUNT; ++i) {
        values[i] = narrowToFloat(camera->*instanceParameters[i].value);
    }
    scene->writeFloats(scene->writerData, values, INSTANCE_PARAMETER_COUNT);
    return nullptr;
}
