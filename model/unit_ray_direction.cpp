#include <cmath>

#include "model/ray_evaluation.h"

namespace {
bool isUsableLength(double length) {
    return length > 0.0 && std::isfinite(length);
}

DVec3 divided(const DVec3& v, double length) {
    return DVec3{v.x / length, v.y / length, v.z / length};
}

// A last resort for a sample whose forward axis is itself degenerate: the camera's own +z.
constexpr DVec3 kFallbackForward = {0.0, 0.0, 1.0};
} // namespace

DVec3 degenerateRayDirection(const MotionSample& s) {
    const DVec3& forward = s.forward;
    const double forwardLength =
        std::sqrt(forward.x * forward.x + forward.y * forward.y + forward.z * forward.z);
    return isUsableLength(forwardLength) ? divided(forward, forwardLength) : kFallbackForward;
}
