#include "hostsim/render/shading.h"

#include <algorithm>
#include <cmath>

namespace hostsim::render {
namespace {

// Parity of floor(a) + floor(b) without converting to an integer: far-off ground points have
// coordinates no integer type holds.
bool oddCell(double a, double b) {
    return std::fabs(std::fmod(std::floor(a) + std::floor(b), 2.0)) == 1.0;
}

Rgb groundColour(const Scene& scene, DVec3 point) {
    const bool dark = oddCell(point.x / scene.checkerSize, point.z / scene.checkerSize);
    return dark ? scene.groundDark : scene.groundLight;
}

// Vertical stripes across whichever side face was hit; top and bottom faces stay plain.
Rgb boxColour(const Box& box, const Hit& hit) {
    if (box.stripeWidth <= 0.0 || hit.normal.y != 0.0) {
        return box.colour;
    }
    const double along = hit.normal.x != 0.0 ? hit.point.z - box.min.z : hit.point.x - box.min.x;
    return oddCell(along / box.stripeWidth, 0.0) ? box.stripeColour : box.colour;
}

} // namespace

Rgb skyColour(const Scene& scene, DVec3 direction) {
    const double norm = length(direction);
    if (!std::isfinite(norm) || !(norm > 0.0)) {
        return scene.skyHorizon;
    }
    const double elevation = std::clamp(direction.y / norm, 0.0, 1.0);
    // sqrt keeps a pale band low over the horizon, as a real sky does.
    return mix(scene.skyHorizon, scene.skyZenith, std::sqrt(elevation));
}

Rgb surfaceColour(const Scene& scene, const Hit& hit) {
    switch (hit.kind) {
    case SurfaceKind::Ground:
        return groundColour(scene, hit.point);
    case SurfaceKind::Sphere:
        return scene.spheres[static_cast<std::size_t>(hit.index)].colour;
    case SurfaceKind::Box:
        return boxColour(scene.boxes[static_cast<std::size_t>(hit.index)], hit);
    }
    return {};
}

Rgb shadeRay(const Scene& scene, DVec3 origin, DVec3 direction) {
    const std::optional<Hit> hit = intersectScene(scene, origin, direction);
    if (!hit) {
        return skyColour(scene, direction);
    }
    const double facing = dot(hit->normal, scene.towardsSun);
    const bool lit =
        facing > 0.0 && !(scene.castShadows && sunIsBlocked(scene, hit->point, hit->normal));
    const Rgb light = scene.ambientColour + (lit ? scene.sunColour * facing : Rgb{});
    const Rgb colour = surfaceColour(scene, *hit) * light;
    if (hit->kind != SurfaceKind::Ground) {
        return colour;
    }
    // Aerial perspective: the far ground melts into the horizon instead of shimmering.
    const double haze = 1.0 - std::exp(-hit->distance / scene.hazeDistance);
    return mix(colour, scene.skyHorizon, haze);
}

} // namespace hostsim::render
