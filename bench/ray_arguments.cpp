#include "bench/ray_arguments.h"

#include <cmath>
#include <random>

namespace vbench {

std::vector<RayArguments> makeRayArguments(std::size_t count, double filmWidth, double filmHeight,
                                           unsigned seed) {
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<RayArguments> rays;
    rays.reserve(count);
    while (rays.size() < count) {
        // Lens positions uniformly over the unit disc, by rejection from the square.
        const double lensX = 2.0 * unit(random) - 1.0;
        const double lensY = 2.0 * unit(random) - 1.0;
        if (lensX * lensX + lensY * lensY > 1.0) {
            continue;
        }
        RayArguments ray;
        ray.filmX = (unit(random) - 0.5) * filmWidth;
        ray.filmY = (unit(random) - 0.5) * filmHeight;
        ray.lensX = lensX;
        ray.lensY = lensY;
        ray.timeFraction = unit(random);
        rays.push_back(ray);
    }
    return rays;
}

} // namespace vbench
