#include "hostsim/render/scene.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace hostsim::render {
namespace {

// Hits closer than this are the surface a ray starts on, not a new one.
constexpr double minimumDistance = 1e-6;

struct Candidate {
    double distance = std::numeric_limits<double>::infinity();
    SurfaceKind kind = SurfaceKind::Ground;
    int index = -1;
    DVec3 normal{0.0, 0.0, 0.0};
};

void tryGround(const Scene& scene, DVec3 origin, DVec3 unit, Candidate* best) {
    if (unit.y == 0.0) {
        return;
    }
    const double t = (scene.groundY - origin.y) / unit.y;
    if (t > minimumDistance && t < best->distance) {
        *best = {t, SurfaceKind::Ground, 0, {0.0, unit.y < 0.0 ? 1.0 : -1.0, 0.0}};
    }
}

// Distance to a sphere along a unit direction, or infinity.
double sphereDistance(const Sphere& sphere, DVec3 origin, DVec3 unit) {
    const DVec3 offset = sub(origin, sphere.centre);
    const double b = dot(offset, unit);
    const double c = dot(offset, offset) - sphere.radius * sphere.radius;
    const double discriminant = b * b - c;
    if (discriminant < 0.0) {
        return std::numeric_limits<double>::infinity();
    }
    const double root = std::sqrt(discriminant);
    if (-b - root > minimumDistance) {
        return -b - root;
    }
    if (-b + root > minimumDistance) {
        return -b + root; // the ray starts inside
    }
    return std::numeric_limits<double>::infinity();
}

void trySpheres(const Scene& scene, DVec3 origin, DVec3 unit, Candidate* best) {
    for (int i = 0; i < static_cast<int>(scene.spheres.size()); ++i) {
        const Sphere& sphere = scene.spheres[static_cast<std::size_t>(i)];
        const double t = sphereDistance(sphere, origin, unit);
        if (t < best->distance) {
            DVec3 normal =
                scale(sub(pointAlong(origin, unit, t), sphere.centre), 1.0 / sphere.radius);
            if (dot(normal, unit) > 0.0) {
                normal = scale(normal, -1.0);
            }
            *best = {t, SurfaceKind::Sphere, i, normal};
        }
    }
}

// One slab of the box along one axis: narrows [entry, exit], records the entry axis.
// A direction parallel to the slab is tested by position alone, which avoids 0 * inf.
bool clipSlab(double origin, double direction, double low, double high, int axis, double* entry,
              double* exit, int* entryAxis, double* entrySign) {
    if (direction == 0.0) {
        return origin >= low && origin <= high;
    }
    double tNear = (low - origin) / direction;
    double tFar = (high - origin) / direction;
    double sign = -1.0; // entering through the low face, whose normal points to -axis
    if (tNear > tFar) {
        std::swap(tNear, tFar);
        sign = 1.0;
    }
    if (tNear > *entry) {
        *entry = tNear;
        *entryAxis = axis;
        *entrySign = sign;
    }
    *exit = std::min(*exit, tFar);
    return *entry <= *exit;
}

DVec3 axisVector(int axis, double sign) {
    return {axis == 0 ? sign : 0.0, axis == 1 ? sign : 0.0, axis == 2 ? sign : 0.0};
}

void tryBoxes(const Scene& scene, DVec3 origin, DVec3 unit, Candidate* best) {
    for (int i = 0; i < static_cast<int>(scene.boxes.size()); ++i) {
        const Box& box = scene.boxes[static_cast<std::size_t>(i)];
        double entry = -std::numeric_limits<double>::infinity();
        double exit = std::numeric_limits<double>::infinity();
        int entryAxis = -1;
        double entrySign = 0.0;
        if (!clipSlab(origin.x, unit.x, box.min.x, box.max.x, 0, &entry, &exit, &entryAxis,
                      &entrySign) ||
            !clipSlab(origin.y, unit.y, box.min.y, box.max.y, 1, &entry, &exit, &entryAxis,
                      &entrySign) ||
            !clipSlab(origin.z, unit.z, box.min.z, box.max.z, 2, &entry, &exit, &entryAxis,
                      &entrySign)) {
            continue;
        }
        if (entry > minimumDistance && entry < best->distance && entryAxis >= 0) {
            *best = {entry, SurfaceKind::Box, i, axisVector(entryAxis, entrySign)};
        }
        // A ray starting inside a box (entry behind it) sees nothing of that box; the camera
        // never stands inside a solid, and shadow rays leave from the surface outward.
    }
}

} // namespace

std::optional<Hit> intersectScene(const Scene& scene, DVec3 origin, DVec3 direction) {
    const double norm = length(direction);
    if (!isFinite(origin) || !std::isfinite(norm) || !(norm > 0.0)) {
        return std::nullopt;
    }
    const DVec3 unit = scale(direction, 1.0 / norm);
    Candidate best;
    tryGround(scene, origin, unit, &best);
    trySpheres(scene, origin, unit, &best);
    tryBoxes(scene, origin, unit, &best);
    if (!std::isfinite(best.distance)) {
        return std::nullopt;
    }
    return Hit{best.kind, best.index, best.distance, pointAlong(origin, unit, best.distance),
               best.normal};
}

bool sunIsBlocked(const Scene& scene, DVec3 point, DVec3 normal) {
    // Leave the surface a little so the ray does not find the surface it starts on.
    const DVec3 start = add(point, scale(normal, 1e-4));
    return intersectScene(scene, start, scene.towardsSun).has_value();
}

} // namespace hostsim::render
