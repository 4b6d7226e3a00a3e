// What a camera ray sees: the lit surface it hits, or the sky.
#pragma once

#include "hostsim/render/scene.h"

namespace hostsim::render {

// Sky colour for a direction of any non-zero length: horizon colour at and below the horizon,
// turning to the zenith colour overhead. An unusable direction gets the horizon colour.
Rgb skyColour(const Scene& scene, DVec3 direction);

// Albedo of a surface at a hit: the ground's checker, a sphere's colour, a box's stripes.
Rgb surfaceColour(const Scene& scene, const Hit& hit);

// Radiance along a ray: Lambert shading under the sun with ambient fill and sun shadows, the
// ground fading into the horizon with distance. Rays that hit nothing, including rays with a
// zero or NaN direction, show the sky.
Rgb shadeRay(const Scene& scene, DVec3 origin, DVec3 direction);

} // namespace hostsim::render
