// The renderer's world: an infinite checkered ground, spheres, axis-aligned boxes with vertical
// stripes, one sun and a sky. Camera space and world share the host's left-handed, y-up frame:
// ground at y = 0, an unrotated camera looks along +z with +x to its right.
#pragma once

#include "hostsim/render/render_math.h"

#include <optional>
#include <vector>

namespace hostsim::render {

struct Sphere {
    DVec3 centre;
    double radius;
    Rgb colour;
};

// Boxes are striped vertically so that converging or parallel verticals show at a glance.
struct Box {
    DVec3 min;
    DVec3 max;
    Rgb colour;
    Rgb stripeColour;
    double stripeWidth; // metres along each side face; 0 for a plain box
};

struct Scene {
    double groundY = 0.0;
    double checkerSize = 1.0;
    Rgb groundLight;
    Rgb groundDark;
    std::vector<Sphere> spheres;
    std::vector<Box> boxes;
    DVec3 towardsSun; // unit vector pointing at the sun
    Rgb sunColour;
    Rgb ambientColour;
    bool castShadows = true;
    Rgb skyHorizon;
    Rgb skyZenith;
    double hazeDistance = 400.0; // metres over which the ground fades into the horizon colour
};

enum class SurfaceKind { Ground, Sphere, Box };

struct Hit {
    SurfaceKind kind;
    int index;       // into Scene::spheres or Scene::boxes; 0 for the ground
    double distance; // along the normalised direction, i.e. metres from the origin
    DVec3 point;
    DVec3 normal; // unit, facing the incoming ray
};

// The nearest surface along a ray, or nothing. The direction need not be unit length (the host
// hands over whatever the camera produced); a zero, infinite or NaN direction or origin hits
// nothing, so callers draw the background instead of failing.
std::optional<Hit> intersectScene(const Scene& scene, DVec3 origin, DVec3 direction);

// True when something lies between point and the sun.
bool sunIsBlocked(const Scene& scene, DVec3 point, DVec3 normal);

} // namespace hostsim::render
