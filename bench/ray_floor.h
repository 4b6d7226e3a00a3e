// The floor of ray evaluation: the module's own per-ray arithmetic, inlined into the caller's
// loop with no call at all. It reads the module-wide table of the module code linked into this
// program and uses the inline helpers of model/ray_evaluation.h, then finishes the ray as the
// variant does, so its result is bit for bit what the module's evaluateRay returns (the
// benchmark checks that before it times anything).
#pragma once

#include <cmath>

#include "host/host_records.h"
#include "model/ray_evaluation.h"
#include "model/sample_table.h"

namespace vbench {

// The normalisation of builds test2 and test3, inline. The degenerate case goes to the
// module's own fallback, out of line: it never happens for a real camera.
inline DVec3 unitDirectionInline(const MotionSample& s, const DVec3& d) {
    const double length = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    if (length > 0.0 && std::isfinite(length)) [[likely]] {
        return DVec3{d.x / length, d.y / length, d.z / length};
    }
    return unitRayDirection(s, d);
}

template <int Variant>
inline int evaluateRayInline(double filmX, double filmY, double lensX, double lensY,
                             double timeFraction, RayRecord* ray) {
    const MotionSample* entries = sampleTable.entries;
    if (entries == nullptr) {
        return 0;
    }
    const MotionSample& sample = entries[sampleIndexForTime(sampleTable.count, timeFraction)];
    DVec3 origin;
    DVec3 direction;
    rayThroughSample(sample, filmX, filmY, lensX, lensY, &origin, &direction);
    if constexpr (Variant == 1) {
        ray->direction = direction;
        ray->auxDirection = direction;
    } else if constexpr (Variant == 2) {
        ray->direction = unitDirectionInline(sample, direction);
        ray->auxDirection = sample.forward;
    } else {
        const DVec3 unit = unitDirectionInline(sample, direction);
        ray->direction = unit;
        ray->auxDirection = unit;
    }
    ray->origin = origin;
    return 1;
}

} // namespace vbench
