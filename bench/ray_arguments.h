// The per-ray arguments a renderer hands the camera, generated before any timing starts so
// that only the camera's own work is measured: film positions spread over the whole film, lens
// positions over the aperture disc and time fractions over the exposure, so the sample entry a
// ray picks changes from ray to ray.
#pragma once

#include <cstddef>
#include <vector>

namespace vbench {

struct RayArguments {
    double filmX;
    double filmY;
    double lensX;
    double lensY;
    double timeFraction;
};

// Rays evaluated per benchmark iteration: enough to average out the entry choice, few enough
// for the arguments to stay in the first-level cache (40 bytes a ray).
inline constexpr std::size_t kRaysPerBatch = 1024;

// count rays over a filmWidth x filmHeight film centred on the optical axis; the same seed
// gives the same rays.
std::vector<RayArguments> makeRayArguments(std::size_t count, double filmWidth, double filmHeight,
                                           unsigned seed);

} // namespace vbench
