// Per-ray callback: turns a film position, a lens position and a time within the exposure into
// a camera ray, from the module-wide sample table alone. No host call, allocation, trigonometry
// or lock happens here; rays may be evaluated from several threads at once.
#pragma once

#include <cmath>
#include <cstdint>

#include "host/host_records.h"
#include "model/sample_table.h"

// Index of the sample a ray at timeFraction (0 = start of exposure, 1 = end) uses:
// trunc(count * timeFraction), clamped to 0..count. NaN selects entry 0.
inline std::uint32_t sampleIndexForTime(std::uint32_t count, double timeFraction) {
    const double scaled = static_cast<double>(count) * timeFraction;
    if (!(scaled > 0.0)) {
        return 0;
    }
    if (scaled >= static_cast<double>(count)) {
        return count;
    }
    return static_cast<std::uint32_t>(scaled);
}

// The ray through film position (filmX, filmY) and lens position (lensX, lensY) of one sample:
// the origin on the lens and the unnormalised direction to the point of sharp focus.
inline void rayThroughSample(const MotionSample& s, double filmX, double filmY, double lensX,
                             double lensY, DVec3* origin, DVec3* direction) {
    const double a = filmX + s.shiftX;
    const double b = filmY + s.shiftY;
    direction->x = ((a * s.focusAxisX.x + b * s.focusAxisY.x) + s.focusCenter.x) -
                   lensX * s.apertureX.x - lensY * s.apertureY.x;
    direction->y = ((a * s.focusAxisX.y + b * s.focusAxisY.y) + s.focusCenter.y) -
                   lensX * s.apertureX.y - lensY * s.apertureY.y;
    direction->z = ((a * s.focusAxisX.z + b * s.focusAxisY.z) + s.focusCenter.z) -
                   lensX * s.apertureX.z - lensY * s.apertureY.z;
    origin->x = (s.position.x + lensX * s.apertureX.x) + lensY * s.apertureY.x;
    origin->y = (s.position.y + lensX * s.apertureX.y) + lensY * s.apertureY.y;
    origin->z = (s.position.z + lensX * s.apertureX.z) + lensY * s.apertureY.z;
}

// What a ray points along when its direction has zero or non-finite length (focus point on
// the lens, or a degenerate sample): the sample's forward axis as a unit vector, or the
// camera's own +z when that is degenerate too. Out of line: a real camera never gets here.
DVec3 degenerateRayDirection(const MotionSample& s);

// Unit direction for builds that normalise; a degenerate direction falls back as above, so the
// host never receives NaN from a division by zero. Inline in evaluateRay: a second call per ray
// cost builds test2 and test3 about a third more time than the arithmetic alone.
inline DVec3 unitRayDirection(const MotionSample& s, const DVec3& direction) {
    const double length = std::sqrt(direction.x * direction.x + direction.y * direction.y +
                                    direction.z * direction.z);
    if (length > 0.0 && std::isfinite(length)) {
        return DVec3{direction.x / length, direction.y / length, direction.z / length};
    }
    return degenerateRayDirection(s);
}

extern "C" {
// Evaluate callback: 1 with the ray written, 0 (record untouched) while there is no table.
int HOSTCALL evaluateRay(HostInstance instance, double filmX, double filmY, double lensX,
                         double lensY, double timeFraction, RayRecord* ray);
}
