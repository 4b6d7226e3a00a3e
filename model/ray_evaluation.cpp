// Compiled once per build variant: VELLARY_BUILD_VARIANT decides how the direction is finished
// and what goes into the third vector.
#include "model/ray_evaluation.h"

#include "host/build_variant.h"

extern "C" int HOSTCALL evaluateRay(HostInstance /*instance*/, double filmX, double filmY,
                                    double lensX, double lensY, double timeFraction,
                                    RayRecord* ray) {
    const MotionSample* entries = sampleTable.entries;
    if (entries == nullptr) {
        return 0;
    }
    const MotionSample& sample = entries[sampleIndexForTime(sampleTable.count, timeFraction)];
    DVec3 origin;
    DVec3 direction;
    rayThroughSample(sample, filmX, filmY, lensX, lensY, &origin, &direction);
#if VELLARY_BUILD_VARIANT == 1
    // test1: the direction reaches the focus point; the third vector repeats it.
    ray->direction = direction;
    ray->auxDirection = direction;
#elif VELLARY_BUILD_VARIANT == 2
    // test2: unit direction; the third vector is the camera's forward axis as the host gave it.
    ray->direction = unitRayDirection(sample, direction);
    ray->auxDirection = sample.forward;
#else
    // test3: unit direction, repeated in the third vector.
    const DVec3 unit = unitRayDirection(sample, direction);
    ray->direction = unit;
    ray->auxDirection = unit;
#endif
    ray->origin = origin;
    return 1;
}
