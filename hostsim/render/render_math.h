// Small vector and colour arithmetic for the scene side of the stand-in host. The module's own
// DVec3 is a plain record without operators; these helpers stay out of the module.
#pragma once

#include "model/vec_math.h"

#include <cmath>

namespace hostsim::render {

inline DVec3 add(DVec3 a, DVec3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline DVec3 sub(DVec3 a, DVec3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline DVec3 scale(DVec3 v, double s) {
    return {v.x * s, v.y * s, v.z * s};
}
inline double dot(DVec3 a, DVec3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline double length(DVec3 v) {
    return std::sqrt(dot(v, v));
}
inline DVec3 pointAlong(DVec3 origin, DVec3 unitDirection, double distance) {
    return add(origin, scale(unitDirection, distance));
}
inline bool isFinite(DVec3 v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// Linear (not gamma-encoded) RGB radiance, nominally 0..1 per channel.
struct Rgb {
    double r = 0.0;
    double g = 0.0;
    double b = 0.0;
};

inline Rgb operator+(Rgb a, Rgb b) {
    return {a.r + b.r, a.g + b.g, a.b + b.b};
}
inline Rgb operator*(Rgb a, Rgb b) {
    return {a.r * b.r, a.g * b.g, a.b * b.b};
}
inline Rgb operator*(Rgb a, double s) {
    return {a.r * s, a.g * s, a.b * s};
}
inline Rgb mix(Rgb a, Rgb b, double t) {
    return a * (1.0 - t) + b * t;
}

} // namespace hostsim::render
